#pragma once
// The menu bar along the top of the main dialog: the four top-level items of
// menu 141 as flat text cells; pressing one opens its popup under the cell,
// and a chosen command goes to the owner dialog's OnCommand.
//
// The bar owns its menu (`m_menu`): loaded and translated on construction,
// the language list's items appended to the "语言(&L)" popup, and translated
// again by RefreshMenuTexts after a language change. The on-screen popups
// are built from it each time they open. Owned by its Qt parent; UI thread.
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "platform/menu.h"
#include "platform/qt/parent_background.h"

class CDialogBase;

class CMenuWnd : public QWidget {
  Q_OBJECT
 public:
  // `menu` is menu 141 as loaded from the resources; the bar takes it,
  // translates it and appends the items of the language list read from
  // `programDir` (the program folder, with its trailing separator).
  CMenuWnd(CDialogBase* owner, std::unique_ptr<zantrel::CMenu> menu,
           const std::string& programDir);
  ~CMenuWnd() override;

  int CellCount() const { return static_cast<int>(m_cells.size()); }
  QRect CellRect(int index) const;
  // Opens popup `index` under its cell; returns when it closes (the chosen
  // command, if any, has then been sent to the owner).
  void OpenPopup(int index);

  // The language name of a language command: entry (id - 2000) of the list.
  // "" when there is no such entry; HasLanguage tells the two apart.
  std::string GetLanguageName(int id) const;
  bool HasLanguage(int id) const;
  // After a language change: the menu translated afresh and the cells given
  // the new top-level texts (the cells keep their widths).
  void RefreshMenuTexts();
  // Puts on the marks of popup `index` before it opens (the language marks
  // for the "语言(&L)" popup).
  void UpdateCheckMarks(int index, zantrel::CMenu& popup);

  zantrel::CMenu& Menu() { return *m_menu; }
  const std::vector<std::string>& Languages() const { return m_vecLanguages; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  void BuildMenuBar(const std::string& programDir);
  int CellAt(const QPoint& p) const;
  CDialogBase* m_owner;
  CParentBackground m_background;
  std::unique_ptr<zantrel::CMenu> m_menu;
  struct Cell {
    QString text;  // with its '&' prefix
    int left = 0, width = 0;
  };
  std::vector<Cell> m_cells;
  int m_hot = -1;
  std::vector<std::string> m_vecLanguages;  // entry i belongs to command 2000 + i
};

// The one menu bar, through which the main dialog's language commands reach
// it. Set by the first bar constructed; cleared when that bar goes, so it
// never points at a destroyed window.
extern CMenuWnd* g_pMenuWnd;
