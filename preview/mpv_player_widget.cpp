#include "preview/mpv_player_widget.h"

#include "preview/file_origin.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// The invoke name of a request: the text of name="..." in its <invoke> tag.
std::string InvokeName(const std::string& xml) {
  const std::string key = "<invoke name=\"";
  const auto start = xml.find(key);
  if (start == std::string::npos) return {};
  const auto from = start + key.size();
  const auto end = xml.find('"', from);
  if (end == std::string::npos) return {};
  return xml.substr(from, end - from);
}

// A path is inserted into the request unescaped, so it may itself contain
// "</string>" or '<': take everything up to the LAST closing tag.
bool StringArgument(const std::string& xml, std::string* out) {
  const std::string open = "<string>", close = "</string>";
  const auto start = xml.find(open);
  const auto end = xml.rfind(close);
  if (start == std::string::npos || end == std::string::npos || end < start + open.size())
    return false;
  *out = xml.substr(start + open.size(), end - start - open.size());
  return true;
}

bool NumberArgument(const std::string& xml, double* out) {
  const std::string open = "<number>", close = "</number>";
  const auto start = xml.find(open);
  if (start == std::string::npos) return false;
  const auto from = start + open.size();
  const auto end = xml.find(close, from);
  if (end == std::string::npos) return false;
  const char* first = xml.data() + from;
  const char* last = xml.data() + end;
  while (first < last && (*first == ' ' || *first == '\t')) ++first;
  if (first < last && *first == '+') ++first;  // from_chars takes no '+'
  double value = 0;
  const auto res = std::from_chars(first, last, value);
  if (res.ec != std::errc() || res.ptr == first) return false;
  *out = value;
  return true;
}

std::string FormatSeconds(double seconds) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::fixed, 3);
  return std::string(buf, res.ptr);
}

void FreeAligned(void* p) { std::free(p); }

const char* const kVoid = "<undefined/>";

// reply_userdata of program moves; loads use small sequence numbers.
constexpr std::uint64_t kMoveTag = std::uint64_t(1) << 62;

}  // namespace

void MpvPlayerWidget::MpvDeleter::operator()(mpv_handle* h) const { mpv_terminate_destroy(h); }
void MpvPlayerWidget::RenderDeleter::operator()(mpv_render_context* r) const {
  mpv_render_context_free(r);
}

MpvPlayerWidget::MpvPlayerWidget(QWidget* parent, bool deferStart) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (!deferStart) EnsureMpv();
}

void MpvPlayerWidget::EnsureMpv() {
  if (m_mpvStarted) return;
  m_mpvStarted = true;
  InitMpv();
}

MpvPlayerWidget::~MpvPlayerWidget() { ShutDownMpv(); }

