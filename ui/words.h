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
std::string SourceFilter();  // the source chooser's filter

// Start refused (kJobRunning says nothing: "" ).
std::string StartRefusal(const zantrel::StartCheck& check);
std::string PlanError(const zantrel::SplitPlan& plan);
// An errno met by a folder check or a removal.
std::string ErrnoWords(int err);
// The question before replacing `existing` (full paths).
std::string ReplaceQuestion(const std::vector<std::string>& existing);
std::string ReplaceFailed(const std::string& path, int err);
std::string CloseDuringJobQuestion();
std::string SourceUnreadable();
std::string NoBrowser(const std::string& page);

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

// The failure report: its summary and one line per failed piece.
std::string FailureSummary(const zantrel::JobSummary& s);
std::string PieceFailure(const zantrel::PieceFailure& f);

// The slider's accessible name, made from the preview's.
std::string PlayingPosition(const std::string& previewName);

}  // namespace words
