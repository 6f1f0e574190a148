#pragma once
// CMenuWnd: the menu bar along the top of the main dialog. It shows the four
// top-level items of menu 141 as flat text cells; pointing at a cell frames
// it, pressing it opens that item's popup under the cell, and while a popup
// is open, moving onto another cell switches popups as a real menu bar does.
// A chosen command goes to the owner dialog's OnCommand; the bar handles no
// command itself.
//
// Cells are laid out once, at creation, from the texts then in force measured
// in a fresh device context's default font ("&" included, + 2 pixels, 18
// high), side by side from x 0; a language change swaps the texts but keeps
// the cells. Texts are drawn centred in the 12-pixel "宋体" font, black, the
// mnemonic underlined; hot and pressed cells get a one-pixel RGB(0,0,200)
// frame over the parent's background.
//
// States: Idle (no popup; at most one hot cell, following the pointer),
// Tracking (a popup open inside TrackPopup; its cell pressed) and Switching
// (the open popup closing, m_nPendingPopup naming the next cell, already
// pressed). Exactly one popup is open at a time; a switch closes the open one
// and the TrackPopup loop opens the next, never a nested run; a press on
// another cell switches the same way as a move onto it. When a popup run
// ends, however it ended (a choice, keys, a click elsewhere, a press on its
// cell), the cells follow the pointer's last position, so the next press on
// a cell opens it. A press on the bar outside every cell with no popup open
// leaves the bar idle with nothing pending.
//
// Keyboard: Alt pressed and released alone, or F10, marks the first cell
// (framed as a hot cell) and gives the bar the focus; Left / Right move the
// mark (wrapping), Down / Enter / Space or a cell's mnemonic letter open its
// popup with its first item selected, Escape (or Alt, F10, Tab, a click
// elsewhere) leaves the bar. Alt+mnemonic opens that popup directly from any
// control of the window and the letter never reaches the control. Inside a
// popup Left / Right close it and open the neighbour's; Escape closes it and
// marks its cell again, a second Escape leaves the bar. However the bar is
// left, the focus goes back to the control that had it.
//
// The bar owns its menu (`m_menu`): menu 141 as loaded from the resources,
// translated on construction, the language list's items appended to the
// "语言(&L)" popup, every popup item then made owner-drawn; translated and
// converted again by RefreshMenuTexts after a language change.
//
// Owned by its Qt parent; lives as long as the dialog; UI thread only. The
// owner dialog must outlive the bar; `pnSkin` (may be null) is the owner's
// skin number, read each time the skin popup opens.
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "platform/menu.h"
#include "platform/qt/gdi.h"
#include "platform/qt/gdi_font.h"
#include "platform/qt/parent_background.h"

class CDC;
class CDialogBase;
class CPopupMenuWnd;

struct MenuBarItem {
  std::string strText;  // as the menu holds it, "&" included
  int nLeft = 0;
  int nWidth = 0;
  int nHeight = 18;
  int nState = 0;  // 0 normal, 1 hot, 2 pressed
};

