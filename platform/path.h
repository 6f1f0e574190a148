#pragma once
// The one place that knows this platform's path separator.
namespace zantrel {
inline constexpr char kPathSep = '/';
inline constexpr const char* kPathSepStr = "/";
}  // namespace zantrel
