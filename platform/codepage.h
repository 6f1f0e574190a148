#pragma once
// Stepping through byte strings by characters of the multibyte code page, so
// that the trail byte of a double-byte character (0x5C, 0x7C, ...) is never
// taken for a '\\' or a '|'.
//
// The code page is chosen from the C library's LC_CTYPE codeset: GBK (also
// GB2312 / GB18030 / CP936) or UTF-8; anything else is treated as UTF-8, the
// normal case here. Every function also takes the code page explicitly so
// tests can exercise GBK without a GBK locale installed.
#include <cstddef>
#include <string>
#include <string_view>

namespace zantrel {

enum class CodePage { Utf8, Gbk };

// Code page of the current LC_CTYPE locale.
CodePage CurrentCodePage();

// Length in bytes of the character starting at s[0] (at least 1, never past
// the end of s). Malformed sequences step by one byte.
std::size_t CharLength(std::string_view s, CodePage cp = CurrentCodePage());

// Position of the last / first occurrence of the single-byte character c that
// is a whole character (not a trail byte), or npos.
std::size_t MbsRChr(std::string_view s, char c, CodePage cp = CurrentCodePage());
std::size_t MbsChr(std::string_view s, char c, CodePage cp = CurrentCodePage());

// Conversions for the edges where Qt shows a text or hands one back.
std::string ToUtf8(std::string_view bytes, CodePage cp = CurrentCodePage());
std::string FromUtf8(std::string_view utf8, CodePage cp = CurrentCodePage());

}  // namespace zantrel