void MpvPlayerWidget::InitMpv() {
  // libmpv refuses to start unless numbers are formatted the C way, and
  // QApplication may have set the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  std::unique_ptr<mpv_handle, MpvDeleter> mpv(mpv_create());
  if (!mpv) return;
  mpv_handle* h = mpv.get();
  mpv_set_option_string(h, "vo", "libmpv");
  // Stay on the last frame at the end, so the slider can still seek.
  mpv_set_option_string(h, "keep-open", "always");
  mpv_set_option_string(h, "hr-seek", "yes");
  mpv_set_option_string(h, "ytdl", "no");
  mpv_set_option_string(h, "idle", "yes");
  mpv_set_option_string(h, "input-default-bindings", "no");
  mpv_set_option_string(h, "osc", "no");
  mpv_set_option_string(h, "terminal", "no");
  // Decoding for a preview: let the decoder use both cores, and drop frames
  // while an exact seek decodes its way to the target.
  mpv_set_option_string(h, "vd-lavc-threads", "2");
  mpv_set_option_string(h, "hr-seek-framedrop", "yes");
  if (const char* ao = std::getenv("ZANTREL_AO"); ao && *ao) mpv_set_option_string(h, "ao", ao);
  // Measurements only (bench/seek-latency.sh): "name=value,name=value" tried
  // over the options above.
  if (const char* extra = std::getenv("ZANTREL_MPV_OPTIONS"); extra && *extra) {
    std::string list = extra;
    for (std::size_t at = 0; at <= list.size();) {
      const std::size_t end = std::min(list.find(',', at), list.size());
      const std::string item = list.substr(at, end - at);
      const std::size_t eq = item.find('=');
      if (eq != std::string::npos)
        mpv_set_option_string(h, item.substr(0, eq).c_str(), item.substr(eq + 1).c_str());
      at = end + 1;
    }
  }
  if (mpv_initialize(h) < 0) return;

  mpv_observe_property(h, 0, "duration", MPV_FORMAT_DOUBLE);
  mpv_observe_property(h, 0, "dwidth", MPV_FORMAT_INT64);
  mpv_observe_property(h, 0, "dheight", MPV_FORMAT_INT64);
  mpv_observe_property(h, 0, "time-pos", MPV_FORMAT_DOUBLE);
  mpv_observe_property(h, 0, "eof-reached", MPV_FORMAT_FLAG);

  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  mpv_render_context* rc = nullptr;
  if (mpv_render_context_create(&rc, h, params) < 0) return;
  std::unique_ptr<mpv_render_context, RenderDeleter> render(rc);

  // Both callbacks come from libmpv's threads: only post to the GUI thread,
  // once until that call has run.
  mpv_set_wakeup_callback(
      h,
      [](void* ctx) {
        auto* self = static_cast<MpvPlayerWidget*>(ctx);
        if (!self->m_eventsQueued.exchange(true))
          QMetaObject::invokeMethod(self, [self] { self->ProcessEvents(); }, Qt::QueuedConnection);
      },
      this);
  mpv_render_context_set_update_callback(
      rc,
      [](void* ctx) {
        auto* self = static_cast<MpvPlayerWidget*>(ctx);
        if (!self->m_renderQueued.exchange(true))
          QMetaObject::invokeMethod(
              self, [self] { self->RenderFrame(false); }, Qt::QueuedConnection);
      },
      this);
  m_mpv = std::move(mpv);
  m_render = std::move(render);
}

void MpvPlayerWidget::ShutDownMpv() {
  // Callbacks first, so no libmpv thread touches us while we go; queued
  // calls already posted die with this QObject.
  if (m_render) mpv_render_context_set_update_callback(m_render.get(), nullptr, nullptr);
  if (m_mpv) mpv_set_wakeup_callback(m_mpv.get(), nullptr, nullptr);
  m_render.reset();
  m_mpv.reset();
}

std::string MpvPlayerWidget::CallFunction(const std::string& xml) {
  EnsureMpv();
  const std::string name = InvokeName(xml);
  if (name == "loadAndPlayVideo") {
    std::string path;
    if (!StringArgument(xml, &path)) return {};
    LoadAndPlay(path);
    return kVoid;
  }
  if (name == "pauseVideo") {
    Pause();
    return kVoid;
  }
  if (name == "setToPar") {
    double p = 0;
    if (!NumberArgument(xml, &p)) return {};
    SeekPercent(p);
    return kVoid;
  }
  if (name == "getTotalTime") return TotalTimeReply();
  return {};
}

void MpvPlayerWidget::LoadAndPlay(const std::string& path) {
  ++m_loadSeq;
  m_entryId = -1;
  m_loadReplied = false;
  m_entryStarted = false;
  m_duration = -1;
  m_pendingSeek = -1;
  m_pendingSeekUs = -1;
  ForgetMoves();
  m_originKnown = false;
  m_mpvStartKnown = false;
  ClearPicture();
  if (!m_mpv || path.empty()) {
    m_loadState = LoadState::Failed;
    return;
  }
  m_loadState = LoadState::Loading;
  // Reading the streams takes a while on a large file: not on the GUI thread.
  m_origin = std::async(std::launch::async, zantrel::preview::ReadFileOrigin, path);
  int no = 0;
  mpv_set_property_async(m_mpv.get(), 0, "pause", MPV_FORMAT_FLAG, &no);
  const char* cmd[] = {"loadfile", path.c_str(), "replace", nullptr};
  if (mpv_command_async(m_mpv.get(), m_loadSeq, cmd) < 0) m_loadState = LoadState::Failed;
}

void MpvPlayerWidget::Pause() {
  if (!m_mpv) return;
  int yes = 1;
  mpv_set_property_async(m_mpv.get(), 0, "pause", MPV_FORMAT_FLAG, &yes);
}

