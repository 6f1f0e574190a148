#pragma once
// Dialog templates in dialog units, turned into child widgets in template
// order. The base units are fixed here, in one place: 7 px per 4 horizontal
// units and 15 px per 8 vertical units, the metrics of the 9 pt dialog font
// the pixel positions of the run-time windows were laid out for.
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace dlg {

inline constexpr int kBaseUnitX = 7;  // pixels per 4 horizontal dialog units
inline constexpr int kBaseUnitY = 15; // pixels per 8 vertical dialog units
inline constexpr int kFontPixelSize = 12;  // 9 pt at 96 dpi

int DluToPxX(int dlu);
int DluToPxY(int dlu);
QRect DluToPx(int x, int y, int cx, int cy);

enum class Cls { Static, Edit, Button, ListBox, Trackbar, UpDown, Progress };

// Style flags with the meanings of their Windows namesakes.
enum Style : std::uint32_t {
  kGroup = 1u << 0,       // WS_GROUP
  kTabStop = 1u << 1,     // WS_TABSTOP
  kBorder = 1u << 2,      // WS_BORDER / WS_EX_CLIENTEDGE
  kExRight = 1u << 3,     // WS_EX_RIGHT: right-aligned text
  kNumber = 1u << 4,      // ES_NUMBER: digits only
  kPush = 1u << 5,        // BS_PUSHBUTTON
  kDefPush = 1u << 6,     // BS_DEFPUSHBUTTON
  kAutoRadio = 1u << 7,   // BS_AUTORADIOBUTTON
  kAutoCheck = 1u << 8,   // BS_AUTOCHECKBOX
  kGroupBox = 1u << 9,    // BS_GROUPBOX
  kBitmap = 1u << 10,     // SS_BITMAP: text names a picture resource
  kIcon = 1u << 11,       // SS_ICON: text names an icon resource
  kTicksBoth = 1u << 12,  // TBS_BOTH
  kTransparent = 1u << 13,// WS_EX_TRANSPARENT
  kVScroll = 1u << 14,    // WS_VSCROLL
  kNotify = 1u << 15,     // LBS_NOTIFY
  kSort = 1u << 16,       // LBS_SORT (kept for the record; lines stay in insertion order)
  kNoIntegralHeight = 1u << 17,
  kBuddyInt = 1u << 18,   // UDS_SETBUDDYINT
  kArrowKeys = 1u << 19,  // UDS_ARROWKEYS
  kAutoBuddy = 1u << 20,  // UDS_AUTOBUDDY: the previous control is the buddy
  kAutoScroll = 1u << 21, // ES_AUTOHSCROLL
};

struct ControlTemplate {
  int id;            // -1 for none
  Cls cls;
  const char* text;  // UTF-8 in the source; a resource path for kBitmap/kIcon
  int x, y, cx, cy;  // dialog units
  std::uint32_t style;
};

struct DialogTemplate {
  int id;
  const char* caption;
  int cx, cy;        // dialog units
  std::vector<ControlTemplate> controls;
};

// Makes the widget for one control in place of the standard one (a dialog's
// own control class, as subclassing a control does); nullptr for the
// standard widget. A replacement for a trackbar must derive from CTrackbar.
using ControlFactory = std::function<QWidget*(QWidget* parent, const ControlTemplate& c)>;

// Creates the template's controls as children of `parent`, in template
// order; each gets its control ID (property "ctrlId", objectName = the ID in
// decimal) and its pixel rectangle. Returns them in that order.
std::vector<QWidget*> CreateControls(QWidget* parent, const DialogTemplate& t,
                                     const ControlFactory& factory = {});

// Control ID of a child, -1 when it has none.
int ControlId(const QWidget* w);
// Marks a run-time child with its ID, as the template's controls are.
void SetControlId(QWidget* w, int id);

// Name of the Windows class a widget stands for ("STATIC", "EDIT", "BUTTON",
// "LISTBOX", "msctls_trackbar32", "msctls_updown32", "msctls_progress32").
std::string ClassNameOf(const QWidget* w);

}  // namespace dlg
