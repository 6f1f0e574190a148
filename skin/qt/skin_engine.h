#pragma once
// Our skin engine's four calls, in the shape of the skinning library the
// program was built around. Results are ignored by the callers. UI thread.
//   SkinStart        (ordinal 1): ready the engine.
//   SkinLoadFromResource (4): load a built-in skin by name; from then on it
//                        governs the look of every window, existing ones too.
//   SkinSetDialogSkin (8):  nothing the program can observe.
//   SkinShutdown     (2): the last call.
bool SkinStart(const char* appName, int reserved1, int reserved2);
bool SkinLoadFromResource(const char* skinName, const char* resourceType);
bool SkinSetDialogSkin(const char* skinClass);
void SkinShutdown();
