#pragma once
// CSplitterDlg: the program's main window, the modal dialog built from
// template 102. It owns the preview player, the position slider, the
// split-point bar, the menu bar, the split plan state and the jobs. All its
// members are used on the UI thread only; the workers reach it only through
// the end-of-job notice posted to this thread.
#include <sys/types.h>

#include <QIcon>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/job.h"
#include "engine/plan.h"
#include "engine/progress.h"
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

// Overall progress of the current job, in percent: 0 at each Start, then the
// job's share done. UI thread only.
extern int g_nProgress;

inline constexpr int kTimerDuration = 1;  // duration from the player
inline constexpr int kTimerProbe = 2;     // placeholder video and probe
inline constexpr const char* kMsgCaption = "Tesmor提示";
inline constexpr const char* kSourceFilter =
    "网络视频文件(*.flv;*.mp4;*.3gp;*.avi)|*.flv;*.mp4;*.3gp;*.avi|";

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
  void OnAutoSelectLanguage();
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
  // The end of a job, on the UI thread; the worker waits until it returns.
  void OnSplitDone(zantrel::CSplitTask& task);
  // One data block from the progress channel; `sender` is the process that
  // sent it (0: unknown, taken as the live run).
  void OnCopyData(const std::uint8_t* data, std::size_t size, pid_t sender = 0);
  // True from Start until the job's end has been handled.
  bool JobRunning() const { return m_bJobRunning; }

  // The source duration from the tool's probe, whole seconds; 0 (with the
  // message) when none was found.
  double ProbeDuration(const std::string& path);
  // The plan as the controls describe it now.
  zantrel::SplitPlanInput PlanInputFromControls();
  // DoDataExchange towards the window: label 1006 shows m_strPosText.
  void UpdateData(bool saveAndValidate);

  // Where the dialog meets the desktop; virtual so tests can answer them.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption);
  // A question with Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption);
  // The failed pieces of a job: one summary line, then one line per piece.
  virtual void ShowFailureReport(const std::string& summary, const std::vector<std::string>& lines);
  // The choosers open in `startDir`.
  virtual std::optional<std::string> PromptSourceFile(const std::string& startDir);
  virtual std::string PromptOutputFolder(const std::string& startDir);
  virtual void RunSplitDoneDialog();
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

  // State shared with the split plan, the job and the player.
  int m_nSkin;
  int m_nSplitMode = zantrel::kSplitCustom;
  std::string m_strPosText;
  std::string m_strSourcePath;
  std::string m_strSourceName;
  std::string m_strOutputDir;
  double m_dDuration = 0;
  int m_bPreviewLive = 0;

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

  // The newest job; every job of this run is kept until the dialog goes.
  zantrel::CSplitTask* m_pSplitTask = nullptr;
  std::vector<std::unique_ptr<zantrel::CSplitTask>> m_tasks;
  CCopyDataReceiver* m_copyData = nullptr;
  // The share done of the current job (none before the first Start).
  std::optional<zantrel::JobProgress> m_jobProgress;
  bool m_bJobRunning = false;
  bool m_bClosing = false;  // the window is going: the job's end shows nothing

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
  // Start's checks before a job: each shows its message and returns false.
  bool CheckOutputFolder(const std::string& folder, bool create);
  bool ConfirmReplace(const zantrel::SplitJob& job);
  // Start and the controls that must not change while a job runs.
  void EnableJobControls(bool running);
  // The end of a job as the status and the report show it.
  void ReportJobEnd(zantrel::CSplitTask& task);
  // Folders the two choosers open in.
  std::string SourceBrowseDir() const;
  std::string OutputBrowseDir() const;
  std::string VideosFolder() const;
  void ShowOutputFolder(const std::string& folder);

  void SetStatus(const std::string& text);
  void DoDataExchange();
  std::string DefaultOutputFolder() const;
};
