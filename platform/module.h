#pragma once
#include <string>

namespace zantrel {

// Full path of the running executable (/proc/self/exe), or "" when unknown.
std::string GetModuleFileName();

// The executable's folder including its trailing separator, found by a
// multibyte-aware search for the last separator; "" when there is none.
std::string GetModuleDir();

// Folder part of `path` up to and including its last separator ("" if none).
std::string DirOfPath(const std::string& path);

// True when `path` is a file that can be opened for reading right now (a file
// that exists but cannot be read counts as missing).
bool FileExists(const std::string& path);

}  // namespace zantrel
