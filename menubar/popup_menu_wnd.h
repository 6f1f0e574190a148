#pragma once
// CPopupMenuWnd: one popup of the menu bar on screen, built from a popup of
// the menu model each time it opens (the TrackPopupMenu counterpart).
//
// - Items: measured and drawn through the owner's OnMeasureItem and
//   OnDrawItem (control ID 0) for owner-drawn items; plain items are drawn
//   here. Before each draw request the context gets black text, so item
//   texts never take colours from the desktop's theme.
// - Track() shows the popup with its top-left corner at a screen point (kept
//   on screen) and runs its own event loop until the popup closes; the chosen
//   command is then posted to the owner's OnCommand (like WM_COMMAND), so it
//   runs after the popup run has unwound.
// - Pointer: hovering selects an item, releasing the button on an available
//   item chooses it, a press outside the popup closes it. Keys: Up / Down
//   (wrapping, skipping separators), Home / End, Enter or Space chooses,
//   Escape closes. A letter or digit chooses the item whose mnemonic ("&"
//   + letter) it is, or, when no item has it as mnemonic, the item whose text
//   begins with it; several such items are selected in turn instead.
//   Separators (command ID 0) are never selected or chosen.
// - Cancel() closes it without a choice (the WM_CANCELMODE counterpart).
// - Event filters installed on the popup see its pointer events before it
//   does (the popup holds the pointer while open, so moves and presses over
//   other windows arrive here too).
//
// The menu (not owned) must outlive the run; the owner may be null (nothing
// is measured by it or told then). UI thread only.
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

namespace zantrel {
class CMenu;
}
class CDialogBase;
class QEventLoop;

class CPopupMenuWnd : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kBorder = 1;

  CPopupMenuWnd(zantrel::CMenu& menu, CDialogBase* owner);
  ~CPopupMenuWnd() override;

  // Runs the popup; returns the chosen command ID, or 0 when none was chosen.
  // `selectFirst`: the first selectable item starts selected (a popup
  // opened from the keyboard).
  unsigned Track(const QPoint& screenTopLeft, bool selectFirst = false);
  // Whether the last run ended with Escape.
  bool ClosedByEscape() const { return m_bEscaped; }
  void Cancel();

  int ItemCount() const { return static_cast<int>(m_items.size()); }
  // Item rectangle in popup coordinates.
  QRect ItemRect(int index) const;
  int SelectedIndex() const { return m_nSelected; }
  // How many popups are showing right now (for the bar's one-at-a-time rule).
  static int OpenCount();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  struct Item {
    unsigned id = 0;
    unsigned flags = 0;
    std::uintptr_t data = 0;
    bool ownerDrawn = false;
    int top = 0, height = 0;
  };
  void Layout();
  int ItemAt(const QPoint& p) const;
  bool Selectable(int index) const;
  bool Choosable(int index) const;
  void Select(int index);
  void Choose(int index);
  void Step(int delta);
  void ChooseByMnemonic(QChar ch);
  std::string ItemText(int index) const;

  zantrel::CMenu& m_menu;
  QPointer<CDialogBase> m_owner;  // may go while the popup runs
  std::vector<Item> m_items;
  int m_nWidth = 0;
  int m_nSelected = -1;
  unsigned m_nChosen = 0;
  bool m_bEscaped = false;
  QEventLoop* m_pLoop = nullptr;
};
