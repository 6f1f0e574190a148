#include "ui/words.h"

#include <cerrno>
#include <cstring>

#include "i18n/language.h"
#include "platform/codepage.h"
#include "platform/path.h"
#include "res/dialogs.h"
#include "ui/messages.h"

namespace words {

using zantrel::Say;
using namespace msg;

namespace {
// The output names listed in the replace question; the rest are counted.
constexpr std::size_t kNamesShown = 5;
constexpr int kStatusId = 1022;

std::string BaseName(const std::string& path) {
  const std::size_t sep = zantrel::MbsRChr(path, zantrel::kPathSep);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string Shown(const std::string& folder) { return folder.empty() ? std::string(".") : folder; }
std::string N(long long n) { return std::to_string(n); }

// A failed piece's line without what became of its old file.
std::string PieceFailureReason(const zantrel::PieceFailure& f);
}  // namespace

std::string MessageCaption() { return Say(IDS_MSG_CAPTION); }
std::string SourceFilter() {
  // The chooser matches patterns in any letter case.
  return Say(IDS_VIDEO_FILES) + "(*.flv;*.mp4;*.3gp;*.avi)|*.flv;*.mp4;*.3gp;*.avi|" + AllVideosFilterName() +
         "(*.flv;*.mp4;*.3gp;*.avi;*.mov)|*.flv;*.mp4;*.3gp;*.avi;*.mov|" + AllFilesFilterName() + "(*)|*|";
}
std::string AllVideosFilterName() { return Say(IDS_ALL_VIDEOS); }
std::string AllFilesFilterName() { return Say(IDS_ALL_FILES); }
std::string RecentFileMissing(const std::string& path) { return Say(IDS_RECENT_MISSING, {path}); }

std::string StartRefusal(const zantrel::StartCheck& c) {
  using zantrel::StartProblem;
  switch (c.problem) {
    case StartProblem::kNone:
    case StartProblem::kJobRunning:
      return std::string();
    case StartProblem::kNoSource:
      return Say(IDS_NO_SOURCE);
    case StartProblem::kSourceMissing:
      return SourceProblem(c.sourcePath, zantrel::SourceVerdict::kMissing);
    case StartProblem::kSourceUnreadable:
      return SourceProblem(c.sourcePath, zantrel::SourceVerdict::kUnreadable);
    case StartProblem::kSourceNotUsable:
      return SourceProblem(c.sourcePath, c.verdict);
    case StartProblem::kDurationUnknown:
      return Say(IDS_NO_DURATION);
    case StartProblem::kPlanInvalid:
      return PlanError(c.plan);
    case StartProblem::kNoOutputFolder:
      return Say(IDS_NO_OUTPUT);
    case StartProblem::kFolderUnusable:
      return FolderUnusable(c.folderCheck, c.folder);
  }
  return std::string();
}

std::string PlanError(const zantrel::SplitPlan& plan) {
  switch (plan.error) {
    case zantrel::PlanError::kNone:
      return std::string();
    case zantrel::PlanError::kTooManyParts:
      return Say(IDS_TOO_MANY_PARTS, {N(plan.parts), N(plan.seconds)});
    case zantrel::PlanError::kNoSecondsPerPart:
      return Say(IDS_SECONDS_ZERO);
    case zantrel::PlanError::kUnknownMode:
      return Say(IDS_UNKNOWN_MODE);
  }
  return std::string();
}

std::string FolderUnusable(const zantrel::FolderCheck& check, const std::string& folder) {
  using zantrel::FolderProblem;
  // The place it failed, when that is a folder on the way and not the
  // output folder itself.
  std::string at = check.at;
  while (at.size() > 1 && at.back() == zantrel::kPathSep) at.pop_back();
  std::string self = Shown(folder);
  while (self.size() > 1 && self.back() == zantrel::kPathSep) self.pop_back();
  const bool elsewhere = !at.empty() && at != self;
  const auto placed = [&](const std::string& why) { return elsewhere ? Say(IDS_PATH_REASON, {why, check.at}) : why; };
  switch (check.problem) {
    case FolderProblem::kNone:
      return std::string();
    case FolderProblem::kMissing:
      return Say(IDS_FOLDER_UNUSABLE, {placed(Say(IDS_WHY_NO_FOLDER)), Shown(folder)});
    case FolderProblem::kCannotCreate: {
      std::string why;
      switch (check.errnoValue) {
        case EACCES:
        case EPERM:
          why = Say(IDS_WHY_NO_RIGHTS);
          break;
        case EROFS:
          why = Say(IDS_WHY_READ_ONLY);
          break;
        case ENOSPC:
        case EDQUOT:
          why = Say(IDS_WHY_NO_SPACE);
          break;
        case ENOENT:
          why = Say(IDS_WHY_PARENT_TAKES_NO_FILES);
          break;
        case ENAMETOOLONG:
          why = Say(IDS_WHY_PATH_TOO_LONG);
          break;
        default:
          why = std::strerror(check.errnoValue);
      }
      return Say(IDS_FOLDER_CANNOT_CREATE, {placed(why), Shown(folder)});
    }
    case FolderProblem::kNotFolder:
      return Say(IDS_FOLDER_UNUSABLE, {placed(Say(IDS_WHY_NOT_FOLDER)), Shown(folder)});
    case FolderProblem::kNoPermission:
      return Say(IDS_FOLDER_NOT_WRITABLE, {placed(Say(IDS_WHY_NO_PERMISSION)), Shown(folder)});
    case FolderProblem::kReadOnly:
      return Say(IDS_FOLDER_NOT_WRITABLE, {Say(IDS_WHY_READ_ONLY), Shown(folder)});
    case FolderProblem::kNoSpace:
      return Say(IDS_FOLDER_NOT_WRITABLE, {Say(IDS_WHY_NO_SPACE), Shown(folder)});
    case FolderProblem::kTakesNoFiles:
      return Say(IDS_FOLDER_NOT_WRITABLE, {Say(IDS_WHY_TAKES_NO_FILES), Shown(folder)});
    case FolderProblem::kOther:
      break;
  }
  return Say(IDS_FOLDER_NOT_WRITABLE, {placed(std::strerror(check.errnoValue)), Shown(folder)});
}

std::string ReplaceQuestion(const std::vector<std::string>& existing) {
  std::string names;
  for (std::size_t i = 0; i < existing.size() && i < kNamesShown; ++i) names += "\n" + BaseName(existing[i]);
  if (existing.size() > kNamesShown) names += Say(IDS_REPLACE_MORE, {N(static_cast<long long>(existing.size()))});
  return Say(IDS_REPLACE_QUESTION, {names});
}

std::string CloseDuringJobQuestion() { return Say(IDS_STOP_QUESTION); }

std::string SourceProblem(const std::string& path, zantrel::SourceVerdict verdict) {
  using zantrel::SourceVerdict;
  std::string why;
  switch (verdict) {
    case SourceVerdict::kVideo:
      return std::string();
    case SourceVerdict::kMissing:
      why = Say(IDS_SRC_MISSING);
      break;
    case SourceVerdict::kUnreadable:
      why = Say(IDS_SRC_UNREADABLE);
      break;
    case SourceVerdict::kNotVideo:
      why = Say(IDS_SRC_NOT_VIDEO);
      break;
    case SourceVerdict::kNoPictureNoSound:
      why = Say(IDS_SRC_NO_STREAMS);
      break;
    case SourceVerdict::kNoDuration:
      why = Say(IDS_SRC_NO_DURATION);
      break;
    case SourceVerdict::kToolMissing:
      why = Say(IDS_FAIL_TOOL_MISSING);
      break;
  }
  return Say(IDS_SOURCE_PROBLEM, {why, path});
}

std::string NoBrowser(const std::string& page) { return Say(IDS_HOME_FAILED, {page}); }
std::string NoFileManager(const std::string& folder) { return Say(IDS_NO_FILE_MANAGER, {folder}); }

std::string Progress(int percent) { return Say(IDS_STATUS_PROGRESS, {N(percent)}); }
std::string Paused() { return Say(IDS_STATUS_PAUSED); }
std::string Stopping() { return Say(IDS_STATUS_STOPPING); }
std::string Stopped() { return Say(IDS_STATUS_STOPPED); }
std::string Failed() { return Say(IDS_STATUS_FAILED); }
std::string Done() { return Say(IDS_STATUS_DONE); }

std::string JobCounts(const zantrel::JobSummary& s) {
  return Say(IDS_STATUS_WRITTEN, {N(s.written), N(s.pieces)}) +
         (s.empty > 0 ? Say(IDS_STATUS_EMPTY, {N(s.empty)}) : std::string());
}

std::string FailureSummary(const zantrel::JobSummary& s) {
  return Say(IDS_FAILURE_SUMMARY, {N(s.pieces), N(s.failed), N(s.written)}) +
         (s.oldKept > 0 ? Say(IDS_FAILURE_OLD_KEPT, {N(s.oldKept)}) : std::string());
}

std::string PieceFailure(const zantrel::PieceFailure& f) {
  const std::string line = PieceFailureReason(f);
  if (line.empty() || f.file != zantrel::PieceFile::kOld) return line;
  return line + Say(IDS_PIECE_OLD_KEPT);
}

std::string DoneResult(const zantrel::JobEnd& end) {
  std::string text = Say(IDS_DONE_RESULT, {N(end.summary.written), Shown(end.folder)});
  if (!end.emptySegments.empty()) {
    std::string which;
    for (const int k : end.emptySegments)
      which += (which.empty() ? std::string() : Say(IDS_LIST_SEPARATOR)) + Say(IDS_SEGMENT_NAME, {N(k)});
    text += "\n" + Say(IDS_DONE_EMPTY, {which});
  }
  return text;
}

namespace {
std::string PieceFailureReason(const zantrel::PieceFailure& f) {
  using zantrel::FailureReason;
  std::string why;
  switch (f.reason) {
    case FailureReason::kNone:
      return std::string();
    case FailureReason::kToolMissing:
      why = Say(IDS_FAIL_TOOL_MISSING);
      break;
    case FailureReason::kAlreadyExists:
      why = Say(IDS_FAIL_EXISTS);
      break;
    case FailureReason::kDiskFull:
      why = Say(IDS_FAIL_NO_SPACE);
      break;
    case FailureReason::kPermissionDenied:
      why = Say(IDS_FAIL_NO_PERMISSION);
      break;
    case FailureReason::kUnreadableSource:
      why = Say(IDS_FAIL_UNREADABLE);
      break;
    case FailureReason::kSourceMissing:
      why = Say(IDS_FAIL_SOURCE_GONE);
      break;
    case FailureReason::kSourceChanged:
      why = Say(IDS_FAIL_SOURCE_CHANGED);
      break;
    case FailureReason::kFolderMissing:
      why = Say(IDS_FAIL_FOLDER_GONE);
      break;
    case FailureReason::kToolKilled:
      why = Say(IDS_FAIL_KILLED, {N(f.signal)});
      break;
    case FailureReason::kOther: {
      // The tool's own sentence, when it gave one, is the best we have; it
      // is shown, never read.
      std::string detail = f.toolLine;
      const std::string prefix = "ZantrelCore: ";
      if (detail.rfind(prefix, 0) == 0) detail.erase(0, prefix.size());
      if (!detail.empty()) why = Say(IDS_FAIL_OTHER, {detail});
      else if (f.exitCode > 0) why = Say(IDS_FAIL_EXIT_CODE, {N(f.exitCode)});
      else why = Say(IDS_FAIL_NO_OUTPUT);
      break;
    }
  }
  return Say(IDS_PIECE_FAILED, {N(f.segment), why});
}
}  // namespace

std::string PlayingPosition(const std::string& previewName) { return Say(IDS_SLIDER_NAME, {previewName}); }

std::string Ready() {
  // The status line's first words are its template text, so its key
  // (IDD_102_1022) gives them in every language.
  std::string text;
  if (LookUpLanguageText("CDialog", DialogKey(res::IDD_SPLITTER_DIALOG, kStatusId), text)) return text;
  for (const dlg::ControlTemplate& c : res::MainDialog().controls)
    if (c.id == kStatusId) return zantrel::FromUtf8(c.text);
  return std::string();
}

}  // namespace words
