#pragma once
// The owner-draw requests a popup sends to its owner, shaped like
// MEASUREITEMSTRUCT and DRAWITEMSTRUCT. The popup fills them, the owner
// answers (a measure request sets itemWidth and itemHeight; a draw request
// draws into pDC inside rcItem), and the popup uses the answer at once.
#include <cstdint>

#include "platform/qt/gdi.h"

class CDC;

inline constexpr unsigned ODT_MENU = 1;
inline constexpr unsigned ODS_SELECTED = 0x0001;
inline constexpr unsigned ODS_GRAYED = 0x0002;
inline constexpr unsigned ODS_CHECKED = 0x0008;

struct MEASUREITEMSTRUCT {
  unsigned CtlType = ODT_MENU;
  unsigned CtlID = 0;
  unsigned itemID = 0;
  unsigned itemWidth = 0;
  unsigned itemHeight = 0;
  std::uintptr_t itemData = 0;
};

struct DRAWITEMSTRUCT {
  unsigned CtlType = ODT_MENU;
  unsigned CtlID = 0;
  unsigned itemID = 0;
  unsigned itemAction = 0;
  unsigned itemState = 0;
  CDC* pDC = nullptr;  // the context to draw into; owned by the popup
  CRect rcItem;
  std::uintptr_t itemData = 0;
};
