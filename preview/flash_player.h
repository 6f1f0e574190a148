#pragma once
// The preview player: CShockwaveFlash hosts our embedded libmpv player widget
// and offers the five members the dialog uses; CFlashPlayer builds the XML
// requests the dialog sends through CallFunction. GUI thread only.
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <string>

class QWidget;
class MpvPlayerWidget;

// Like an MFC CWnd: a handle object embedded in the dialog; its widget is
// created by Create() with the dialog as Qt parent (which owns it). Before
// Create() (or if it failed) every member does nothing and CallFunction
// answers "".
class CShockwaveFlash {
 public:
  CShockwaveFlash() = default;
  bool Create(const char* windowName, const QRect& rect, QWidget* parent, int id);
  QWidget* GetWidget() const;

  void SetMovie(const std::string& path);
  void Play();
  void SetLoop(bool loop);
  void SetBackgroundColor(std::int32_t colour);
  // Plays a paused video, pauses a playing one (a click on the preview).
  void TogglePause();
  // True unless a video is playing.
  bool IsPaused() const;
  // Answers the four XML requests; returns the XML reply ("" if none).
  std::string CallFunction(const std::string& request);

 private:
  QPointer<MpvPlayerWidget> m_player;
};

class CFlashPlayer {
 public:
  explicit CFlashPlayer(CShockwaveFlash& flash) : m_flash(flash) {}
  virtual ~CFlashPlayer() = default;

  void LoadMovie(const std::string& path);
  void LoadAndPlayVideo(const std::string& path);
  void PauseVideo();
  void SetToPar(const std::string& number);
  std::string GetTotalTime();

  static std::string LoadAndPlayVideoRequest(const std::string& path);
  static std::string PauseVideoRequest();
  static std::string SetToParRequest(const std::string& number);
  static std::string GetTotalTimeRequest();

 private:
  CShockwaveFlash& m_flash;
};

// Text between the first '>' and the next '<' of a reply, at most 127 chars.
std::string ExtractReplyValue(const std::string& reply);
