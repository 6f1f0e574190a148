// The main dialog: construction, creation, initialisation and the command
// table.
#include "ui/splitter_dlg.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>

#include "i18n/language.h"
#include "i18n/qt/translate.h"
#include "menubar/menu_wnd.h"
#include "menubar/owner_draw_menu.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/qt/copydata_receiver.h"
#include "platform/qt/shell.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/updown.h"
#include "platform/qt/win_helpers.h"
#include "res/dialogs.h"
#include "res/menus.h"
#include "settings/user_folders.h"
#include "skin/skin_settings.h"
#include "ui/about_dlg.h"
#include "ui/failure_report_dlg.h"
#include "ui/no_preview_card.h"
#include "ui/desktop_input.h"
#include "ui/split_done_dlg.h"
#include "ui/split_point_bar.h"
#include "ui/transparent_slider.h"
#include "ui/words.h"

namespace {
struct CommandEntry {
  int first, last;
  void (CSplitterDlg::*plain)();
  void (CSplitterDlg::*ranged)(int);
};

// The command table: one entry per control or menu command, in the order of
// the message map.
const CommandEntry kCommands[] = {
    {1001, 1001, &CSplitterDlg::OnBrowseSource, nullptr},
    {1004, 1004, &CSplitterDlg::OnAddSplitPoint, nullptr},
    {1005, 1005, &CSplitterDlg::OnDeleteSplitPoint, nullptr},
    {1015, 1015, &CSplitterDlg::OnBrowseOutput, nullptr},
    {1008, 1008, &CSplitterDlg::OnAverageMode, nullptr},
    {1009, 1009, &CSplitterDlg::OnEqualTimeMode, nullptr},
    {1007, 1007, &CSplitterDlg::OnCustomMode, nullptr},
    {1016, 1016, &CSplitterDlg::OnStart, nullptr},
    {32771, 32771, &CSplitterDlg::OnSkinDevior, nullptr},
    {32772, 32772, &CSplitterDlg::OnSkinCorona, nullptr},
    {32774, 32774, &CSplitterDlg::OnSkinKorvane, nullptr},
    {32775, 32775, &CSplitterDlg::OnSkinXpArgent, nullptr},
    {32776, 32776, &CSplitterDlg::OnSkinFuture, nullptr},
    {32778, 32778, &CSplitterDlg::OnBrowseSource, nullptr},
    {2000, 2200, nullptr, &CSplitterDlg::OnLanguage},
    {kFirstRecentCommand, kLastRecentCommand, nullptr, &CSplitterDlg::OnRecentFile},
    {32784, 32784, &CSplitterDlg::OnAutoSelectLanguage, nullptr},
    {32786, 32786, &CSplitterDlg::OnHomePage, nullptr},
    {57664, 57664, &CSplitterDlg::OnAbout, nullptr},
    {1018, 1018, &CSplitterDlg::OnPause, nullptr},
    {1017, 1017, &CSplitterDlg::OnStop, nullptr},
};
constexpr int kCmdExit = 57665;  // the application's own exit command
}  // namespace

CSplitterDlg::CSplitterDlg(int nSkin, QWidget* parent)
    : CDialogBase(res::MainDialog(), parent),
      m_model(zantrel::SplitModel::Callbacks{
          /*sourceChanged=*/{},
          /*durationChanged=*/[this] { OnDurationChanged(); },
          /*pointsChanged=*/[this] { ShowPoints(); },
          /*modeChanged=*/{},
          /*jobRunningChanged=*/[this](bool running) { EnableJobControls(running); },
          /*progressChanged=*/[this](int overall) { OnProgress(overall); },
          /*jobEnded=*/[this](const zantrel::JobEnd& end) { OnJobEnded(end); },
      }),
      m_nSkin(nSkin),
      m_hIcon(QString::fromLatin1(res::kIconPath)) {
  m_pPlayer = std::make_unique<CFlashPlayer>(m_flash);
  m_strPosText = "0:00:00";
  setWindowIcon(m_hIcon);
}

CSplitterDlg::~CSplitterDlg() {
  m_pPlayer.reset();
  SaveSkinChoice();
  SaveOptions();
  // A job still running ends with the model, which the members' destruction
  // takes down after the widgets are gone: the callbacks it would call are
  // not called for a job cancelled by destruction.
}

void CSplitterDlg::OnCommand(int id) {
  for (const CommandEntry& e : kCommands) {
    if (id < e.first || id > e.last) continue;
    if (e.plain) (this->*e.plain)();
    else (this->*e.ranged)(id);
    return;
  }
  if (id == kCmdExit) {
    OnCancel();
    return;
  }
  CDialogBase::OnCommand(id);
}

QWidget* CSplitterDlg::CreateControl(const dlg::ControlTemplate& c) {
  if (c.id == 1002) return new CTransparentSliderCtrl(this);
  return nullptr;
}

