#include "platform/qt/dialog_template.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QWidget>
#include <algorithm>

#include "platform/qt/trackbar.h"
#include "platform/qt/updown.h"

namespace dlg {

// MulDiv rounding, as the dialog manager converts units.
int DluToPxX(int dlu) { return (dlu * kBaseUnitX * 2 + 4) / 8; }
int DluToPxY(int dlu) { return (dlu * kBaseUnitY * 2 + 8) / 16; }
QRect DluToPx(int x, int y, int cx, int cy) {
  const int l = DluToPxX(x), t = DluToPxY(y);
  return QRect(l, t, DluToPxX(x + cx) - l, DluToPxY(y + cy) - t);
}

int ControlId(const QWidget* w) {
  const QVariant v = w ? w->property("ctrlId") : QVariant();
  return v.isValid() ? v.toInt() : -1;
}

void SetControlId(QWidget* w, int id) {
  w->setProperty("ctrlId", id);
  w->setObjectName(QString::number(id));
}

std::string ClassNameOf(const QWidget* w) {
  const QVariant v = w ? w->property("winClass") : QVariant();
  return v.isValid() ? v.toString().toStdString() : std::string();
}

namespace {
const char* WinClassName(Cls c) {
  switch (c) {
    case Cls::Static: return "STATIC";
    case Cls::Edit: return "EDIT";
    case Cls::Button: return "BUTTON";
    case Cls::ListBox: return "LISTBOX";
    case Cls::Trackbar: return "msctls_trackbar32";
    case Cls::UpDown: return "msctls_updown32";
    case Cls::Progress: return "msctls_progress32";
  }
  return "";
}

QWidget* MakeControl(QWidget* parent, const ControlTemplate& c, const ControlFactory& factory) {
  if (QWidget* own = factory ? factory(parent, c) : nullptr) {
    if (auto* t = qobject_cast<CTrackbar*>(own)) t->SetTicksBoth(c.style & kTicksBoth);
    return own;
  }
  const QString text = QString::fromUtf8(c.text ? c.text : "");
  switch (c.cls) {
    case Cls::Static: {
      auto* l = new QLabel(parent);
      if (c.style & (kBitmap | kIcon)) {
        QPixmap pm(text);
        // An icon shows at the system's 32 x 32; a bitmap at its own size.
        // The icon is scaled for the screen's pixels (64 x 64 at a scale
        // of 2), so a high-density screen gets it sharp, not blown up.
        if ((c.style & kIcon) && !pm.isNull()) {
          const qreal dpr = parent->devicePixelRatioF();
          pm = pm.scaled(QSize(32, 32) * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation);
          pm.setDevicePixelRatio(dpr);
        }
        l->setPixmap(pm);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
      } else {
        l->setText(text);
        l->setTextFormat(Qt::PlainText);
      }
      // Centred vertically: the CJK font's line is taller than the 8-unit
      // label, and centring keeps its glyphs whole.
      l->setAlignment(((c.style & kExRight) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
      return l;
    }
    case Cls::Edit: {
      auto* e = new QLineEdit(parent);
      e->setText(text);
      if (c.style & kNumber)
        e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
      e->setFrame(true);
      return e;
    }
    case Cls::Button: {
      if (c.style & kGroupBox) {
        auto* g = new QGroupBox(text, parent);
        g->setFocusPolicy(Qt::NoFocus);
        return g;
      }
      if (c.style & kAutoRadio) return new QRadioButton(text, parent);
      if (c.style & kAutoCheck) return new QCheckBox(text, parent);
      auto* b = new QPushButton(text, parent);
      b->setAutoDefault(false);
      b->setDefault(c.style & kDefPush);
      return b;
    }
    case Cls::ListBox: {
      auto* l = new QListWidget(parent);
      l->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      return l;
    }
    case Cls::Trackbar: {
      auto* t = new CTrackbar(parent);
      t->SetTicksBoth(c.style & kTicksBoth);
      return t;
    }
    case Cls::UpDown:
      return new CUpDownCtrl(parent);
    case Cls::Progress: {
      auto* p = new QProgressBar(parent);
      p->setRange(0, 100);
      p->setValue(0);
      p->setTextVisible(false);
      // A text put on the bar sits in its middle, clear of the frame.
      p->setAlignment(Qt::AlignCenter);
      return p;
    }
  }
  return nullptr;
}
}  // namespace

std::vector<QWidget*> CreateControls(QWidget* parent, const DialogTemplate& t,
                                     const ControlFactory& factory) {
  std::vector<QWidget*> made;
  QWidget* previous = nullptr;
  for (const ControlTemplate& c : t.controls) {
    QWidget* w = MakeControl(parent, c, factory);
    SetControlId(w, c.id);
    w->setProperty("winClass", QString::fromLatin1(WinClassName(c.cls)));
    w->setProperty("winStyle", static_cast<uint>(c.style));
    QRect r = DluToPx(c.x, c.y, c.cx, c.cy);
    // Radio buttons and check boxes take the width their text needs: their
    // indicator and the CJK glyphs are wider than the original font's, and
    // nothing sits to their right.
    if (c.style & (kAutoRadio | kAutoCheck)) r.setWidth(std::max(r.width(), w->sizeHint().width()));
    w->setGeometry(r);
    // Only tab stops take the focus from Tab; radio buttons without one are
    // still reachable by click, like the group's other members.
    if (c.cls == Cls::Static || c.cls == Cls::UpDown || c.cls == Cls::Progress ||
        (c.style & kGroupBox))
      w->setFocusPolicy(Qt::NoFocus);
    else
      w->setFocusPolicy((c.style & kTabStop) ? Qt::StrongFocus : Qt::ClickFocus);
    if (c.cls == Cls::UpDown && (c.style & kAutoBuddy))
      static_cast<CUpDownCtrl*>(w)->SetBuddy(qobject_cast<QLineEdit*>(previous));
    made.push_back(w);
    previous = w;
  }
  // Tab order = the tab stops in template order.
  QWidget* last = nullptr;
  for (QWidget* w : made) {
    if (w->focusPolicy() != Qt::StrongFocus) continue;
    if (last) QWidget::setTabOrder(last, w);
    last = w;
  }
  return made;
}

}  // namespace dlg
