#include "tool_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

extern char** environ;

namespace zantrel::tooltest {
namespace {

// Frame N shows N in binary: bit i is block i (left to right) of the top
// half, white for 1; the bottom half is grey. Big blocks survive any of the
// lossy codecs at these sizes.
std::string BarcodeFilter(const std::string& size, const std::string& rate = "25", int seconds = 6) {
  return "color=c=gray:s=" + size + ":r=" + rate + ":d=" + std::to_string(seconds) + ",format=yuv420p,"
         "geq=lum='if(lt(Y\\,H/2)\\,16+219*mod(floor(N/pow(2\\,floor(X*8/W)))\\,2)\\,128)':cb=128:cr=128";
}

struct Spawned {
  pid_t pid = -1;
  int outFd = -1;
};

Spawned Spawn(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::string>& extraEnv, bool searchPath) {
  std::vector<std::string> argvStore;
  argvStore.push_back(program);
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e) envStore.emplace_back(*e);
  envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  int rc = searchPath ? posix_spawnp(&pid, program.c_str(), &fa, nullptr, argv.data(), envp.data())
                      : posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return {};
  }
  return {pid, fds[0]};
}

void DrainInto(int fd, std::string* out, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, timeoutMs) > 0) {
    char buf[4096];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out->append(buf, static_cast<std::size_t>(n));
  }
}

ToolResult ResultFromStatus(int status, std::string output) {
  ToolResult r;
  r.output = std::move(output);
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  return r;
}

struct ClipSpec {
  std::string ext;
  std::string size;
  std::vector<std::string> codecArgs;
};

const std::map<std::string, ClipSpec>& ClipSpecs() {
  static const std::map<std::string, ClipSpec> specs = {
      {"flv_h264", {"flv", "320x240", {"-c:v", "libx264", "-g", "30", "-c:a", "aac", "-ar", "44100"}}},
      {"flv_flv1", {"flv", "320x240", {"-c:v", "flv", "-q:v", "3", "-g", "30", "-c:a", "libmp3lame", "-ar", "22050"}}},
      {"mp4_h264", {"mp4", "320x240", {"-c:v", "libx264", "-g", "30", "-c:a", "aac", "-ar", "44100"}}},
      {"3gp_h263", {"3gp", "176x144", {"-c:v", "h263", "-q:v", "3", "-g", "30", "-c:a", "aac", "-ar", "16000", "-ac", "1"}}},
      {"avi_mpeg4", {"avi", "320x240", {"-c:v", "mpeg4", "-q:v", "3", "-g", "30", "-c:a", "libmp3lame", "-ar", "44100",
                                      // else the CLI opens a one-frame gap at the start
                                      "-avoid_negative_ts", "disabled"}}},
      {"flv_nodur", {"flv", "320x240", {"-c:v", "libx264", "-g", "30", "-c:a", "aac", "-flvflags", "no_duration_filesize"}}},
  };
  return specs;
}

}  // namespace

TempDir::TempDir() {
  std::string tmpl = std::filesystem::temp_directory_path().string() + "/zantrel-tool-XXXXXX";
  if (mkdtemp(tmpl.data())) path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::List() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
  return names;
}

bool RunFfmpeg(const std::vector<std::string>& args) {
  std::string out;
  return RunFfmpeg(args, &out);
}