void MpvPlayerWidget::TogglePlayPause() {
  if (!m_mpv || m_loadState == LoadState::None || m_loadState == LoadState::Failed) return;
  const char* cmd[] = {"cycle", "pause", nullptr};
  mpv_command_async(m_mpv.get(), 0, cmd);
}

bool MpvPlayerWidget::IsPaused() const {
  int paused = 1;
  if (m_mpv) mpv_get_property(m_mpv.get(), "pause", MPV_FORMAT_FLAG, &paused);
  return paused != 0;
}

double MpvPlayerWidget::PositionPercent() const {
  double percent = -1;
  if (!m_mpv || mpv_get_property(m_mpv.get(), "percent-pos", MPV_FORMAT_DOUBLE, &percent) < 0)
    return -1;
  return percent;
}

void MpvPlayerWidget::SeekPercent(double percent) {
  if (!m_mpv || m_loadState == LoadState::None || m_loadState == LoadState::Failed) return;
  if (!(percent >= 0)) percent = 0;  // also catches NaN
  if (percent > 100) percent = 100;
  if (m_loadState == LoadState::Loading) {
    // mpv drops a seek made before the file is open; the slider can move
    // that early, so its last position is applied once the file is loaded.
    m_pendingSeek = percent;
    m_pendingSeekUs = -1;
    return;
  }
  char target[32];
  const auto res = std::to_chars(target, target + sizeof target - 1, percent,
                                 std::chars_format::fixed, 3);
  *res.ptr = '\0';
  m_queuedSteps = 0;
  const char* cmd[] = {"seek", target, "absolute-percent+exact", nullptr};
  IssueMove(OpKind::Seek, cmd, true);
}

bool MpvPlayerWidget::CanMove() const { return m_mpv && m_loadState == LoadState::Loaded; }

void MpvPlayerWidget::SeekTo(std::int64_t us, SeekKind kind) {
  if (!m_mpv || m_loadState == LoadState::None || m_loadState == LoadState::Failed) return;
  us = std::max<std::int64_t>(us, 0);
  if (m_loadState == LoadState::Loading) {
    m_pendingSeekUs = us;
    m_pendingSeekKind = kind;
    m_pendingSeek = -1;
    return;
  }
  char target[32];
  const auto res =
      std::to_chars(target, target + sizeof target - 1, ToMpvSeconds(us), std::chars_format::fixed, 6);
  *res.ptr = '\0';
  m_queuedSteps = 0;  // a new place makes steps asked for from the old one moot
  const char* cmd[] = {"seek", target, kind == SeekKind::Exact ? "absolute+exact" : "absolute+keyframes",
                       nullptr};
  IssueMove(OpKind::Seek, cmd, true);
  m_op.targetUs = us;
}

void MpvPlayerWidget::StepFrame(int frames) {
  if (!CanMove() || frames == 0) return;
  m_queuedSteps += frames > 0 ? 1 : -1;
  // mpv ignores a back step while an exact seek runs, and a forward step
  // would count the seek's own frame: one move at a time.
  if (!m_op.pending) RunQueuedStep();
}

void MpvPlayerWidget::StepSeconds(int seconds) {
  if (!CanMove() || seconds == 0) return;
  const std::int64_t base =
      m_op.pending && m_op.targetUs != kNoTime ? m_op.targetUs : PositionUs();
  if (base == kNoTime) return;
  SeekTo(base + std::int64_t(seconds) * 1000000, SeekKind::Exact);
}

void MpvPlayerWidget::RunQueuedStep() {
  if (!CanMove() || m_queuedSteps == 0) {
    m_queuedSteps = 0;
    return;
  }
  if (m_queuedSteps > 0) {
    --m_queuedSteps;
    // On the last frame mpv shows no further one, so the step would never land.
    int eof = 0;
    mpv_get_property(m_mpv.get(), "eof-reached", MPV_FORMAT_FLAG, &eof);
    if (eof) {
      m_queuedSteps = 0;
      return;
    }
    double from = -1;
    mpv_get_property(m_mpv.get(), "time-pos", MPV_FORMAT_DOUBLE, &from);
    const char* cmd[] = {"frame-step", nullptr};
    IssueMove(OpKind::Step, cmd, true);
    m_op.from = from;
  } else {
    ++m_queuedSteps;
    // A back step decodes from the key frame to the frame before this one;
    // mpv advises against dropping frames on the way (it may miss its mark).
    const char* cmd[] = {"frame-back-step", nullptr};
    IssueMove(OpKind::Seek, cmd, false);
  }
}

