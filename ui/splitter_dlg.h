#pragma once
// CSplitterDlg: the program's main window, the modal dialog built from
// template 102, a view over one SplitModel (model/split_model.h). The model
// holds the source, the mode, the split points, the output folder, the plan
// and the job; the dialog shows them and turns the user's inputs into calls
// on it. It owns the preview player, the position slider, the split-point
// bar and the menu bar. UI thread only; the job's end reaches the model
// through a queued call to this thread.
#include <sys/types.h>

#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/split_model.h"
#include "model/user_options.h"
#include "platform/qt/dialog_base.h"
#include "preview/flash_player.h"

class CTrackbar;
class CUpDownCtrl;
class CSplitPointBar;
class CMenuWnd;
class CCopyDataReceiver;
class QLabel;
class QListWidget;
class QProgressBar;
class MpvPlayerWidget;
class CNoPreviewCard;

inline constexpr int kTimerDuration = 1;  // duration from the player
inline constexpr int kTimerProbe = 2;     // placeholder video and probe
// Children made at run time, with IDs of their own beside the template's
// (1000..1035).
inline constexpr int kPreviewId = 1;  // the preview player, made at creation
inline constexpr int kPointBarId = 1100;
inline constexpr int kMenuBarId = 1101;
// The File menu's recent files, newest first (clear of the language range).
inline constexpr int kFirstRecentCommand = 32900;
inline constexpr int kLastRecentCommand = kFirstRecentCommand + zantrel::UserOptions::kMaxRecent - 1;

class CSplitterDlg : public CDialogBase {
  Q_OBJECT
 public:
  CSplitterDlg(int nSkin, QWidget* parent);
  ~CSplitterDlg() override;

  void OnCommand(int id) override;

  // Handlers, by the command table.
  void OnBrowseSource();
  void OnBrowseOutput();
  void OnStop();
  void OnHomePage();
  void OnAbout();
  void OnAverageMode();
  void OnEqualTimeMode();
  void OnCustomMode();
  void OnAddSplitPoint();
  void OnDeleteSplitPoint();
  void OnStart();
  void OnPause();
  void OnSkinKorvane();
  void OnSkinDevior();
  void OnSkinCorona();
  void OnSkinXpArgent();
  void OnSkinFuture();
  // Writes the skin choice to skin.ini (only a known skin number is
  // written); the dialog's destruction and a restart call it.
  void SaveSkinChoice();
  void OnLanguage(int id);
  // Called with the new language name after each switch, before anything
  // is translated (the start-up code has Qt's own texts follow it).
  void SetLanguageFollower(std::function<void(const std::string&)> follow) {
    m_languageFollower = std::move(follow);
  }
  void OnAutoSelectLanguage();
  // A recent file chosen in the File menu: opened as a browse returning it,
  // or, when it is gone, taken off the list with a message.
  void OnRecentFile(int id);
  // Writes the user's choices as the model holds them to options.ini; the
  // dialog's destruction and a restart call it.
  void SaveOptions();
  const std::vector<std::string>& RecentFiles() const { return m_options.recent; }
  // A source chosen: what the source browse does with the path it returns.
  void SetSource(const std::string& path);
  // A source named from outside the dialog (the command line, a drop): the
  // same as a browse returning `path` when it is a readable file; otherwise
  // the "file could not be read" message and nothing changes. False then.
  bool OpenSourceFromOutside(const std::string& path);
  // Play <-> pause of the preview (Space on the preview).
  void TogglePreviewPlayback();
  // Accessible names of the controls and the buttons' tool tips, from the
  // current texts and language file; run again after a language change.
  void ApplyDesktopTexts();
  // The slider moved (WM_HSCROLL from 1002).
  void OnHScroll();
  // Frame (`,` `.`) and second (Shift+Left/Right) steps of the paused
  // preview; nothing while it plays or shows the placeholder.
  void StepPreviewFrames(int frames);
  void StepPreviewSeconds(int seconds);
  // The position label 1006 shows, in microseconds on the file's timeline:
  // the playing position, the frame a move landed on, or the slider's time.
  std::int64_t PositionUs() const { return m_posUs; }
  // One data block from the progress channel; `sender` is the process that
  // sent it (0: unknown, taken as the live run).
  void OnCopyData(const std::uint8_t* data, std::size_t size, pid_t sender = 0);
  // True from Start until the job's end has been handled.
  bool JobRunning() const { return m_model.JobRunning(); }
  // What the window shows; the model's own callbacks keep the view in step.
  zantrel::SplitModel& Model() { return m_model; }
  const zantrel::SplitModel& Model() const { return m_model; }
  // The current skin number (1..5); a skin command changes it. SetSkin only
  // records a number (the menu ticks it, skin.ini gets it), loading nothing.
  int Skin() const { return m_nSkin; }
  void SetSkin(int number) { m_nSkin = number; }
  // 1 while the preview plays the source itself, 0 for the placeholder.
  int PreviewLive() const { return m_bPreviewLive; }

  // The tool's probe of a source: its duration, or why there is nothing to
  // cut in it (then told at once in a message naming the file).
  zantrel::ProbeResult ProbeSource(const std::string& path);

