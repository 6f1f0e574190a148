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
// ZANTREL_AO names mpv's audio output (tests use "null"); ZANTREL_MPV_OPTIONS
// ("name=value,...") overrides mpv options, for measurements only.
//
// Failure: if libmpv cannot be initialised the widget paints the background
// colour and every request answers as for a file that failed to load.
//
// Exact positions: times are microseconds on the file's timeline (0 is the
// container's start time, as the cutting tool counts; see file_origin.h).
// Seeks and frame steps asked for here (and setToPar) are "program moves":
// each is pending from the call until mpv shows its frame, then
// seekSettled() reports that frame's time. playbackPosition() reports only
// what playback itself does, so a slider that follows it never seeks back.
// Frame steps are queued behind a pending move and run one at a time; a new
// seek replaces steps still queued. A new file forgets every move. Each load
// also reads the file's start with FFmpeg on a thread of its own (joined by
// the next load or the destructor); the first time asked for waits for it.
#include <QColor>
#include <QImage>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <string>

#include "preview/file_origin.h"

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

  // --- Exact positions (GUI thread; microseconds on the file's timeline) ---
  static constexpr std::int64_t kNoTime = -1;
  // Longest wait of ShownFrameTimeUs for a pending move, and how long a move
  // may stay pending before it is given up (then no seekSettled comes).
  static constexpr int kSettleWaitMs = 3000;
  static constexpr int kGiveUpMs = 5000;

  enum class SeekKind {
    KeyFrame,  // the key frame at or before the time: one decode, for dragging
    // The first frame at or after the time (mpv counts a frame up to 5 ms
    // before it as at it); decodes from the key frame before it.
    Exact,
  };
  // Seeks to `us` (clamped at 0). While the file is still loading the last
  // such seek is kept and made once it has loaded; with no file, or one that
  // failed, nothing happens.
  void SeekTo(std::int64_t us, SeekKind kind);
  // One frame forward (one decode, no seek) or back (an exact seek from the
  // key frame before the shown frame, decoding every frame on the way);
  // leaves the player paused. `frames` is +1 or -1; nothing at 0, nothing
  // forward on the last frame.
  void StepFrame(int frames);
  // An exact seek `seconds` from the shown frame (or from the target of a
  // pending seek), clamped to the start.
  void StepSeconds(int seconds);
  // True from a program move until its frame is shown (or it is given up).
  bool MovePending() const { return m_op.pending || m_queuedSteps != 0; }
  // The time of the frame on screen, floored to microseconds, once the file
  // has loaded and any pending move has settled: waits up to timeoutMs,
  // handling libmpv's events and rendering frames (seekSettled may be emitted
  // from inside) but running no Qt events. Paused after playback, it first
  // seeks exactly to the playing position, so that the picture and the time
  // agree. On return CurrentFrame() holds that frame. kNoTime when no file is loaded (or it failed), mpv knows no
  // position, or the wait ran out (the move then stays pending).
  std::int64_t ShownFrameTimeUs(int timeoutMs = kSettleWaitMs);
  // The position now, without waiting for a move (kNoTime as above;
  // mid-move, the target mpv is heading for).
  std::int64_t PositionUs();

 signals:
  // A new frame has been rendered into CurrentFrame() (before it is painted).
  void frameRendered();
  // paintEvent has drawn CurrentFrame().
  void framePainted();
  // While the file plays: the position of the frame being shown, at most
  // once per frame (mpv's time-pos); after a pause the last one names the
  // frame it stopped on. Never for a program move, nor while one is pending.
  void playbackPosition(std::int64_t us);
  // A program move has landed: the frame at `us` is shown (as
  // ShownFrameTimeUs would return it).
  void seekSettled(std::int64_t us);

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

  // Program moves: one mpv command each, tagged so its reply is known.
  enum class OpKind { Seek, Step };
  bool CanMove() const;
  void IssueMove(OpKind kind, const char* const* cmd, bool dropFrames);
  void RunQueuedStep();
  void Settle(bool landed);
  void WaitEvents(double seconds);
  void ForgetMoves();
  // mpv's time (seconds) <-> the file's timeline (microseconds).
  std::int64_t ToFileUs(double mpvSeconds);
  double ToMpvSeconds(std::int64_t us);
  std::int64_t OriginUs();

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
  // A SeekTo made while loading (m_pendingSeekUs < 0: none).
  std::int64_t m_pendingSeekUs = -1;
  SeekKind m_pendingSeekKind = SeekKind::Exact;
  // The origin of the file's timeline, read off the GUI thread at each load.
  std::future<zantrel::preview::FileOrigin> m_origin;
  std::int64_t m_originUs = 0;
  bool m_originKnown = false;
  double m_demuxerOffset = -1;  // hr-seek-demuxer-offset as last set; -1 none yet
  double m_mpvStart = 0;  // mpv's demuxer-start-time: what it subtracted
  bool m_mpvStartKnown = false;

  // The latest program move: pending from its command to the frame shown.
  // Its reply comes first; a seek then lands with SEEK and PLAYBACK_RESTART,
  // a forward step when the position leaves the frame it started from.
  struct Op {
    bool pending = false;
    OpKind kind = OpKind::Seek;
    std::uint64_t seq = 0;      // of the latest command
    bool replied = false;       // the latest command has been run by mpv
    bool seekSeen = false;      // a SEEK came after that reply
    std::int64_t targetUs = kNoTime;  // an absolute seek's target, for StepSeconds
    double from = -1;                 // a forward step: mpv's time-pos before it
  } m_op;
  std::uint64_t m_opSeq = 0;
  int m_queuedSteps = 0;  // frame steps waiting for the pending move, signed
  bool m_dropFrames = true;  // hr-seek-framedrop as last set
  // mpv's time-pos where the last program move landed: its late change
  // notice is not playback.
  double m_landedAt = -1;
  // Playback has moved the picture since the last program move settled.
  bool m_playedSinceMove = false;
  int m_videoW = 0, m_videoH = 0;

  // Owns its own 64-byte aligned pixels, so copies handed out stay valid.
  QImage m_frame;
  QColor m_background{Qt::black};
  std::string m_movie;
  bool m_moviePlaying = false;
  bool m_loop = false;
};
