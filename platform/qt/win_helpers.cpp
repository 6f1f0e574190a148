#include "platform/qt/win_helpers.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QWidget>
#include <QRect>
#include <cctype>
#include <climits>

#include "platform/codepage.h"
#include "platform/qt/dialog_template.h"

namespace win {
namespace {
QString ToQ(const std::string& bytes) { return QString::fromStdString(zantrel::ToUtf8(bytes)); }
std::string FromQ(const QString& s) { return zantrel::FromUtf8(s.toStdString()); }

// A picture or icon static shows its image; a text given to it is kept but
// never replaces the image.
bool IsPicture(const QWidget* w) {
  return qobject_cast<const QLabel*>(w) &&
         (w->property("winStyle").toUInt() & (dlg::kBitmap | dlg::kIcon)) != 0;
}
}  // namespace

QWidget* GetDlgItem(QWidget* parent, int id) {
  if (!parent) return nullptr;
  for (QObject* o : parent->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w && !w->isWindow() && dlg::ControlId(w) == id) return w;
  }
  return nullptr;
}

std::string GetWindowText(const QWidget* w) {
  if (!w) return {};
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return FromQ(e->text());
  if (IsPicture(w)) return FromQ(w->property("windowText").toString());
  if (auto* l = qobject_cast<const QLabel*>(w)) return FromQ(l->text());
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) return FromQ(b->text());
  if (auto* g = qobject_cast<const QGroupBox*>(w)) return FromQ(g->title());
  if (w->isWindow()) return FromQ(w->windowTitle());
  return FromQ(w->property("windowText").toString());
}

void SetWindowText(QWidget* w, const std::string& text) {
  if (!w) return;
  const QString q = ToQ(text);
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(q);
  } else if (IsPicture(w)) {
    w->setProperty("windowText", q);
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(q);
  } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(q);
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    g->setTitle(q);
  } else if (w->isWindow()) {
    w->setWindowTitle(q);
  } else {
    // Windows without a visible text (slider, list, bar, player) still keep
    // one, as every window does.
    w->setProperty("windowText", q);
    w->update();
  }
}

std::string GetDlgItemText(QWidget* parent, int id) { return GetWindowText(GetDlgItem(parent, id)); }
void SetDlgItemText(QWidget* parent, int id, const std::string& text) {
  SetWindowText(GetDlgItem(parent, id), text);
}

namespace {
// Leading blanks, an optional sign, decimal digits. *overflow tells whether
// the value left the int range (the result is then saturated).
int ReadInt(const std::string& text, bool* overflow) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long v = 0;
  *overflow = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) {
      *overflow = true;
      break;
    }
  }
  if (negative) v = -v;
  if (v > INT_MAX) {
    *overflow = true;
    return INT_MAX;
  }
  if (v < INT_MIN) {
    *overflow = true;
    return INT_MIN;
  }
  return static_cast<int>(v);
}
}  // namespace

int AtoiText(const std::string& text) {
  bool overflow;
  return ReadInt(text, &overflow);
}

int GetDlgItemInt(QWidget* parent, int id) {
  bool overflow;
  const int v = ReadInt(GetDlgItemText(parent, id), &overflow);
  return overflow ? 0 : v;
}

void EnableWindow(QWidget* w, bool enable) {
  if (w) w->setEnabled(enable);
}
bool IsWindowEnabled(const QWidget* w) { return w && w->isEnabled(); }

void CheckDlgButton(QWidget* parent, int id, bool checked) {
  if (auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(parent, id))) b->setChecked(checked);
}
bool IsDlgButtonChecked(QWidget* parent, int id) {
  auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(parent, id));
  return b && b->isChecked();
}

void MoveWindow(QWidget* w, int x, int y, int cx, int cy) {
  if (!w) return;
  w->setGeometry(x, y, cx, cy);
  w->update();
}

void InvalidateRect(QWidget* w, const QRect& r) {
  // Qt always paints the background under a widget's update area first.
  if (w) w->update(r);
}

int ListBoxCount(QWidget* lb) {
  auto* l = qobject_cast<QListWidget*>(lb);
  return l ? l->count() : 0;
}
std::string ListBoxText(QWidget* lb, int index) {
  auto* l = qobject_cast<QListWidget*>(lb);
  if (!l || index < 0 || index >= l->count()) return {};
  return FromQ(l->item(index)->text());
}
void ListBoxAppend(QWidget* lb, const std::string& text) {
  if (auto* l = qobject_cast<QListWidget*>(lb)) l->addItem(ToQ(text));
}
void ListBoxDelete(QWidget* lb, int index) {
  auto* l = qobject_cast<QListWidget*>(lb);
  if (l && index >= 0 && index < l->count()) delete l->takeItem(index);
}

void ProgressSetPos(QWidget* bar, int pos) {
  if (auto* p = qobject_cast<QProgressBar*>(bar)) p->setValue(pos);
}
int ProgressGetPos(QWidget* bar) {
  auto* p = qobject_cast<QProgressBar*>(bar);
  return p ? p->value() : 0;
}

}  // namespace win
