// The probe-output parser on arbitrary tool output. The result must stay in
// the range its two-digit fields allow, and the early-stop test must agree
// with itself on longer input.
#include <cstdlib>
#include <string>

#include "engine/probe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string out(reinterpret_cast<const char*>(data), size);
  const int seconds = zantrel::ParseProbeDuration(out);
  // At most 99 h 99 min 99 s; "-9" fields reach -9 h -9 min -9 s.
  if (seconds > 99 * 3600 + 99 * 60 + 99 || seconds < -(9 * 3600 + 9 * 60 + 9)) std::abort();
  // Completion is monotonic: more output never makes a complete line
  // incomplete again.
  if (zantrel::ProbeOutputComplete(out) && !zantrel::ProbeOutputComplete(out + "x"))
    std::abort();
  // The quoted source path always reaches the tool as one argument.
  const std::string line = zantrel::BuildProbeCommandLine(out);
  if (line.find(out) == std::string::npos && out.find_first_of(" \t\"\\") == std::string::npos)
    std::abort();
  return 0;
}