void MpvPlayerWidget::IssueMove(OpKind kind, const char* const* cmd, bool dropFrames) {
  OriginUs();  // sets the file's demuxer offset before its first move
  if (dropFrames != m_dropFrames) {
    // Requests of one client run in order: this holds for the command below.
    int flag = dropFrames ? 1 : 0;
    mpv_set_property_async(m_mpv.get(), 0, "hr-seek-framedrop", MPV_FORMAT_FLAG, &flag);
    m_dropFrames = dropFrames;
  }
  const std::uint64_t seq = ++m_opSeq;
  m_op.pending = true;
  m_op.kind = kind;
  m_op.seq = seq;
  m_op.replied = false;
  m_op.seekSeen = false;
  m_op.targetUs = kNoTime;
  if (mpv_command_async(m_mpv.get(), kMoveTag | seq, const_cast<const char**>(cmd)) < 0) {
    Settle(false);
    return;
  }
  // A move that never lands (a file that cannot seek) must not silence the
  // playback position for good.
  QTimer::singleShot(kGiveUpMs, this, [this, seq] {
    if (m_op.pending && m_op.seq == seq) Settle(false);
  });
}

void MpvPlayerWidget::Settle(bool landed) {
  m_op.pending = false;
  m_playedSinceMove = false;
  if (!landed) {
    m_queuedSteps = 0;
    return;
  }
  // mpv has drawn the frame and finished the seek: it answers at once.
  double t = 0;
  if (m_mpv && m_mpvStartKnown && mpv_get_property(m_mpv.get(), "time-pos", MPV_FORMAT_DOUBLE, &t) >= 0) {
    m_landedAt = t;
    emit seekSettled(ToFileUs(t));
  }
  if (m_queuedSteps != 0 && !m_op.pending) RunQueuedStep();
}

void MpvPlayerWidget::ForgetMoves() {
  m_op = Op{};
  m_playedSinceMove = false;
  m_queuedSteps = 0;
  m_landedAt = -1;
}

std::int64_t MpvPlayerWidget::OriginUs() {
  if (!m_originKnown) {
    const zantrel::preview::FileOrigin origin =
        m_origin.valid() ? m_origin.get() : zantrel::preview::FileOrigin{};
    m_originUs = origin.startUs;
    m_originKnown = true;
    // Containers indexed by decode time (FLV, AVI, MKV, TS) seek to the key
    // frame whose decode time is before the target, though B-frames may show
    // it after the target: an exact seek would land there, a few frames
    // late. Asking their demuxer for a point 0.5 s earlier covers the
    // reordering delay of any common stream. MP4 finds key frames by
    // presentation time and needs none: there the offset only costs decoding
    // (a third more time per exact seek on a 10 s group of pictures).
    const double offset = origin.seeksByPts ? 0.0 : 0.5;
    if (m_mpv && offset != m_demuxerOffset) {
      // Requests of one client run in order: this holds for the next seek.
      double value = offset;
      mpv_set_property_async(m_mpv.get(), 0, "hr-seek-demuxer-offset", MPV_FORMAT_DOUBLE, &value);
      m_demuxerOffset = offset;
    }
  }
  return m_originUs;
}

std::int64_t MpvPlayerWidget::ToFileUs(double mpvSeconds) {
  const std::int64_t origin = OriginUs();
  // Floored: a time a hair early still names its own frame (the first at or
  // after it); one a hair late would name the next.
  return std::int64_t(std::floor((mpvSeconds + m_mpvStart) * 1e6)) - origin;
}

double MpvPlayerWidget::ToMpvSeconds(std::int64_t us) {
  const std::int64_t origin = OriginUs();
  return double(us + origin) / 1e6 - m_mpvStart;
}

std::int64_t MpvPlayerWidget::PositionUs() {
  // mpv's start arrives in reply to FILE_LOADED, within moments.
  for (int i = 0; i < 200 && CanMove() && !m_mpvStartKnown; ++i) WaitEvents(0.005);
  double t = 0;
  if (!CanMove() || !m_mpvStartKnown ||
      mpv_get_property(m_mpv.get(), "time-pos", MPV_FORMAT_DOUBLE, &t) < 0)
    return kNoTime;
  return ToFileUs(t);
}

