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
// and the TrackPopup loop opens the next, never a nested run.
//
// Owned by its Qt parent; lives as long as the dialog; UI thread only. The
// owner dialog must outlive the bar; `pnSkin` (may be null) is the owner's
// skin number, read each time the skin popup opens.
#include <QWidget>
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

  CMenuWnd(CDialogBase* owner, const int* pnSkin = nullptr);
  ~CMenuWnd() override;

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
  zantrel::CMenu& Menu() { return m_menu; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  void BuildMenuBar();
  void TrackPopup(int index);
  void UpdateCheckMarks(int index, zantrel::CMenu& popup);
  void DrawItems(CDC& dc);
  void CancelMode();
  void SetCellState(int index, int state);
  // After a popup run ends: each cell hot or normal by where the pointer is.
  void StatesFromPointer();
  int CellAt(const QPoint& p) const;

  CParentBackground m_background;
  zantrel::CMenu m_menu;
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
};

// The one menu bar, for the language commands and the popup filter; null
// before the bar exists and after it has gone.
extern CMenuWnd* g_pMenuWnd;
