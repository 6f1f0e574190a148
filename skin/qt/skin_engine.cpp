#include "skin/qt/skin_engine.h"

// The built-in skins arrive with the skins work; until then the engine keeps
// the platform's own look and the calls change nothing.
bool SkinStart(const char*, int, int) { return true; }
bool SkinLoadFromResource(const char*, const char*) { return false; }
bool SkinSetDialogSkin(const char*) { return true; }
void SkinShutdown() {}