  // Where the dialog meets the desktop; virtual so tests can answer them.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption);
  // A question with Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption);
  // The failed pieces of a job: one summary line, then one line per piece.
  virtual void ShowFailureReport(const std::string& summary, const std::vector<std::string>& lines);
  // The choosers open in `startDir`.
  virtual std::optional<std::string> PromptSourceFile(const std::string& startDir);
  virtual std::string PromptOutputFolder(const std::string& startDir);
  // The completion dialog, telling `result` (what the job wrote where).
  virtual void RunSplitDoneDialog(const std::string& result);
  virtual void RunAboutDialog();
  virtual bool OpenWithDesktop(const std::string& pathOrUrl);
  // Behind the split-point bar lies the slider's channel: the bar is shown
  // over it, so that its marks sit on the channel rather than hide it.
  bool PaintChildBackground(QPainter& painter, QWidget* child) override;
  // The menu bar's popup items are measured and drawn by the owner-draw code.
  void OnMeasureItem(int ctlId, MEASUREITEMSTRUCT& m) override;
  void OnDrawItem(int ctlId, DRAWITEMSTRUCT& d) override;

  // Where the cutting tool is looked up first: the program folder.
  virtual std::string ToolDir() const;
  // The program folder, where the language list, the language files and
  // lang_set.ini live.
  virtual std::string ProgramDir() const;
  // options.ini in the settings folder; "" keeps nothing between runs. Asked
  // once, at initialisation.
  virtual std::string OptionsPath() const;

 protected:
  // Trackbar 1002 is the transparent position slider.
  QWidget* CreateControl(const dlg::ControlTemplate& c) override;
  int OnCreate() override;
  bool OnInitDialog() override;
  void OnTimer(int id) override;
  // Escape, the close box and the exit command: a running job is stopped
  // first, when the user confirms.
  void OnCancel() override;
  // A click on the preview plays or pauses the source.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The model's news, shown.
  void ShowPoints();
  void OnDurationChanged();
  // The thumb's label from the slider's place; `seek` also moves the preview.
  void OnHScroll(bool seek);
  // The preview's exact positions, wired to the slider, label 1006 and the
  // point list (splitter_dlg_position.cpp).
  MpvPlayerWidget* PreviewPlayer() const;
  void ConnectPreviewPositions();
  // The slider and label 1006 at `us`, sending no seek back.
  void FollowPreview(std::int64_t us);
  void ShowPositionText(std::int64_t us, int pos);
  // The slider position nearest to `us` (0..100).
  int NearestPosition(std::int64_t us) const;
  std::int64_t PositionTimeUs(int pos) const;
  void OnJobEnded(const zantrel::JobEnd& end);
  void OnProgress(int overall);
  // Asks before replacing the pieces already there; false to start nothing.
  // On Yes the check's job may replace them.
  bool ConfirmReplace(zantrel::StartCheck& check);
  // Start and the controls that must not change while a job runs.
  void EnableJobControls(bool running);
  // The end of a job as the status and the report show it.
  void ReportJobEnd(const zantrel::JobEnd& end);
  // Folders the two choosers open in.
  std::string SourceBrowseDir() const;
  std::string OutputBrowseDir() const;
  std::string VideosFolder() const;
  void ShowOutputFolder(const std::string& folder);
  // The saved choices into the model and the controls, at initialisation;
  // the recent files into the File menu.
  void LoadOptions();
  void ShowRecentFiles();

  // A live label's words: made again from the state they captured whenever
  // the language changes, so the label keeps its state in the new language.
  using LiveWords = std::function<std::string()>;
  // Status line 1022; none given yet: words::Ready.
  void SetStatus(LiveWords say);
  // The counts on the bar after a job.
  void SetBarWords(LiveWords say);
  // Status, bar counts, position and duration labels from their state, in
  // the current language.
  void ShowLiveLabels();
  // The placeholder card's words over the preview, while the card plays.
  void ShowNoPreviewCard(bool shown);
  // DoDataExchange towards the window: label 1006 shows m_strPosText.
  void UpdateData(bool saveAndValidate);
  void DoDataExchange();

  zantrel::SplitModel m_model;
  int m_nSkin;
  std::string m_strPosText;  // the position's time text (label 1006)
  std::int64_t m_posUs = 0;  // the time label 1006 names
  int m_bPreviewLive = 0;    // the source itself plays (not the placeholder)

  CShockwaveFlash m_flash;
  std::unique_ptr<CFlashPlayer> m_pPlayer;
  CTrackbar* m_slider = nullptr;      // 1002, a CTransparentSliderCtrl
  QLabel* m_posLabel = nullptr;       // 1006
  CUpDownCtrl* m_spin = nullptr;      // 1011
  QListWidget* m_list = nullptr;      // 1013
  QProgressBar* m_progress = nullptr; // 1019
  QLabel* m_status = nullptr;         // 1022
  CSplitPointBar* m_pointBar = nullptr;
  CMenuWnd* m_menuBar = nullptr;
  QIcon m_hIcon;
  CCopyDataReceiver* m_copyData = nullptr;
  bool m_bClosing = false;  // the window is going: the job's end shows nothing
  // The "stop and quit?" question while it is open (the real one, a modal
  // box: the job's end closes it).
  bool m_bAskingToClose = false;
  QPointer<QMessageBox> m_openQuestion;
  std::string m_optionsPath;       // "" when nothing is kept
  zantrel::UserOptions m_options;  // as read, then the recent list as it grows
  LiveWords m_statusWords;   // what 1022 says now (none: ready)
  LiveWords m_barWords;      // the bar's counts (none before a job's end)
  std::function<void(const std::string&)> m_languageFollower;
  CNoPreviewCard* m_noPreview = nullptr;  // the placeholder card's words
};
