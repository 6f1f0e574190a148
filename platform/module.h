#pragma once
#include <string>

#include "platform/fs.h"  // DirOfPath, FileExists: where they used to be

namespace zantrel {

// Full path of the running executable (/proc/self/exe), or "" when unknown.
std::string GetModuleFileName();

// The program folder: the executable's folder including its trailing
// separator, found by a multibyte-aware search for the last separator; ""
// when there is none. The one source of truth for the program folder: it is
// worked out on the first call and every later call in the process returns
// that same value, even if the executable is renamed meanwhile. Any thread.
const std::string& GetModuleDir();

}  // namespace zantrel
