#include "platform/qt/dialog_base.h"

#include <QAbstractButton>
#include <QPainter>
#include <QTimerEvent>

#include "platform/qt/win_helpers.h"

CDialogBase::CDialogBase(const dlg::DialogTemplate& t, QWidget* parent)
    : QDialog(parent), m_template(t) {
  setWindowTitle(QString::fromUtf8(t.caption));
  // A fixed-size modal frame with a close box and no minimise or maximise box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(dlg::DluToPxX(t.cx), dlg::DluToPxY(t.cy));
  QFont f = font();
  f.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK"),
                 QStringLiteral("WenQuanYi Micro Hei")});
  f.setPixelSize(dlg::kFontPixelSize);
  setFont(f);
}

CDialogBase::~CDialogBase() {
  for (auto& [id, qtId] : m_timers) killTimer(qtId);
}

bool CDialogBase::Create() {
  if (m_bCreated) return true;
  m_bCreated = true;
  dlg::CreateControls(this, m_template,
                      [this](QWidget*, const dlg::ControlTemplate& c) { return CreateControl(c); });
  RouteButtons();
  if (OnCreate() == -1) return false;
  OnInitDialog();
  return true;
}

int CDialogBase::DoModal() {
  if (!Create()) return IDCANCEL;
  return exec();
}

void CDialogBase::RouteButtons() {
  for (QObject* o : children()) {
    auto* b = qobject_cast<QAbstractButton*>(o);
    if (!b) continue;
    const int id = dlg::ControlId(b);
    connect(b, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  }
}

void CDialogBase::OnCommand(int id) {
  if (id == IDOK) OnOK();
  else if (id == IDCANCEL) OnCancel();
}

QWidget* CDialogBase::win_GetDlgItem(int id) { return win::GetDlgItem(this, id); }

void CDialogBase::SetTimer(int id, int ms) {
  KillTimer(id);
  m_timers[id] = startTimer(ms);
}

void CDialogBase::KillTimer(int id) {
  auto it = m_timers.find(id);
  if (it == m_timers.end()) return;
  killTimer(it->second);
  m_timers.erase(it);
}

void CDialogBase::timerEvent(QTimerEvent* e) {
  for (auto& [id, qtId] : m_timers) {
    if (qtId == e->timerId()) {
      OnTimer(id);
      return;
    }
  }
  QDialog::timerEvent(e);
}

bool CDialogBase::PaintChildBackground(QPainter& painter, QWidget* child) {
  painter.save();
  painter.setBrushOrigin(-child->pos());
  painter.fillRect(child->rect(), palette().brush(backgroundRole()));
  painter.restore();
  return true;
}
