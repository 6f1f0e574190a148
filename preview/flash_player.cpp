#include "preview/flash_player.h"

#include "preview/mpv_player_widget.h"

#include <QString>
#include <QWidget>

bool CShockwaveFlash::Create(const char* windowName, const QRect& rect, QWidget* parent, int id) {
  // libmpv starts once the dialog is on screen: the window shows sooner.
  auto* player = new MpvPlayerWidget(parent, true);  // owned by parent
  player->setObjectName(QString::number(id));
  player->setAccessibleName(QString::fromUtf8(windowName ? windowName : ""));
  player->setGeometry(rect);
  player->show();
  m_player = player;
  return true;
}

QWidget* CShockwaveFlash::GetWidget() const { return m_player; }

// The player movie has no meaning for our player: its path, play and loop
// state are only recorded, and a movie file that is missing changes nothing.
void CShockwaveFlash::SetMovie(const std::string& path) {
  if (m_player) m_player->SetMovie(path);
}

void CShockwaveFlash::Play() {
  if (m_player) m_player->SetMoviePlaying(true);
}

void CShockwaveFlash::SetLoop(bool loop) {
  if (m_player) m_player->SetLoop(loop);
}

void CShockwaveFlash::SetBackgroundColor(std::int32_t colour) {
  // A COLORREF: 0x00BBGGRR.
  if (m_player)
    m_player->SetBackgroundColor(
        QColor(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff));
}

void CShockwaveFlash::TogglePause() {
  if (m_player) m_player->TogglePlayPause();
}

bool CShockwaveFlash::IsPaused() const { return m_player ? m_player->IsPaused() : true; }

std::string CShockwaveFlash::CallFunction(const std::string& request) {
  return m_player ? m_player->CallFunction(request) : std::string();
}

void CFlashPlayer::LoadMovie(const std::string& path) {
  m_flash.SetMovie(path);
  m_flash.Play();
  m_flash.SetLoop(true);
  m_flash.SetBackgroundColor(1);
}

void CFlashPlayer::LoadAndPlayVideo(const std::string& path) {
  m_flash.CallFunction(LoadAndPlayVideoRequest(path));
}

void CFlashPlayer::PauseVideo() { m_flash.CallFunction(PauseVideoRequest()); }

void CFlashPlayer::SetToPar(const std::string& number) {
  m_flash.CallFunction(SetToParRequest(number));
}

std::string CFlashPlayer::GetTotalTime() {
  return ExtractReplyValue(m_flash.CallFunction(GetTotalTimeRequest()));
}

// Arguments go in unescaped: the player takes the text as it is.
std::string CFlashPlayer::LoadAndPlayVideoRequest(const std::string& path) {
  return "<invoke name=\"loadAndPlayVideo\" returntype=\"xml\"><arguments><string>" + path +
         "</string></arguments></invoke>";
}

std::string CFlashPlayer::PauseVideoRequest() {
  return "<invoke name=\"pauseVideo\" returntype=\"xml\"></invoke>";
}

std::string CFlashPlayer::SetToParRequest(const std::string& number) {
  return "<invoke name=\"setToPar\" returntype=\"xml\"><arguments><number>" + number +
         "</number></arguments></invoke>";
}

std::string CFlashPlayer::GetTotalTimeRequest() {
  return "<invoke name=\"getTotalTime\" returntype=\"xml\"></invoke>";
}
