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
}  // namespace

std::string MessageCaption() { return Say(IDS_MSG_CAPTION); }
std::string SourceFilter() {
  return Say(IDS_VIDEO_FILES) + "(*.flv;*.mp4;*.3gp;*.avi)|*.flv;*.mp4;*.3gp;*.avi|";
}

std::string StartRefusal(const zantrel::StartCheck& c) {
  using zantrel::StartProblem;
  switch (c.problem) {
    case StartProblem::kNone:
    case StartProblem::kJobRunning:
      return std::string();
    case StartProblem::kNoSource:
      return Say(IDS_NO_SOURCE);
    case StartProblem::kDurationUnknown:
      return Say(IDS_NO_DURATION);
    case StartProblem::kPlanInvalid:
      return PlanError(c.plan);
    case StartProblem::kNoOutputFolder:
      return Say(IDS_NO_OUTPUT);
    case StartProblem::kFolderNotCreated:
      return Say(IDS_FOLDER_NOT_CREATED, {Shown(c.folder)});
    case StartProblem::kFolderNotWritable:
      return Say(IDS_FOLDER_NOT_WRITABLE, {ErrnoWords(c.errnoValue), Shown(c.folder)});
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

std::string ErrnoWords(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
      return Say(IDS_WHY_NO_PERMISSION);
    case EROFS:
      return Say(IDS_WHY_READ_ONLY);
    case ENOSPC:
    case EDQUOT:
      return Say(IDS_WHY_NO_SPACE);
    case ENOENT:
    case ENOTDIR:
      return Say(IDS_WHY_NO_FOLDER);
    default:
      return std::strerror(err);
  }
}

std::string ReplaceQuestion(const std::vector<std::string>& existing) {
  std::string names;
  for (std::size_t i = 0; i < existing.size() && i < kNamesShown; ++i) names += "\n" + BaseName(existing[i]);
  if (existing.size() > kNamesShown) names += Say(IDS_REPLACE_MORE, {N(static_cast<long long>(existing.size()))});
  return Say(IDS_REPLACE_QUESTION, {names});
}

std::string ReplaceFailed(const std::string& path, int err) {
  const std::string why = err == EISDIR ? Say(IDS_WHY_IS_FOLDER) : ErrnoWords(err);
  return Say(IDS_CANNOT_REPLACE, {Say(IDS_PATH_REASON, {path, why})});
}

std::string CloseDuringJobQuestion() { return Say(IDS_STOP_QUESTION); }
std::string SourceUnreadable() { return Say(IDS_READ_FAILED); }
std::string NoBrowser(const std::string& page) { return Say(IDS_HOME_FAILED, {page}); }

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
  return Say(IDS_FAILURE_SUMMARY, {N(s.pieces), N(s.failed), N(s.written)});
}

std::string PieceFailure(const zantrel::PieceFailure& f) {
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
