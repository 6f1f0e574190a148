#pragma once
// MpvPlayerWidget: the embedded preview player. libmpv decodes; its software
// render API draws each frame into a QImage that paintEvent shows scaled to
// fit (aspect ratio kept, centred, bars in the background colour).
//
// Threads: every member runs on the GUI thread. libmpv's own threads only
// post to the GUI thread through its wakeup and update callbacks; nothing
// here is called from them.
//
// Requests: CallFunction() answers the player's four XML requests
// (loadAndPlayVideo, pauseVideo, setToPar, getTotalTime). Commands to mpv
// are asynchronous, so a request returns at once, except getTotalTime while
// a file is still loading: it then waits, bounded, for the duration.
//
// Failure: if libmpv cannot be initialised the widget paints the background
// colour and every request answers as for a file that failed to load.
#include <QColor>
#include <QImage>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct mpv_handle;
struct mpv_render_context;
struct mpv_event;

class MpvPlayerWidget : public QWidget {
  Q_OBJECT
 public:
  // `deferStart`: libmpv is readied only once the widget has been painted
  // (its window is on screen), or at the first request if one comes sooner.
  explicit MpvPlayerWidget(QWidget* parent = nullptr, bool deferStart = false);
  ~MpvPlayerWidget() override;

  // Answers one XML request; returns the XML reply. Unknown requests and
  // requests with a missing argument answer "".
  std::string CallFunction(const std::string& xml);

  void SetBackgroundColor(const QColor& colour);
  QColor BackgroundColor() const { return m_background; }

  // What the host told us about the player movie. Our player needs no
  // movie, so these are only recorded.
  void SetMovie(const std::string& path) { m_movie = path; }
  const std::string& Movie() const { return m_movie; }
  void SetMoviePlaying(bool playing) { m_moviePlaying = playing; }
  bool MoviePlaying() const { return m_moviePlaying; }
  void SetLoop(bool loop) { m_loop = loop; }
  bool Loop() const { return m_loop; }

  // Play <-> pause of the file shown (the chosen source or the placeholder);
  // nothing while no file is loading or loaded. Keyboard and mouse use it.
  void TogglePlayPause();
  // mpv's own pause flag, read now (true without a player).
  bool IsPaused() const;
  // Where playback stands, in percent of the file (-1 while unknown).
  double PositionPercent() const;

  // The last frame rendered (null while nothing is shown), at the size it is
  // painted at.
  const QImage& CurrentFrame() const { return m_frame; }
  // True once libmpv and its render context are up.
  bool IsReady() const { return m_render != nullptr; }

  // Longest wait, in ms, of getTotalTime for a file still loading.
  static constexpr int kDurationWaitMs = 3000;

 signals:
  // A new frame has been rendered into CurrentFrame() (before it is painted).
  void frameRendered();
  // paintEvent has drawn CurrentFrame().
  void framePainted();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct MpvDeleter {
    void operator()(mpv_handle* h) const;
  };
  struct RenderDeleter {
    void operator()(mpv_render_context* r) const;
  };
  enum class LoadState { None, Loading, Loaded, Failed };

  void InitMpv();
  void EnsureMpv();  // InitMpv, once
  void ShutDownMpv();
  void ProcessEvents();
  void HandleEvent(const mpv_event& ev);
  void RenderFrame(bool force);
  QSize TargetSize() const;
  void ClearPicture();

  void LoadAndPlay(const std::string& path);
  void Pause();
  void SeekPercent(double percent);
  std::string TotalTimeReply();

  bool m_mpvStarted = false;
  std::unique_ptr<mpv_handle, MpvDeleter> m_mpv;
  std::unique_ptr<mpv_render_context, RenderDeleter> m_render;
  // Coalesce the callbacks: one queued call at a time for each.
  std::atomic<bool> m_eventsQueued{false};
  std::atomic<bool> m_renderQueued{false};

  // The file of the latest loadfile: its sequence number (reply_userdata),
  // its playlist entry once known, and how far it got.
  std::uint64_t m_loadSeq = 0;
  std::int64_t m_entryId = -1;
  bool m_loadReplied = false;
  bool m_entryStarted = false;
  LoadState m_loadState = LoadState::None;
  double m_duration = -1;  // < 0: unknown
  double m_pendingSeek = -1;  // percent asked for while loading; < 0: none
  int m_videoW = 0, m_videoH = 0;

  // Owns its own 64-byte aligned pixels, so copies handed out stay valid.
  QImage m_frame;
  QColor m_background{Qt::black};
  std::string m_movie;
  bool m_moviePlaying = false;
  bool m_loop = false;
};