class CMenuWnd : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kCellHeight = 18;
  static constexpr COLORREF kFrameColour = RGB(0, 0, 200);

  // `menu` is menu 141 as loaded from the resources; `programDir` is the
  // program folder (with its trailing separator) holding the language list.
  CMenuWnd(CDialogBase* owner, std::unique_ptr<zantrel::CMenu> menu,
           const std::string& programDir, const int* pnSkin = nullptr);
  ~CMenuWnd() override;

  // The language name of a language command: entry (id - 2000) of the list.
  // "" when there is no such entry; HasLanguage tells the two apart.
  std::string GetLanguageName(int id) const;
  bool HasLanguage(int id) const;
  const std::vector<std::string>& Languages() const { return m_vecLanguages; }
  // Opens popup `index` as a press on its cell does; returns when the popup
  // run ends (a chosen command is then on its way to the owner).
  void OpenPopup(int index);
  // Puts on the marks of popup `index` before it opens: the skin marks for
  // the "皮肤(&S)" popup, the language marks for the "语言(&L)" popup.
  void UpdateCheckMarks(int index, zantrel::CMenu& popup);

  // After a language change: new texts into the menu, fresh item records,
  // the cells' texts replaced in place (widths kept), the bar repainted.
  void RefreshMenuTexts();

  // Pointer handling, in bar client coordinates; reached from the bar's own
  // events and, while a popup is open, through CMenuMsgFilter.
  void OnMouseMove(const QPoint& point);
  void OnLButtonDown(const QPoint& point);
  void OnMouseLeave();
  void ResetItemStates();
  // The filter's question: a move (`isMove`) or a left press at a screen
  // point. True when the popup must not see it.
  bool FilterMenuMessage(bool isMove, const QPoint& screenPoint);

  int CellCount() const { return static_cast<int>(m_arrItems.size()); }
  const MenuBarItem& Cell(int index) const { return m_arrItems[static_cast<std::size_t>(index)]; }
  QRect CellRect(int index) const;
  bool IsTracking() const { return m_bTracking != 0; }
  int PendingPopup() const { return m_nPendingPopup; }
  // The cell whose popup is open, or -1; the open popup, or null.
  int OpenPopupIndex() const { return m_nOpenIndex; }
  CPopupMenuWnd* OpenPopup() const { return m_pPopup; }
  zantrel::CMenu& Menu() { return *m_menu; }
  // The cell marked from the keyboard (-1 when the bar is not in keyboard
  // mode); it stays set while its popup is open.
  int KeyboardCell() const { return m_nKeyCell; }
  // The cell whose mnemonic ("&" + letter, any case) is `ch`, or -1.
  int CellForMnemonic(QChar ch) const;
  // A key pressed inside an open popup; true when the bar took it (Left /
  // Right switch to the neighbour's popup). Reached through CMenuMsgFilter.
  bool FilterMenuKey(int key);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void focusOutEvent(QFocusEvent*) override;
  // Watches the window's keys for Alt, F10 and Alt+mnemonic.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenuBar(const std::string& programDir);
  void TrackPopup(int index);
  void DrawItems(CDC& dc);
  void CancelMode();
  void SetCellState(int index, int state);
  // After a popup run ends: each cell hot or normal by where the pointer is.
  void StatesFromPointer();
  int CellAt(const QPoint& p) const;
  // Keyboard mode: enter marking `cell`, move the mark, open the marked
  // cell's popup, leave (focus back to the control that had it).
  void EnterKeyboardMode(int cell);
  void MarkCell(int cell);
  void OpenFromKeyboard(int cell);
  void LeaveKeyboardMode();
  bool OwnsKeyEvent(QObject* watched) const;

  CParentBackground m_background;
  std::unique_ptr<zantrel::CMenu> m_menu;
  CFont m_font;
  std::vector<MenuBarItem> m_arrItems;
  int m_bTracking = 0;
  int m_nPendingPopup = -1;
  std::vector<std::string> m_vecLanguages;

  CDialogBase* m_owner;
  const int* m_pnSkin;
  CPopupMenuWnd* m_pPopup = nullptr;
  int m_nOpenIndex = -1;
  QPoint m_ptPointer{-1, -1};  // last pointer position seen, bar coordinates
  int m_nKeyCell = -1;             // the keyboard's cell; -1 outside keyboard mode
  bool m_bKeyPopup = false;        // the popup run was opened from the keyboard
  bool m_bAltAlone = false;        // Alt is down and no other key came since
  QPointer<QWidget> m_pFocusBefore;  // the control to give the focus back to
};

// The one menu bar, through which the main dialog's language commands and the
// popup filter reach it. Set by the first bar constructed; cleared when that
// bar goes, so it never points at a destroyed window.
extern CMenuWnd* g_pMenuWnd;
