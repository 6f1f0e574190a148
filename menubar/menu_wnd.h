#pragma once
// The menu bar along the top of the main dialog: the four top-level items as
// flat text cells; pressing one opens its popup under the cell, and a chosen
// command goes to the owner dialog's OnCommand. (The owner-drawn popups and
// the language list come later; this bar offers the plain popups of menu 141.)
// Owned by its Qt parent; UI thread only.
#include <QWidget>
#include <string>
#include <vector>

#include "platform/qt/parent_background.h"

class CDialogBase;

struct MenuItemDef {
  int id;            // 0 = separator
  const char* text;  // UTF-8
};
struct MenuPopupDef {
  const char* text;
  std::vector<MenuItemDef> items;
};
// Menu resource 141.
const std::vector<MenuPopupDef>& MainMenu();

class CMenuWnd : public QWidget {
  Q_OBJECT
 public:
  explicit CMenuWnd(CDialogBase* owner);

  int CellCount() const { return static_cast<int>(m_cells.size()); }
  QRect CellRect(int index) const;
  // Opens popup `index` under its cell; returns when it closes (the chosen
  // command, if any, has then been sent to the owner).
  void OpenPopup(int index);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  int CellAt(const QPoint& p) const;
  CDialogBase* m_owner;
  CParentBackground m_background;
  struct Cell {
    QString text;  // with its '&' prefix
    int left = 0, width = 0;
  };
  std::vector<Cell> m_cells;
  int m_hot = -1;
};
