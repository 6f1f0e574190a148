#pragma once
// Translating a menu from the current language file (section "CMenu"):
// the bar's items by position ("IDM_<menu>_<position>"), items inside popups
// by command ID ("IDM_<menu>_<id>"), an item opening a nested popup by -1;
// separators have no key. A missing or empty value keeps the item's text.
// Only texts change: IDs, positions, popups, check marks and grey states
// stay. An owner-drawn item becomes a plain text item again (its owner
// converts the menu afresh after translating). UI thread.
#include "platform/menu.h"

void TranslateMenu(zantrel::CMenu& menu, int menuNumber);
void TranslateSubMenu(zantrel::CMenu& popup, int menuNumber);