int CSplitterDlg::OnCreate() {
  if (m_flash.Create("MyFlash", QRect(20, 80, 320, 240), this, 1))
    dlg::SetControlId(m_flash.GetWidget(), kPreviewId);
  m_flash.SetBackgroundColor(1);
  m_pPlayer->LoadMovie(zantrel::GetModuleDir() + "Lumivox.swf");
  return 0;
}

bool CSplitterDlg::OnInitDialog() {
  // The controls bound by the data exchange.
  m_slider = qobject_cast<CTrackbar*>(GetDlgItem(1002));
  m_posLabel = qobject_cast<QLabel*>(GetDlgItem(1006));
  m_spin = qobject_cast<CUpDownCtrl*>(GetDlgItem(1011));
  m_list = qobject_cast<QListWidget*>(GetDlgItem(1013));
  m_progress = qobject_cast<QProgressBar*>(GetDlgItem(1019));
  m_status = qobject_cast<QLabel*>(GetDlgItem(1022));
  connect(m_slider, &QSlider::valueChanged, this, [this] { OnHScroll(); });
  ConnectPreviewPositions();
  UpdateData(false);

  TranslateDialog(this, res::IDD_SPLITTER_DIALOG);

  // No system menu on this platform, so no About entry in it; command 57664
  // reaches the About box.
  setWindowIcon(m_hIcon);
  // Stop and Pause act on a running job only; the job turns them on.
  win::EnableWindow(GetDlgItem(1017), false);
  win::EnableWindow(GetDlgItem(1018), false);
  win::EnableWindow(GetDlgItem(1002), false);
  m_spin->SetRange(2, 50);
  m_spin->SetPos(2);
  win::CheckDlgButton(this, 1007, true);
  win::SetDlgItemText(this, 1012, "120");
  win::EnableWindow(GetDlgItem(1012), false);
  win::EnableWindow(GetDlgItem(1010), false);

  // N and S reach the model as they are typed (or stepped), so its plan is
  // always the one the controls describe.
  for (int id : {1010, 1012}) {
    auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id));
    if (!edit) continue;
    connect(edit, &QLineEdit::textChanged, this, [this, id] {
      const int value = win::GetDlgItemInt(this, id);
      if (id == 1010) m_model.SetParts(value);
      else m_model.SetSecondsPerPart(value);
    });
  }
  m_model.SetParts(win::GetDlgItemInt(this, 1010));
  m_model.SetSecondsPerPart(win::GetDlgItemInt(this, 1012));

  // The path boxes show a path from its beginning, whole in the tool tip.
  for (int id : {1000, 1014}) {
    auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id));
    if (!edit) continue;
    connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
      edit->setToolTip(text);
      if (!edit->hasFocus()) edit->setCursorPosition(0);
    });
  }

  m_pointBar = new CSplitPointBar(this);
  dlg::SetControlId(m_pointBar, kPointBarId);
  win::MoveWindow(m_pointBar, 27, 373, 307, 7);
  m_pointBar->show();

  win::SetDlgItemText(this, 1014, zantrel::DefaultOutputFolder());

  m_menuBar = new CMenuWnd(this, res::LoadMainMenu(), ProgramDir(), &m_nSkin);
  dlg::SetControlId(m_menuBar, kMenuBarId);
  win::MoveWindow(m_menuBar, 13, 0, 300, 20);
  m_menuBar->show();

  // The tools' progress reports arrive here.
  m_copyData = new CCopyDataReceiver(
      [this](const std::uint8_t* data, std::size_t size) {
        OnCopyData(data, size, m_copyData->CurrentSender());
      },
      this);
  std::string err;
  m_copyData->Listen(&err);  // without it, the jobs still run, only silently

  if (QWidget* preview = m_flash.GetWidget()) m_noPreview = new CNoPreviewCard(preview);

  // The preview has no controls of its own: a click plays or pauses it.
  if (QWidget* preview = m_flash.GetWidget()) preview->installEventFilter(this);
  // Keyboard, drops, accessible names and tool tips.
  InstallDesktopInput(this);
  ApplyDesktopTexts();
  LoadOptions();

  GetDlgItem(1000)->setFocus();
  return true;
}

std::string CSplitterDlg::VideosFolder() const { return zantrel::UserVideosFolder(); }

void CSplitterDlg::UpdateData(bool saveAndValidate) {
  if (!saveAndValidate) DoDataExchange();
}

void CSplitterDlg::DoDataExchange() { win::SetWindowText(m_posLabel, m_strPosText); }

void CSplitterDlg::SetStatus(LiveWords say) {
  m_statusWords = std::move(say);
  win::SetWindowText(m_status, m_statusWords ? m_statusWords() : words::Ready());
  m_status->update();
}

