#include "cli/report.h"

#include <algorithm>
#include <cstring>

namespace zantrel::cli {

namespace {

constexpr auto kBarInterval = std::chrono::milliseconds(100);

// Length of the valid UTF-8 sequence at s[i], or 0 when there is none.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  std::size_t n;
  unsigned min;
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) { n = 2; min = 0x80; }
  else if ((b & 0xF0) == 0xE0) { n = 3; min = 0x800; }
  else if ((b & 0xF8) == 0xF0) { n = 4; min = 0x10000; }
  else return 0;
  if (i + n > s.size()) return 0;
  unsigned cp = b & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  // Overlong forms, surrogates and values past Unicode are not UTF-8.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

std::string Hex4(unsigned v) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s = "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) s += kDigits[(v >> shift) & 0xF];
  return s;
}

// The name as shown in lines and the bar: the last path element.
std::string ShortName(const std::string& path) {
  const std::size_t sep = path.rfind('/');
  return sep == std::string::npos || sep + 1 == path.size() ? path : path.substr(sep + 1);
}

// At most `columns` bytes, never cutting a UTF-8 sequence in two.
std::string Fit(const std::string& text, std::size_t columns) {
  if (text.size() <= columns) return text;
  std::size_t end = columns;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

const char* MethodName(CutMethod m) {
  switch (m) {
    case CutMethod::kSmart: return "smart";
    case CutMethod::kReencode: return "reencode";
    case CutMethod::kUnknown: break;
  }
  return nullptr;
}

}  // namespace

const char* KindName(PieceKind kind) {
  switch (kind) {
    case PieceKind::kWritten: return "written";
    case PieceKind::kEmpty: return "empty";
    case PieceKind::kExists: return "exists";
    case PieceKind::kNoSpace: return "no_space";
    case PieceKind::kNoPermission: return "no_permission";
    case PieceKind::kSourceUnreadable: return "source_unreadable";
    case PieceKind::kSourceMissing: return "source_missing";
    case PieceKind::kSourceChanged: return "source_changed";
    case PieceKind::kFolderMissing: return "folder_missing";
    case PieceKind::kToolKilled: return "tool_killed";
    case PieceKind::kToolMissing: return "tool_missing";
    case PieceKind::kInternal: return "internal";
    case PieceKind::kStopped: return "stopped";
    case PieceKind::kNotRun: return "not_run";
    case PieceKind::kPlanned: return "planned";
    case PieceKind::kSkipped: return "skipped";
  }
  return "internal";
}

const char* ProblemName(SourceProblem problem) {
  switch (problem) {
    case SourceProblem::kNone: return "none";
    case SourceProblem::kMissing: return "missing";
    case SourceProblem::kNotAFile: return "not_a_file";
    case SourceProblem::kUnreadable: return "source_unreadable";
    case SourceProblem::kNotVideo: return "not_video";
    case SourceProblem::kTooManyParts: return "too_many_parts";
    case SourceProblem::kNothingToCut: return "nothing_to_cut";
    case SourceProblem::kFolderUnusable: return "folder_unusable";
    case SourceProblem::kPiecesExist: return "exists";
    case SourceProblem::kReplaceFailed: return "replace_failed";
    case SourceProblem::kOverwritesSource: return "overwrites_source";
    case SourceProblem::kSameOutputAs: return "same_output";
  }
  return "internal";
}

std::string JsonString(const std::string& bytes) {
  std::string out = "\"";
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    const std::size_t n = Utf8Length(bytes, i);
    if (n == 0) {
      out += Hex4(0xDC00 | c);
      ++i;
      continue;
    }
    if (n == 1) {
      if (c == '"') out += "\\\"";
      else if (c == '\\') out += "\\\\";
      else if (c == '\n') out += "\\n";
      else if (c == '\t') out += "\\t";
      else if (c < 0x20 || c == 0x7F) out += Hex4(c);
      else out += static_cast<char>(c);
    } else {
      out.append(bytes, i, n);
    }
    i += n;
  }
  return out + "\"";
}

Reporter::Reporter(const Options& options, std::FILE* out, std::FILE* err, bool terminal, int width)
    : options_(options), out_(out), err_(err), terminal_(terminal), width_(std::max(width, 20)) {}

void Reporter::Line(const std::string& text) {
  ClearBar();
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
  barDirty_ = true;
}

