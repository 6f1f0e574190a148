#pragma once
// Every sentence the main window says, in one table: the model and the
// engine hand up kinds and numbers, and these functions choose the words in
// the current language (section [CString] of its file, ui/messages.h; the
// built-in Chinese where the file has none). Read afresh on every call, so
// a sentence made after a language switch is in the new language.
// Texts are in the program's code page, as the rest of the window's texts.
// UI thread.
#include <string>
#include <vector>

#include "engine/job.h"
#include "engine/plan.h"
#include "model/split_model.h"

namespace words {

// The caption of every message box of the main window.
std::string MessageCaption();
// The source chooser's filter: the network videos first, then every video
// the cutting tool takes, then all files.
std::string SourceFilter();
std::string AllVideosFilterName();  // IDS_ALL_VIDEOS
std::string AllFilesFilterName();   // IDS_ALL_FILES
// A recent file that is gone, taken off the list. IDS_RECENT_MISSING, %1 the path.
std::string RecentFileMissing(const std::string& path);

// Start refused (kJobRunning says nothing: "" ).
std::string StartRefusal(const zantrel::StartCheck& check);
std::string PlanError(const zantrel::SplitPlan& plan);
// Why the output folder `folder` cannot take the pieces.
std::string FolderUnusable(const zantrel::FolderCheck& check, const std::string& folder);
// The question before replacing `existing` (full paths).
std::string ReplaceQuestion(const std::vector<std::string>& existing);
std::string CloseDuringJobQuestion();
// A source that cannot be cut, named by its path, and why.
std::string SourceProblem(const std::string& path, zantrel::SourceVerdict verdict);
std::string NoBrowser(const std::string& page);
// 查看分割视频 found no file manager for the output folder.
std::string NoFileManager(const std::string& folder);

// The status label and the bar.
std::string Progress(int percent);
std::string Paused();
std::string Stopping();
std::string Stopped();
std::string Failed();
std::string Done();
// What the status line says before any job: its template text, or that
// text's translation (IDD_102_1022).
std::string Ready();
std::string JobCounts(const zantrel::JobSummary& s);

// The failure report: its summary and one line per failed piece (saying
// when the piece's old file from an earlier run is still there).
std::string FailureSummary(const zantrel::JobSummary& s);
std::string PieceFailure(const zantrel::PieceFailure& f);

// The completion dialog's account of the job: how many pieces went into
// which folder, and which came out empty.
std::string DoneResult(const zantrel::JobEnd& end);

// The slider's accessible name, made from the preview's.
std::string PlayingPosition(const std::string& previewName);

}  // namespace words