std::int64_t MpvPlayerWidget::ShownFrameTimeUs(int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  const auto settled = [&] {
    while (m_mpv && (m_loadState == LoadState::Loading || MovePending())) {
      const double left = (timeoutMs - clock.elapsed()) / 1000.0;
      if (left <= 0) return false;
      WaitEvents(std::min(left, 0.005));
    }
    return true;
  };
  if (!settled()) return kNoTime;
  // Paused after playback, mpv's time and the picture drawn can be a frame
  // apart: it hands frames over to be drawn ahead of their time, and names
  // a frame as it shows it. An exact seek to that time makes them one frame
  // again, as after any program move.
  if (m_playedSinceMove && CanMove() && IsPaused()) {
    const std::int64_t at = PositionUs();
    if (at != kNoTime) {
      SeekTo(at, SeekKind::Exact);
      if (!settled()) return kNoTime;
    }
  }
  RenderFrame(false);
  return PositionUs();
}

void MpvPlayerWidget::WaitEvents(double seconds) {
  // mpv reports a seek done only once its frame has been drawn, and the Qt
  // loop that would draw it is not running: draw here.
  RenderFrame(false);
  mpv_event* ev = mpv_wait_event(m_mpv.get(), seconds);
  if (ev->event_id != MPV_EVENT_NONE) HandleEvent(*ev);
}

std::string MpvPlayerWidget::TotalTimeReply() {
  // Called 500 ms after a load the file is normally open; if not, wait for
  // it here rather than answer 0, but never longer than kDurationWaitMs.
  QElapsedTimer clock;
  clock.start();
  while (m_mpv && (m_loadState == LoadState::Loading || m_loadState == LoadState::Loaded)) {
    if (m_duration >= 0 || clock.elapsed() >= kDurationWaitMs) break;
    const double left = (kDurationWaitMs - clock.elapsed()) / 1000.0;
    mpv_event* ev = mpv_wait_event(m_mpv.get(), left < 0.05 ? 0.05 : (left > 0.1 ? 0.1 : left));
    if (ev->event_id != MPV_EVENT_NONE) HandleEvent(*ev);
  }
  if (m_duration < 0) return "<number></number>";
  return "<number>" + FormatSeconds(m_duration) + "</number>";
}

void MpvPlayerWidget::ProcessEvents() {
  m_eventsQueued = false;
  if (!m_mpv) return;
  for (;;) {
    mpv_event* ev = mpv_wait_event(m_mpv.get(), 0);
    if (ev->event_id == MPV_EVENT_NONE) break;
    HandleEvent(*ev);
  }
}