bool RunFfmpeg(const std::vector<std::string>& args, std::string* output) {
  std::vector<std::string> all = {"-nostdin", "-v", "error", "-y"};
  all.insert(all.end(), args.begin(), args.end());
  Spawned s = Spawn("ffmpeg", all, {}, true);
  if (s.pid < 0) return false;
  std::string& out = *output;
  out.clear();
  DrainInto(s.outFd, &out, -1);
  close(s.outFd);
  int status = 0;
  while (waitpid(s.pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const Clip& GetClip(const std::string& name) {
  static TempDir dir;
  static std::map<std::string, Clip> made;
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  auto it = made.find(name);
  if (it != made.end()) return it->second;
  const ClipSpec& spec = ClipSpecs().at(name);
  Clip clip{name, dir.File(name + "." + spec.ext), spec.ext};
  std::vector<std::string> args = {"-f", "lavfi", "-i", BarcodeFilter(spec.size), "-f", "lavfi", "-i",
                                   "aevalsrc=exprs='if(lt(mod(t\\,1)\\,0.1)\\,0.8*sin(2*PI*1000*t)\\,0)':s=44100:d=6"};
  args.insert(args.end(), spec.codecArgs.begin(), spec.codecArgs.end());
  args.push_back(clip.path);
  if (!RunFfmpeg(args)) clip.path.clear();
  return made.emplace(name, clip).first->second;
}

const Clip& GetRecipeClip(const ClipRecipe& recipe) {
  static TempDir dir;
  static std::map<std::string, Clip> made;
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  auto it = made.find(recipe.name);
  if (it != made.end()) return it->second;
  Clip clip{recipe.name, dir.File(recipe.name + "." + recipe.ext), recipe.ext};
  const bool audio = !recipe.audioArgs.empty();
  std::vector<std::string> args;
  if (audio) {
    // The sound runs the whole clip, the pictures from videoOffset on.
    args = {"-f", "lavfi", "-i",
            "aevalsrc=exprs='if(between(mod(t\\,1)\\,0.5\\,0.6)\\,0.8*sin(2*PI*1000*t)\\,0)':s=44100:d=" +
                std::to_string(recipe.seconds)};
  }
  char offset[32];
  std::snprintf(offset, sizeof offset, "%.3f", recipe.videoOffset);
  if (recipe.videoOffset > 0) args.insert(args.end(), {"-itsoffset", offset});
  args.insert(args.end(), {"-f", "lavfi", "-i",
                           BarcodeFilter(recipe.size, recipe.rate,
                                         recipe.seconds - static_cast<int>(std::ceil(recipe.videoOffset)))});
  args.insert(args.end(), {"-map", audio ? "1:v" : "0:v"});
  if (audio) args.insert(args.end(), {"-map", "0:a"});
  args.insert(args.end(), recipe.videoArgs.begin(), recipe.videoArgs.end());
  args.insert(args.end(), recipe.audioArgs.begin(), recipe.audioArgs.end());
  args.push_back(clip.path);
  if (!RunFfmpeg(args)) clip.path.clear();
  return made.emplace(recipe.name, clip).first->second;
}

bool MakeBarcodeClip(const std::string& path, const std::string& size, const std::string& rate,
                     const std::string& seconds, const std::vector<std::string>& codecArgs) {
  std::vector<std::string> args = {"-f", "lavfi", "-i", BarcodeFilter(size, rate, std::stoi(seconds)), "-f", "lavfi", "-i",
                                   "aevalsrc=exprs='if(lt(mod(t\\,1)\\,0.1)\\,0.8*sin(2*PI*1000*t)\\,0)':s=44100:d=" +
                                       seconds};
  args.insert(args.end(), codecArgs.begin(), codecArgs.end());
  args.push_back(path);
  return RunFfmpeg(args);
}

ToolProcess::ToolProcess(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  // ZANTREL_TOOL_UNDER_TEST runs another build of the tool (a sanitizer
  // build, say) through the same tests.
  const char* other = getenv("ZANTREL_TOOL_UNDER_TEST");
  Spawned s = Spawn(other && *other ? other : ZANTREL_BIN_DIR "/ZantrelCore", args, extraEnv, false);
  pid_ = s.pid;
  outFd_ = s.outFd;
}

ToolProcess::~ToolProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    Wait();
  }
  if (outFd_ >= 0) close(outFd_);
}

bool ToolProcess::Running() {
  if (pid_ <= 0 || reaped_) return false;
  if (outFd_ >= 0) DrainInto(outFd_, &output_, 0);
  pid_t r = waitpid(pid_, &status_, WNOHANG);
  if (r == pid_) reaped_ = true;
  return !reaped_;
}

ToolResult ToolProcess::Wait() {
  if (pid_ <= 0) return {};
  if (outFd_ >= 0) {
    DrainInto(outFd_, &output_, -1);  // until the child closes its end
    close(outFd_);
    outFd_ = -1;
  }
  if (!reaped_) {
    while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
  }
  return ResultFromStatus(status_, output_);
}

ToolResult RunTool(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  ToolProcess p(args, extraEnv);
  return p.Wait();
}

std::vector<std::string> CutArgs(const std::string& src, int start, int length, const std::string& out,
                                 bool overwrite) {
  const std::string ext = out.substr(out.rfind('.') + 1);
  const std::string s = std::to_string(start), t = std::to_string(length);
  std::vector<std::string> a;
  if (ext == "3gp") {
    a = {"-i", src, "-ss", s, "-t", t, "-y", "-ar", "8000", "-ac", "1", "-ab", "12.2k", out, "6", "100", "100"};
    if (!overwrite) a.erase(a.begin() + 6);
  } else if (ext == "flv") {
    a = {"-i", src, "-ar", "22050", "-ss", s, "-t", t, out, "6", "100", "100"};
    if (overwrite) a.insert(a.begin() + 2, "-y");
  } else {
    a = {"-i", src, "-ss", s, "-t", t, out, "6", "100", "100"};
    if (overwrite) a.insert(a.begin() + 2, "-y");
  }
  return a;
}

namespace {

int ReadBarcode(const AVFrame* f) {
  // Works on the luma plane of any planar YUV picture, of 8 bits or more.
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
  const int depth = desc ? desc->comp[0].depth : 8;
  int value = 0;
  for (int bit = 0; bit < 8; ++bit) {
    int x = (2 * bit + 1) * f->width / 16;
    int y = f->height / 4;
    int luma = depth > 8 ? reinterpret_cast<const std::uint16_t*>(f->data[0] + y * f->linesize[0])[x] >> (depth - 8)
                         : f->data[0][y * f->linesize[0] + x];
    if (luma >= 180) value |= 1 << bit;
    else if (luma > 80) return -1;  // neither black nor white: not a barcode
  }
  return value;
}

float SampleAt(const AVFrame* f, int i) {
  // The first channel only.
  const int channels = f->ch_layout.nb_channels;
  switch (f->format) {
    case AV_SAMPLE_FMT_FLTP: return reinterpret_cast<const float*>(f->extended_data[0])[i];
    case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(f->data[0])[i * channels];
    case AV_SAMPLE_FMT_S16P: return reinterpret_cast<const int16_t*>(f->extended_data[0])[i] / 32768.0f;
    case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t*>(f->data[0])[i * channels] / 32768.0f;
    case AV_SAMPLE_FMT_S32P: return reinterpret_cast<const int32_t*>(f->extended_data[0])[i] / 2147483648.0f;
    case AV_SAMPLE_FMT_S32: return reinterpret_cast<const int32_t*>(f->data[0])[i * channels] / 2147483648.0f;
    default: return 0;
  }
}

// A beep starts where the signal gets loud after at least 20 ms of quiet.
void TrackBeeps(const AVFrame* f, double t, int* quiet, std::vector<double>* onsets) {
  for (int i = 0; i < f->nb_samples; ++i) {
    float v = std::fabs(SampleAt(f, i));
    if (v > 0.25f) {
      if (*quiet >= f->sample_rate / 50) onsets->push_back(t + double(i) / f->sample_rate);
      *quiet = 0;
    } else if (v < 0.05f) {
      ++*quiet;
    }
  }
}

struct CodecCtxFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FormatClose {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};

}  // namespace

int BarcodeOf(const AVFrame* frame) { return ReadBarcode(frame); }

std::size_t FirstFrameAtOrAfter(const PieceFacts& source, double seconds) {
  std::size_t i = 0;
  while (i < source.frameTimes.size() && source.frameTimes[i] < seconds - 1e-6) ++i;
  return i;
}

double ThumbDistance(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 255;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / a.size();
}

PieceFacts ReadPiece(const std::string& path, bool withThumbs) {
  PieceFacts facts;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return facts;
  std::unique_ptr<AVFormatContext, FormatClose> fc(raw);
  if (avformat_find_stream_info(fc.get(), nullptr) < 0) return facts;
  facts.opened = true;
  facts.format = fc->iformat->name;
  int vi = av_find_best_stream(fc.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  int ai = av_find_best_stream(fc.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  std::unique_ptr<AVCodecContext, CodecCtxFree> vdec, adec;
  auto openDec = [&](int idx, std::unique_ptr<AVCodecContext, CodecCtxFree>* dec, StreamFacts* sf) {
    if (idx < 0) return;
    const AVCodecParameters* par = fc->streams[idx]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    dec->reset(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(dec->get(), par);
    (*dec)->pkt_timebase = fc->streams[idx]->time_base;
    if (avcodec_open2(dec->get(), codec, nullptr) < 0) return;
    sf->present = true;
    sf->codec = avcodec_get_name(par->codec_id);
    sf->sampleRate = par->sample_rate;
    sf->channels = par->ch_layout.nb_channels;
    sf->width = par->width;
    sf->height = par->height;
    sf->frameSize = par->frame_size;
  };
  openDec(vi, &vdec, &facts.video);
  openDec(ai, &adec, &facts.audio);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  double vFirst = 1e18, vEnd = -1e18, aFirst = 1e18, aEnd = -1e18;
  const double fileStart = fc->start_time == AV_NOPTS_VALUE ? 0 : fc->start_time / double(AV_TIME_BASE);
  facts.fileStartSeconds = fileStart;
  const bool countsFrames = std::string(fc->iformat->name) == "avi";
  double aviFps = 25;
  if (countsFrames && vi >= 0) {
    const AVRational r = fc->streams[vi]->r_frame_rate;
    if (r.num > 0 && r.den > 0) aviFps = av_q2d(r);
  }
  int quietSamples = 0;
  auto receive = [&](AVCodecContext* dec, bool video, AVRational tb) {
    while (avcodec_receive_frame(dec, frame) >= 0) {
      double t = frame->best_effort_timestamp == AV_NOPTS_VALUE ? 0 : frame->best_effort_timestamp * av_q2d(tb);
      if (video) {
        facts.frameTimes.push_back(countsFrames ? facts.frameIndices.size() / aviFps : t - fileStart);
        facts.frameIndices.push_back(ReadBarcode(frame));
        if (withThumbs) {
          constexpr int kW = 32, kH = 18;
          std::vector<std::uint8_t> thumb(kW * kH);
          SwsContext* sws = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                           kW, kH, AV_PIX_FMT_GRAY8, SWS_AREA, nullptr, nullptr, nullptr);
          if (sws) {
            std::uint8_t* dst[1] = {thumb.data()};
            int stride[1] = {kW};
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
            sws_freeContext(sws);
          }
          facts.thumbs.push_back(std::move(thumb));
        }
        double d = frame->pkt_duration > 0 ? frame->pkt_duration * av_q2d(tb) : 0.04;
        vFirst = std::min(vFirst, t);
        vEnd = std::max(vEnd, t + d);
      } else {
        // The MP3 decoder labels the first frame after a change of rate with
        // the old rate; its context, updated by then, holds the true one.
        if (!(dec->codec->capabilities & AV_CODEC_CAP_DELAY) && dec->sample_rate > 0)
          frame->sample_rate = dec->sample_rate;
        const std::pair<int, int> form{frame->sample_rate, frame->ch_layout.nb_channels};
        if (facts.audio.soundForms.empty() || facts.audio.soundForms.back() != form)
          facts.audio.soundForms.push_back(form);
        TrackBeeps(frame, t, &quietSamples, &facts.beepOnsets);
        facts.audio.decodedSeconds += double(frame->nb_samples) / frame->sample_rate;
        aFirst = std::min(aFirst, t);
        aEnd = std::max(aEnd, t + double(frame->nb_samples) / frame->sample_rate);
      }
      av_frame_unref(frame);
    }
  };
  while (av_read_frame(fc.get(), pkt) >= 0) {
    if (pkt->stream_index == vi && facts.video.present) {
      avcodec_send_packet(vdec.get(), pkt);
      receive(vdec.get(), true, fc->streams[vi]->time_base);
    } else if (pkt->stream_index == ai && facts.audio.present) {
      avcodec_send_packet(adec.get(), pkt);
      receive(adec.get(), false, fc->streams[ai]->time_base);
    }
    av_packet_unref(pkt);
  }
  if (facts.video.present) {
    avcodec_send_packet(vdec.get(), nullptr);
    receive(vdec.get(), true, fc->streams[vi]->time_base);
  }
  if (facts.audio.present) {
    avcodec_send_packet(adec.get(), nullptr);
    receive(adec.get(), false, fc->streams[ai]->time_base);
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  if (vEnd > vFirst) {
    facts.video.startSeconds = vFirst;
    facts.video.durationSeconds = vEnd - vFirst;
  }
  if (aEnd > aFirst) {
    facts.audio.startSeconds = aFirst;
    facts.audio.durationSeconds = aEnd - aFirst;
  }
  return facts;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

}  // namespace zantrel::tooltest
