// The language list reader on arbitrary list files, in both code pages, and
// the popup built from what it read. Input: one control byte (its low bit
// picks GBK), the rest is the file.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "i18n/language_list.h"
#include "platform/menu.h"

namespace {
std::string g_path;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  char tmpl[64];
  std::snprintf(tmpl, sizeof tmpl, "%s/zantrel-fuzz-lang-XXXXXX", base);
  if (mkdtemp(tmpl) == nullptr) std::abort();
  g_path = std::string(tmpl) + "/" + kLanguageListFile;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto cp = (data[0] & 1) ? zantrel::CodePage::Gbk : zantrel::CodePage::Utf8;
  const int fd = open(g_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  if (write(fd, data + 1, size - 1) != static_cast<ssize_t>(size - 1)) std::abort();
  close(fd);

  const auto entries = ReadLanguageList(g_path, cp);
  std::size_t bytes = 0;
  for (const auto& e : entries) {
    // A line is never longer than the limit, and never holds a line feed.
    if (e.name.size() + e.text.size() > kMaxLanguageLine) std::abort();
    if (e.name.find('\n') != std::string::npos || e.text.find('\n') != std::string::npos)
      std::abort();
    bytes += e.name.size() + e.text.size();
  }
  if (bytes > size) std::abort();

  zantrel::CMenu popup;
  popup.AppendMenu(zantrel::MF_STRING, 1000, "auto");
  popup.AppendMenu(zantrel::MF_SEPARATOR);
  const auto names = AppendLanguageItems(popup, entries);
  if (names.size() > kLastLanguageCommand - kFirstLanguageCommand + 1) std::abort();
  if (popup.GetMenuItemCount() != static_cast<int>(names.size()) + 2) std::abort();
  SetLanguageCheckMarks(popup, names, names.empty() ? std::string() : names.back());
  return 0;
}