void MpvPlayerWidget::HandleEvent(const mpv_event& ev) {
  switch (ev.event_id) {
    case MPV_EVENT_COMMAND_REPLY:
      if (ev.reply_userdata & kMoveTag) {
        if (m_op.pending && (ev.reply_userdata & ~kMoveTag) == m_op.seq) {
          if (ev.error < 0) {
            Settle(false);
            break;
          }
          m_op.replied = true;
          // mpv may hand out a step's change of position before the reply.
          double t = -1;
          if (m_op.kind == OpKind::Step &&
              mpv_get_property(m_mpv.get(), "time-pos", MPV_FORMAT_DOUBLE, &t) >= 0 && t != m_op.from)
            Settle(true);
        }
        break;
      }
      // The reply to our latest loadfile names its playlist entry; a load that
      // mpv rejected outright never starts.
      if (ev.reply_userdata == m_loadSeq && m_loadState == LoadState::Loading && !m_loadReplied) {
        m_loadReplied = true;
        if (ev.error < 0) {
          m_loadState = LoadState::Failed;
          break;
        }
        const auto* node = static_cast<const mpv_event_command*>(ev.data);
        if (node && node->result.format == MPV_FORMAT_NODE_MAP) {
          const mpv_node_list* list = node->result.u.list;
          for (int i = 0; i < list->num; ++i)
            if (std::strcmp(list->keys[i], "playlist_entry_id") == 0 &&
                list->values[i].format == MPV_FORMAT_INT64)
              m_entryId = list->values[i].u.int64;
        }
      }
      break;
    case MPV_EVENT_START_FILE: {
      const auto* sf = static_cast<const mpv_event_start_file*>(ev.data);
      // A START_FILE before our reply belongs to an earlier load. Without an
      // entry id in the reply, the first start after it is ours.
      if (m_loadState == LoadState::Loading && m_loadReplied && !m_entryStarted &&
          (m_entryId < 0 || sf->playlist_entry_id == m_entryId)) {
        m_entryId = sf->playlist_entry_id;
        m_entryStarted = true;
        ClearPicture();
      }
      break;
    }
    case MPV_EVENT_FILE_LOADED:
      // Only meaningful once our entry has started: an earlier file's
      // FILE_LOADED comes before our START_FILE.
      if (m_loadState == LoadState::Loading && m_entryStarted) {
        m_loadState = LoadState::Loaded;
        mpv_get_property_async(m_mpv.get(), m_loadSeq, "duration", MPV_FORMAT_DOUBLE);
        // Not read synchronously: mpv's core may be waiting for us to draw
        // the file's first frame.
        mpv_get_property_async(m_mpv.get(), m_loadSeq, "demuxer-start-time", MPV_FORMAT_DOUBLE);
        if (m_pendingSeek >= 0) SeekPercent(m_pendingSeek);
        if (m_pendingSeekUs >= 0) SeekTo(m_pendingSeekUs, m_pendingSeekKind);
        m_pendingSeek = -1;
        m_pendingSeekUs = -1;
      }
      break;
    case MPV_EVENT_GET_PROPERTY_REPLY: {
      const auto* prop = static_cast<const mpv_event_property*>(ev.data);
      if (ev.reply_userdata != m_loadSeq || m_loadState != LoadState::Loaded) break;
      if (std::strcmp(prop->name, "demuxer-start-time") == 0) {
        // What mpv took off its times (0 for MP4, which it leaves as stored).
        m_mpvStart = ev.error >= 0 && prop->format == MPV_FORMAT_DOUBLE ? *static_cast<double*>(prop->data) : 0;
        m_mpvStartKnown = true;
      } else if (ev.error >= 0 && prop->format == MPV_FORMAT_DOUBLE &&
                 std::strcmp(prop->name, "duration") == 0) {
        m_duration = *static_cast<double*>(prop->data);
      }
      break;
    }
    case MPV_EVENT_END_FILE: {
      const auto* ef = static_cast<const mpv_event_end_file*>(ev.data);
      if (m_entryStarted && ef->playlist_entry_id == m_entryId &&
          ef->reason == MPV_END_FILE_REASON_ERROR) {
        m_loadState = LoadState::Failed;
        m_duration = -1;
        ForgetMoves();
        ClearPicture();
      }
      break;
    }
    // A seek lands with SEEK then PLAYBACK_RESTART once its frame is shown.
    // Only those after the reply to the latest move are its own.
    case MPV_EVENT_SEEK:
      if (m_op.pending && m_op.replied) m_op.seekSeen = true;
      break;
    case MPV_EVENT_PLAYBACK_RESTART:
      if (m_op.pending && m_op.replied && m_op.kind == OpKind::Seek && m_op.seekSeen) Settle(true);
      break;
    case MPV_EVENT_PROPERTY_CHANGE: {
      const auto* prop = static_cast<const mpv_event_property*>(ev.data);
      if (std::strcmp(prop->name, "duration") == 0) {
        if (m_loadState == LoadState::Loaded && prop->format == MPV_FORMAT_DOUBLE)
          m_duration = *static_cast<double*>(prop->data);
      } else if (std::strcmp(prop->name, "dwidth") == 0) {
        m_videoW = prop->format == MPV_FORMAT_INT64 ? int(*static_cast<std::int64_t*>(prop->data)) : 0;
      } else if (std::strcmp(prop->name, "dheight") == 0) {
        m_videoH = prop->format == MPV_FORMAT_INT64 ? int(*static_cast<std::int64_t*>(prop->data)) : 0;
      } else if (std::strcmp(prop->name, "time-pos") == 0) {
        if (prop->format != MPV_FORMAT_DOUBLE || !CanMove()) break;
        const double t = *static_cast<double*>(prop->data);
        if (m_op.pending) {
          // A forward step has landed once the position leaves the frame it
          // started from (mpv has no event of its own for it).
          if (m_op.kind == OpKind::Step && m_op.replied && t != m_op.from) Settle(true);
        } else if (m_queuedSteps == 0 && t != m_landedAt && m_mpvStartKnown) {
          m_playedSinceMove = true;
          emit playbackPosition(ToFileUs(t));
        }
      } else if (std::strcmp(prop->name, "eof-reached") == 0) {
        // A forward step off the last frame shows none: it ends here.
        if (prop->format == MPV_FORMAT_FLAG && *static_cast<int*>(prop->data) && m_op.pending &&
            m_op.replied && m_op.kind == OpKind::Step)
          Settle(true);
      }
      break;
    }
    default:
      break;
  }
}