void CSplitterDlg::SetBarWords(LiveWords say) {
  m_barWords = std::move(say);
  m_progress->setFormat(QString::fromStdString(zantrel::ToUtf8(m_barWords ? m_barWords() : std::string())));
}

void CSplitterDlg::ShowNoPreviewCard(bool shown) {
  if (m_noPreview) m_noPreview->setVisible(shown);
}

void CSplitterDlg::ShowLiveLabels() {
  SetStatus(m_statusWords);
  if (m_barWords) SetBarWords(m_barWords);
  UpdateData(false);
  win::SetDlgItemText(this, 1003, zantrel::FormatTime(m_model.Source().durationSeconds));
  if (m_noPreview) m_noPreview->Retranslate();
}

void CSplitterDlg::ShowMessageBox(const std::string& text, const std::string& caption) {
  win::MessageBox(this, text, caption);
}

bool CSplitterDlg::AskYesNo(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(zantrel::ToUtf8(caption)),
                  QString::fromStdString(zantrel::ToUtf8(text)), QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  // Kept while open, so that news that settles the question can close it.
  m_openQuestion = &box;
  const int answer = box.exec();
  m_openQuestion = nullptr;
  return answer == QMessageBox::Yes;
}

void CSplitterDlg::ShowFailureReport(const std::string& summary,
                                     const std::vector<std::string>& lines) {
  CFailureReportDlg report(words::MessageCaption(), summary, lines, this);
  report.exec();
}

std::optional<std::string> CSplitterDlg::PromptSourceFile(const std::string& startDir) {
  return win::BrowseForFile(this, words::SourceFilter(), startDir);
}

std::string CSplitterDlg::PromptOutputFolder(const std::string& startDir) {
  return win::BrowseForFolder(this, startDir);
}

void CSplitterDlg::RunSplitDoneDialog(const std::string& result) {
  CSplitDoneDlg done(m_model.Source().name, m_model.JobOutputFolder(), nullptr);
  done.SetResult(result);
  // The new instance reads skin.ini and options.ini as it starts: it must find this run's
  // choice there, not wait for this dialog's destruction.
  done.SetBeforeRestart([this] {
    SaveSkinChoice();
    SaveOptions();
  });
  done.DoModal();
}

void CSplitterDlg::RunAboutDialog() {
  CAboutDlg about(nullptr);
  about.DoModal();
}

bool CSplitterDlg::OpenWithDesktop(const std::string& pathOrUrl) {
  return win::OpenWithDesktop(pathOrUrl);
}

bool CSplitterDlg::PaintChildBackground(QPainter& painter, QWidget* child) {
  CDialogBase::PaintChildBackground(painter, child);
  if (child == m_pointBar && m_slider) {
    const QRect under = QRect(child->pos() - m_slider->pos(), child->size());
    painter.drawPixmap(0, 0, m_slider->grab(under));
  }
  return true;
}

void CSplitterDlg::OnMeasureItem(int ctlId, MEASUREITEMSTRUCT& m) {
  if (ctlId == 0) MeasureMenuItem(&m);
}

void CSplitterDlg::OnDrawItem(int ctlId, DRAWITEMSTRUCT& d) {
  if (ctlId == 0) DrawMenuItem(&d);
}

std::string CSplitterDlg::ToolDir() const { return zantrel::GetModuleDir(); }
std::string CSplitterDlg::ProgramDir() const { return zantrel::GetModuleDir(); }

void CSplitterDlg::OnHomePage() {
  const std::string page = zantrel::GetModuleDir() + "home.html";
  if (!OpenWithDesktop(page))
    ShowMessageBox(words::NoBrowser(page), words::MessageCaption());
}

bool CSplitterDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_flash.GetWidget() && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    // Only the source itself; the placeholder card has nothing to pause.
    if (m_bPreviewLive == 1) m_flash.TogglePause();
    return true;
  }
  return CDialogBase::eventFilter(watched, event);
}

void CSplitterDlg::OnAbout() { RunAboutDialog(); }

void CSplitterDlg::OnLanguage(int id) {
  // Only items built from the list send these; a command without an entry
  // (none in the list, or the bar not there) chooses nothing.
  if (!g_pMenuWnd || !g_pMenuWnd->HasLanguage(id)) return;
  SetLanguage(ProgramDir(), g_pMenuWnd->GetLanguageName(id));
  if (m_languageFollower) m_languageFollower(GetCurrentLanguage());
  // The labels showing the duration, the slider position and the job's
  // state hold live values, which a translation would overwrite: they say
  // their state again in the new language instead.
  TranslateDialog(this, res::IDD_SPLITTER_DIALOG, {1003, 1006, 1022});
  ShowLiveLabels();
  ApplyDesktopTexts();  // names and tool tips in the new language
  g_pMenuWnd->RefreshMenuTexts();
}

// The first language of the list, whatever is current.
void CSplitterDlg::OnAutoSelectLanguage() { OnLanguage(2000); }
