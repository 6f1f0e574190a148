#pragma once
// Our skin engine's four calls, in the shape of the skinning library the
// program was built around. Results are ignored by the program. UI thread
// only; a QApplication must exist.
//   SkinStart        (ordinal 1): ready the engine: the Fusion style under a
//                      fixed light palette (never the desktop's theme), no
//                      style sheet. This is also the look when no skin loads.
//   SkinLoadFromResource (4): load a built-in skin by name (letter case does
//                      not matter) from the resources of the given type; from
//                      then on it governs the look of every window, existing
//                      ones included. False for an unknown name or type or a
//                      malformed skin, and the current look is kept.
//   SkinSetDialogSkin (8): nothing the program can observe.
//   SkinShutdown     (2): the last call; the windows get back the look they
//                      had before SkinStart.
//
// A skin sets the application palette and style sheet. What other windows
// may read from the palette: Window (the dialog background, possibly a
// vertical gradient over the main dialog's height), WindowText (labels),
// Button/ButtonText/Light/Midlight/Mid/Dark (3D controls drawn by our own
// code: slider, up-down), Highlight (selections and the marks of check and
// radio indicators), and for popup frames: Shadow for the outer line and
// Dark for the line inside it.
//
// Skin resources live at ":/<type>/<NAME>" (compiled in from skin/qt/skins).
// A skin file is text: the marker line "ZANTREL_SKIN_FILE", then palette
// lines "@[Group.]Role = #rrggbb [#rrggbb ...]" (several colours make a
// vertical gradient; a line without a group sets every group, later lines
// win), '#' comment lines, a line "%%", and the style sheet.
#include <QPalette>
#include <QString>
#include <optional>

bool SkinStart(const char* appName, int reserved1, int reserved2);
bool SkinLoadFromResource(const char* skinName, const char* resourceType);
bool SkinSetDialogSkin(const char* skinClass);
void SkinShutdown();

// A parsed skin file.
struct SkinDefinition {
  QPalette palette;
  QString styleSheet;
};
// Parses a skin file's text onto `base` (roles it does not name keep base's
// colours); nullopt when the marker is missing or a line is malformed.
std::optional<SkinDefinition> ParseSkin(const QByteArray& text, const QPalette& base);
// The palette shown when no skin is loaded: fixed light colours.
QPalette FixedLightPalette();
// Height in pixels over which a gradient background runs: the main dialog's.
inline constexpr int kSkinGradientHeight = 520;