QSize MpvPlayerWidget::TargetSize() const {
  // Render at the painted size so mpv does the one scaling pass; until the
  // video size is known, mpv letterboxes within the whole widget.
  QSize area = size() * devicePixelRatioF();
  if (area.isEmpty()) return {};
  if (m_videoW > 0 && m_videoH > 0) {
    QSize fit(m_videoW, m_videoH);
    fit.scale(area, Qt::KeepAspectRatio);
    if (!fit.isEmpty()) return fit;
  }
  return area;
}

void MpvPlayerWidget::RenderFrame(bool force) {
  m_renderQueued = false;
  if (!m_render) return;
  const bool frameReady = mpv_render_context_update(m_render.get()) & MPV_RENDER_UPDATE_FRAME;
  if (!frameReady && !(force && !m_frame.isNull())) return;
  // A new file clears the picture; its first frame brings it back. A frame
  // of a file that failed is never shown.
  if (m_loadState == LoadState::Failed || m_loadState == LoadState::None) return;
  const QSize target = TargetSize();
  if (target.isEmpty()) return;

  const std::size_t stride = (std::size_t(target.width()) * 4 + 63) & ~std::size_t(63);
  const std::size_t bytes = stride * std::size_t(target.height());
  auto* pixels = static_cast<unsigned char*>(std::aligned_alloc(64, bytes));
  if (!pixels) return;
  int sz[2] = {target.width(), target.height()};
  std::size_t strideArg = stride;
  int noBlock = 0;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_SW_SIZE, sz},
      {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
      {MPV_RENDER_PARAM_SW_STRIDE, &strideArg},
      {MPV_RENDER_PARAM_SW_POINTER, pixels},
      {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &noBlock},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  if (mpv_render_context_render(m_render.get(), params) < 0) {
    std::free(pixels);
    return;
  }
  // "bgr0" is Qt's RGB32 in memory except the pad byte, which mpv leaves as
  // garbage and Qt wants opaque.
  for (int y = 0; y < target.height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(pixels + stride * std::size_t(y));
    for (int x = 0; x < target.width(); ++x) row[x] |= 0xff000000u;
  }
  m_frame = QImage(pixels, target.width(), target.height(), int(stride), QImage::Format_RGB32,
                   FreeAligned, pixels);
  m_frame.setDevicePixelRatio(devicePixelRatioF());
  emit frameRendered();
  update();
}

void MpvPlayerWidget::ClearPicture() {
  if (m_frame.isNull()) return;
  m_frame = QImage();
  update();
}

void MpvPlayerWidget::SetBackgroundColor(const QColor& colour) {
  m_background = colour;
  update();
}

void MpvPlayerWidget::paintEvent(QPaintEvent*) {
  // A deferred start: the window is up now, so libmpv (loaded and started
  // here) no longer holds back its first frame.
  if (!m_mpvStarted) QTimer::singleShot(0, this, [this] { EnsureMpv(); });
  QPainter p(this);
  p.fillRect(rect(), m_background);
  if (m_frame.isNull()) return;
  QSizeF shown = m_frame.deviceIndependentSize();
  shown.scale(QSizeF(size()), Qt::KeepAspectRatio);
  const QRectF dst((width() - shown.width()) / 2.0, (height() - shown.height()) / 2.0,
                   shown.width(), shown.height());
  p.drawImage(dst, m_frame);
  emit framePainted();
}

void MpvPlayerWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RenderFrame(true);  // the last frame again, at the new size
}
