#pragma once
#include <string>

#include "platform/codepage.h"

namespace zantrel {

// Full path of the running executable (/proc/self/exe), or "" when unknown.
std::string GetModuleFileName();

// The executable's folder including its trailing separator, found by a
// multibyte-aware search for the last separator; "" when there is none.
std::string GetModuleDir();

// Folder part of `path` up to and including its last separator ("" if none).
std::string DirOfPath(const std::string& path);
// The same with an explicit code page (tests, or texts of a known code page).
std::string DirOfPath(const std::string& path, CodePage cp);

// True when `path` is a file that can be opened for reading right now (a file
// that exists but cannot be read counts as missing; a folder is not a file).
bool FileExists(const std::string& path);

}  // namespace zantrel