void Reporter::Json(const SourceSplit& split, const PlannedPiece* piece, const char* outcome,
                    CutMethod method) {
  if (!options_.json) return;
  std::string line = "{\"source\":" + JsonString(split.source());
  if (piece) {
    line += ",\"piece\":" + std::to_string(piece->index) + ",\"name\":" + JsonString(piece->path) +
            ",\"start_s\":" + SecondsText(piece->startUs) + ",\"length_s\":" + SecondsText(piece->lengthUs);
  } else {
    line += ",\"piece\":null,\"name\":null,\"start_s\":null,\"length_s\":null";
  }
  const char* m = MethodName(method);
  line += ",\"outcome\":\"" + std::string(outcome) + "\",\"method\":" +
          (m ? "\"" + std::string(m) + "\"" : std::string("null")) + "}";
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void Reporter::PlanNotes(const SourceSplit& split) {
  if (options_.quiet) return;
  for (std::int64_t t : split.droppedUs())
    Line(split.source() + ": note: " + ClockText(t) + " is at or past its end (" +
         ClockText(split.durationUs()) + "), dropped");
  for (std::int64_t t : split.roundedUs())
    Line(split.source() + ": note: " + ClockText(t) + " is cut at " +
         ClockText(t / 1000000 * 1000000) + " (the cutting tool takes whole seconds)");
}

void Reporter::DryRun(const SourceSplit& split) {
  ++files_;
  for (const PlannedPiece& p : split.pieces()) {
    if (options_.json) {
      Json(split, &p, KindName(PieceKind::kPlanned), CutMethod::kUnknown);
    } else {
      std::fprintf(out_, "%s\t%d\t%s\t%s\t%s\n", split.source().c_str(), p.index,
                   ClockText(p.startUs).c_str(), ClockText(p.lengthUs).c_str(), p.path.c_str());
    }
  }
  std::fflush(out_);
  const std::vector<std::string> existing = split.ExistingPieces();
  if (!existing.empty() && !options_.replace) {
    ++failures_;
    ++filesFailed_;
    const std::string text = split.source() + ": " + std::to_string(existing.size()) +
                             " of its pieces exist already (" + existing.front() +
                             (existing.size() > 1 ? ", ..." : "") +
                             "); it would be skipped without --replace";
    failureLines_.push_back(text);
    Line(text);
  }
}

std::string Reporter::ProblemText(const SourceSplit& split) const {
  const std::string why = split.sysError() ? std::strerror(split.sysError()) : "";
  switch (split.problem()) {
    case SourceProblem::kNone: return "";
    case SourceProblem::kMissing: return "no such file";
    case SourceProblem::kNotAFile: return "not a file";
    case SourceProblem::kUnreadable: return "cannot be read (" + why + ")";
    case SourceProblem::kNotVideo:
      return "not a video the cutting tool can read (no duration of a second or more found)";
    case SourceProblem::kTooManyParts:
      return std::to_string(options_.parts) + " pieces asked for, but it lasts only " +
             std::to_string(split.durationUs() / 1000000) +
             " whole seconds (each piece needs one at least)";
    case SourceProblem::kNothingToCut: return "the plan has no piece";
    case SourceProblem::kFolderUnusable:
      return "the output folder " + split.folder() + " cannot be used (" + why + ")";
    case SourceProblem::kPiecesExist: {
      const std::vector<std::string> existing = split.ExistingPieces();
      return "skipped: " + std::to_string(existing.size()) + " of its pieces exist already (" +
             (existing.empty() ? std::string() : existing.front()) + (existing.size() > 1 ? ", ..." : "") +
             "); --replace replaces them";
    }
    case SourceProblem::kReplaceFailed: return "an existing piece cannot be replaced (" + why + ")";
    case SourceProblem::kOverwritesSource:
      return "skipped: one of its pieces would overwrite another file given to cut";
    case SourceProblem::kSameOutputAs:
      return "skipped: its pieces would take the names of an earlier file's pieces";
  }
  return "";
}

void Reporter::Refused(const SourceSplit& split) {
  ++files_;
  ++filesFailed_;
  ++failures_;
  const std::string text = split.source() + ": " + ProblemText(split);
  failureLines_.push_back(text);
  Line(text);
  if (split.problem() == SourceProblem::kPiecesExist) {
    const std::vector<std::string> existing = split.ExistingPieces();
    for (const PlannedPiece& p : split.pieces()) {
      const bool taken = std::find(existing.begin(), existing.end(), p.path) != existing.end();
      Json(split, &p, KindName(taken ? PieceKind::kExists : PieceKind::kSkipped), CutMethod::kUnknown);
    }
  } else {
    Json(split, nullptr, ProblemName(split.problem()), CutMethod::kUnknown);
  }
}

void Reporter::Started(const SourceSplit& split) {
  ++files_;
  live_.push_back({&split, Live{ShortName(split.source()), 1, static_cast<int>(split.pieces().size()), 0}});
  barDirty_ = true;
}

std::string Reporter::Reason(const PieceResult& r) const {
  switch (r.kind) {
    case PieceKind::kExists: return "a file of its name exists";
    case PieceKind::kNoSpace: return "no space left on the disk";
    case PieceKind::kNoPermission: return "no permission to write the output folder";
    case PieceKind::kSourceUnreadable: return "the source cannot be read";
    case PieceKind::kSourceMissing: return "the source was moved or deleted";
    case PieceKind::kSourceChanged: return "the source was changed during the cut";
    case PieceKind::kFolderMissing: return "the output folder was removed";
    case PieceKind::kToolKilled: return "the cutting tool was killed (signal " + std::to_string(r.signal) + ")";
    case PieceKind::kToolMissing:
      return "the cutting tool ZantrelCore cannot be started" + (r.toolDetail.empty() ? "" : " (" + r.toolDetail + ")");
    case PieceKind::kInternal:
      return "the cutting tool failed" + (r.toolDetail.empty() ? "" : " (" + r.toolDetail + ")");
    default: return KindName(r.kind);
  }
}

void Reporter::PieceEnded(const SourceSplit& split, const PieceResult& r) {
  const std::size_t n = split.pieces().size();
  const PlannedPiece* piece =
      r.index >= 1 && static_cast<std::size_t>(r.index) <= n ? &split.pieces()[r.index - 1] : nullptr;
  const std::string head = split.source() + ": piece " + std::to_string(r.index) + "/" + std::to_string(n);
  switch (r.kind) {
    case PieceKind::kWritten: ++written_; break;
    case PieceKind::kEmpty: ++empty_; break;
    case PieceKind::kStopped:
    case PieceKind::kNotRun: ++stopped_; break;
    default: break;
  }
  if (IsFailure(r.kind)) {
    ++failures_;
    const std::string text = head + " failed: " + Reason(r);
    failureLines_.push_back(text);
    Line(text);
  } else if (!options_.quiet && r.kind != PieceKind::kNotRun) {
    std::string text = head + " " + KindName(r.kind);
    if (r.kind == PieceKind::kWritten && piece) {
      text += ": " + piece->path;
      if (r.method == CutMethod::kSmart) text += " (smart cut)";
      if (r.method == CutMethod::kReencode) text += " (re-encoded)";
    } else if (r.kind == PieceKind::kEmpty) {
      text += " (no length, nothing written)";
    }
    Line(text);
  }
  Json(split, piece, KindName(r.kind), r.method);
  for (auto& [s, live] : live_) {
    if (s != &split) continue;
    live.current = std::min(r.index + 1, live.pieces);
    barDirty_ = true;
  }
}

void Reporter::Progress(const SourceSplit& split, int current, int percent) {
  for (auto& [s, live] : live_) {
    if (s != &split) continue;
    live.current = current;
    live.percent = percent;
    barDirty_ = true;
  }
}

void Reporter::FileEnded(const SourceSplit& split) {
  live_.erase(std::remove_if(live_.begin(), live_.end(), [&](const auto& e) { return e.first == &split; }),
              live_.end());
  barDirty_ = true;
  if (live_.empty()) ClearBar();
}

void Reporter::NotBegun(const std::string& source) {
  if (!options_.quiet) Line(source + ": not begun (stopped)");
}

void Reporter::Summary(bool interrupted) {
  ClearBar();
  if (options_.quiet) return;
  if (failureLines_.size() > 1) {
    std::fprintf(err_, "failed:\n");
    for (const std::string& l : failureLines_) std::fprintf(err_, "  %s\n", l.c_str());
  }
  if (options_.dryRun) {
    std::fprintf(err_, "%d file(s) planned, nothing cut\n", files_ - filesFailed_);
  } else {
    std::string text = std::to_string(files_) + " file(s): " + std::to_string(written_) + " piece(s) written";
    if (empty_) text += ", " + std::to_string(empty_) + " empty";
    if (failures_) text += ", " + std::to_string(failures_) + " failed";
    if (stopped_) text += ", " + std::to_string(stopped_) + " stopped";
    if (interrupted) text += " (stopped by the user)";
    std::fprintf(err_, "%s\n", text.c_str());
  }
  std::fflush(err_);
}

void Reporter::Tick() {
  if (!terminal_ || options_.quiet || !barDirty_ || live_.empty()) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < kBarInterval) return;
  lastDraw_ = now;
  DrawBar();
}

void Reporter::DrawBar() {
  std::string text;
  if (live_.size() == 1) {
    const Live& l = live_.front().second;
    const int cells = 20;
    const int full = l.percent * cells / 100;
    text = l.name + "  piece " + std::to_string(l.current) + "/" + std::to_string(l.pieces) + "  [" +
           std::string(static_cast<std::size_t>(full), '#') +
           std::string(static_cast<std::size_t>(cells - full), '-') + "] " + std::to_string(l.percent) + "%";
  } else {
    for (const auto& [s, l] : live_) {
      if (!text.empty()) text += " | ";
      text += l.name + " " + std::to_string(l.current) + "/" + std::to_string(l.pieces) + " " +
              std::to_string(l.percent) + "%";
    }
  }
  std::fprintf(err_, "\r\033[K%s", Fit(text, static_cast<std::size_t>(width_ - 1)).c_str());
  std::fflush(err_);
  barShown_ = true;
  barDirty_ = false;
}

void Reporter::ClearBar() {
  if (!barShown_) return;
  std::fprintf(err_, "\r\033[K");
  std::fflush(err_);
  barShown_ = false;
}

}  // namespace zantrel::cli
