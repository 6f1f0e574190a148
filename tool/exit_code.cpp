#include "tool/exit_code.h"

#include "platform/tool_args.h"

namespace zantrel::tool {

namespace {
bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }
}  // namespace

int ExitCodeForFailure(const std::string& m) {
  using namespace tool_args;
  // Order matters where one sentence could hold two hints: a name taken is
  // said before the errno text, a source the user may not read is unreadable
  // rather than a folder without permission.
  if (Has(m, "already exists") || Has(m, "appeared meanwhile")) return kExitTargetExists;
  if (Has(m, "No space left") || Has(m, "Disk quota")) return kExitNoSpace;
  if (Has(m, "changed since the job began") || Has(m, "changed while it was being cut"))
    return kExitSourceChanged;
  if (Has(m, "must be at least one second") || Has(m, "has no picture at") ||
      Has(m, "nothing could be decoded in the requested range"))
    return kExitEmpty;
  if (Has(m, "holds no audio or video")) return kExitNotVideo;
  if (Has(m, "cannot open '") || Has(m, "cannot read the streams") || Has(m, "Invalid data found") ||
      Has(m, "truncated or damaged"))
    return kExitSourceUnreadable;
  if (Has(m, "Permission denied") || Has(m, "Read-only file system") || Has(m, "Operation not permitted"))
    return kExitNoPermission;
  return kExitInternal;
}

}  // namespace zantrel::tool
