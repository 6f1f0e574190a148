#include "menubar/menu_msg_filter.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "menubar/menu_wnd.h"

namespace {
int g_nInstalled = 0;
}

CMenuMsgFilter::CMenuMsgFilter(QObject* popup) : m_popup(popup) {
  m_popup->installEventFilter(this);
  ++g_nInstalled;
}

CMenuMsgFilter::~CMenuMsgFilter() {
  m_popup->removeEventFilter(this);
  --g_nInstalled;
}

int CMenuMsgFilter::InstalledCount() { return g_nInstalled; }

bool CMenuMsgFilter::eventFilter(QObject*, QEvent* event) {
  if (!g_pMenuWnd) return false;
  switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* me = static_cast<QMouseEvent*>(event);
      if (event->type() != QEvent::MouseMove && me->button() != Qt::LeftButton) return false;
      const QPoint screen = me->globalPosition().toPoint();
      return g_pMenuWnd->FilterMenuMessage(event->type() == QEvent::MouseMove, screen);
    }
    case QEvent::KeyPress:
      // Left / Right go to the bar: they switch to the neighbour's popup.
      return g_pMenuWnd->FilterMenuKey(static_cast<QKeyEvent*>(event)->key());
    default:
      return false;
  }
}
