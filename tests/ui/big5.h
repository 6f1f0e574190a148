#pragma once
// Whether a UTF-8 text survives the Traditional Chinese code page (Big5),
// as a Traditional Chinese Windows would show it.
#include <iconv.h>

#include <string>

inline bool FitsBig5(const std::string& utf8) {
  iconv_t cd = iconv_open("BIG5", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = utf8;
  std::string out(in.size() * 2 + 4, '\0');
  char* src = in.data();
  char* dst = out.data();
  std::size_t left = in.size(), room = out.size();
  const bool ok = iconv(cd, &src, &left, &dst, &room) != static_cast<std::size_t>(-1) && left == 0;
  iconv_close(cd);
  return ok;
}
