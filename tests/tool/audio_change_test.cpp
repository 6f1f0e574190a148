// Sources whose sound changes its sample rate and channels mid-stream (MP3
// from a mono segment into a stereo one at another rate), cut across the
// change in the program's three forms. Each piece must decode to one sound
// form, the one it declares, hold the source's sound of its window (no
// sample lost or doubled at the change), keep its beeps in place, and the
// pieces together must hold the source's sound once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <sstream>

#include "platform/tool_args.h"
#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

struct ChangeSource {
  const char* name;
  const char* ext;
  const char* video;  // libx264, mpeg4 or flv (Sorenson)
  const char* audio;  // libmp3lame, or adpcm_swf (FLV only)
  int rate1, channels1, rate2, channels2;
};

const ChangeSource kSources[] = {
    {"flv_up", "flv", "libx264", "libmp3lame", 22050, 1, 44100, 2},
    {"flv_down", "flv", "libx264", "libmp3lame", 44100, 1, 22050, 2},
    {"mp4_down", "mp4", "libx264", "libmp3lame", 44100, 1, 22050, 2},
    {"avi_up", "avi", "mpeg4", "libmp3lame", 22050, 1, 44100, 2},
    // ADPCM frames carry no header: only the FLV tags' flags tell the change.
    {"flv_adpcm", "flv", "flv", "adpcm_swf", 22050, 1, 44100, 2},
};

// The sampling rate and channel count an MPEG audio frame header states;
// false when `h` is no frame header.
bool Mp3HeaderFacts(const unsigned char* h, int* rate, int* channels) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  static const int kBase[4] = {11025, 0, 22050, 44100};  // by version bits: 2.5, -, 2, 1
  const int version = (h[1] >> 3) & 3, index = (h[2] >> 2) & 3;
  if (kBase[version] == 0 || index == 3) return false;
  static const double kFactor[3] = {1.0, 48000.0 / 44100, 32000.0 / 44100};  // by rate index
  *rate = static_cast<int>(std::lround(kBase[version] * kFactor[index]));
  *channels = ((h[3] >> 6) & 3) == 3 ? 1 : 2;
  return true;
}

// FFmpeg's FLV muxer writes the stream's first flags in every audio tag. A
// real FLV states each tag's own rate and channels: rewrite the flags byte
// of every MP3 tag from the frame it carries. False when the file does not
// walk as FLV tags.
bool GiveFlvTagsTheirOwnFlags(std::string* flv) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>((*flv)[i]); };
  if (flv->size() < 13 || flv->compare(0, 3, "FLV") != 0) return false;
  std::size_t pos = 13;
  int rewritten = 0;
  while (pos + 11 <= flv->size()) {
    const std::size_t size = (std::size_t(byte(pos + 1)) << 16) | (std::size_t(byte(pos + 2)) << 8) | byte(pos + 3);
    const std::size_t body = pos + 11;
    if (body + size > flv->size()) return false;
    int rate = 0, channels = 0;
    if (byte(pos) == 8 && size > 5 && (byte(body) >> 4) == 2 &&
        Mp3HeaderFacts(reinterpret_cast<const unsigned char*>(flv->data() + body + 1), &rate, &channels)) {
      const int code = rate >= 44100 ? 3 : rate >= 22050 ? 2 : 1;
      (*flv)[body] = static_cast<char>((byte(body) & 0xF2) | (code << 2) | (channels == 2 ? 1 : 0));
      ++rewritten;
    }
    pos = body + size + 4;
  }
  return rewritten > 0;
}

// Two FLV files as one: the second's tags follow the first's, `offsetMs`
// later. Script tags (whose stated duration would be the first's) are left
// out, so the duration is read from the last tags.
std::string SpliceFlv(const std::string& a, const std::string& b, std::uint32_t offsetMs) {
  std::string out = a.substr(0, 13);
  for (int part = 0; part < 2; ++part) {
    const std::string& f = part ? b : a;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(f[i]); };
    for (std::size_t pos = 13; pos + 11 <= f.size();) {
      const std::size_t size = (std::size_t(byte(pos + 1)) << 16) | (std::size_t(byte(pos + 2)) << 8) | byte(pos + 3);
      if (pos + 11 + size + 4 > f.size()) break;
      std::string tag = f.substr(pos, 11 + size + 4);
      if (byte(pos) != 18) {
        std::uint32_t ts = (std::uint32_t(byte(pos + 7)) << 24) | (std::uint32_t(byte(pos + 4)) << 16) |
                           (std::uint32_t(byte(pos + 5)) << 8) | byte(pos + 6);
        if (part) ts += offsetMs;
        tag[4] = static_cast<char>(ts >> 16);
        tag[5] = static_cast<char>(ts >> 8);
        tag[6] = static_cast<char>(ts);
        tag[7] = static_cast<char>(ts >> 24);
        out += tag;
      }
      pos += 11 + size + 4;
    }
  }
  return out;
}

std::string Beeps(int rate) {
  return "aevalsrc=exprs='if(lt(mod(t\\,1)\\,0.1)\\,0.8*sin(2*PI*1000*t)\\,0)':s=" + std::to_string(rate) + ":d=3";
}

// Makes the source once per test run: 6 s of barcoded video and sound whose
// second half (from about 3 s) has the other rate and channels. MP3
// segments are joined as bytes, so the change lies inside one stream; the
// ADPCM source is two FLV files spliced.
struct MadeSource {
  Clip clip;
  // ADPCM: the two halves as made, to read the sound from (FFmpeg's own
  // decoders ignore the change of flags and misread the second half).
  std::vector<std::string> halves;
  double secondHalfAt = 0;  // where the second half starts in the spliced file
};

const MadeSource& GetChangeSource(const ChangeSource& s) {
  static TempDir dir;
  static std::map<std::string, MadeSource> made;
  auto it = made.find(s.name);
  if (it != made.end()) return it->second;
  std::vector<std::string> halfPaths;
  std::uint32_t spliceMs = 0;
  Clip clip{s.name, dir.File(std::string(s.name) + "." + s.ext), s.ext};
  const std::string name = s.name;
  bool ok = true;
  if (std::string(s.audio) == "adpcm_swf") {
    // Two 3 s FLV files, one per kind of sound, spliced tag by tag.
    std::string halves[2];
    for (int half = 0; half < 2 && ok; ++half) {
      const std::string seg = dir.File(name + "-" + std::to_string(half) + ".flv");
      ok = MakeBarcodeClip(seg, "160x120", "25", "3",
                           {"-c:v", s.video, "-q:v", "3", "-c:a", s.audio, "-ar",
                            std::to_string(half ? s.rate2 : s.rate1), "-ac",
                            std::to_string(half ? s.channels2 : s.channels1)});
      halves[half] = ReadFileBytes(seg);
      halfPaths.push_back(seg);
    }
    // The second half starts where the first one's sound ends (its last
    // ADPCM block runs past 3 s), so no sound overlaps.
    if (ok) {
      const PieceFacts first = ReadPiece(halfPaths[0]);
      ok = first.audio.present;
      spliceMs = static_cast<std::uint32_t>(std::lround(1000 * (first.audio.startSeconds + first.audio.durationSeconds)));
      WriteFileBytes(clip.path, SpliceFlv(halves[0], halves[1], spliceMs));
    }
  } else {
    const std::string video = dir.File(name + "-video." + (std::string(s.video) == "libx264" ? "mp4" : "avi"));
    ok = MakeBarcodeClip(video, "160x120", "25", "6", {"-an", "-c:v", s.video, "-q:v", "3", "-g", "30"});
    std::string sound;
    for (int half = 0; half < 2 && ok; ++half) {
      const std::string seg = dir.File(name + "-" + std::to_string(half) + ".mp3");
      const int rate = half ? s.rate2 : s.rate1, channels = half ? s.channels2 : s.channels1;
      ok = RunFfmpeg({"-f", "lavfi", "-i", Beeps(rate), "-ac", std::to_string(channels), "-c:a", s.audio, "-b:a",
                      "96k", "-write_xing", "0", "-id3v2_version", "0", seg});
      sound += ReadFileBytes(seg);
    }
    const std::string joined = dir.File(name + "-sound.mp3");
    if (ok) WriteFileBytes(joined, sound);
    ok = ok && RunFfmpeg({"-i", video, "-i", joined, "-map", "0:v", "-map", "1:a", "-c", "copy", clip.path});
    if (ok && std::string(s.ext) == "flv") {
      std::string bytes = ReadFileBytes(clip.path);
      ok = GiveFlvTagsTheirOwnFlags(&bytes);
      WriteFileBytes(clip.path, bytes);
    }
  }
  if (!ok) clip.path.clear();
  return made.emplace(s.name, MadeSource{clip, halfPaths, spliceMs / 1000.0}).first->second;
}

double AudioFrameSeconds(const StreamFacts& a) {
  const int samples = a.frameSize > 0 ? a.frameSize : 1152;
  return a.sampleRate > 0 ? double(samples) / a.sampleRate : 0.1;
}

std::string Forms(const std::vector<std::pair<int, int>>& forms) {
  std::ostringstream out;
  for (const auto& [rate, channels] : forms) out << " " << rate << " Hz x" << channels;
  return out.str();
}

// The source's sound on its file's timeline.
struct SoundReference {
  std::vector<std::pair<int, int>> forms;
  double start = 0, end = 0;  // first sample, end of the last
  double seconds = 0;         // decoded samples over their rates
  double frame = 0;           // the longest coded frame
  std::vector<double> beeps;
};

void Add(const PieceFacts& f, double offset, SoundReference* ref) {
  ref->forms.insert(ref->forms.end(), f.audio.soundForms.begin(), f.audio.soundForms.end());
  const double start = f.audio.startSeconds - f.fileStartSeconds + offset;
  if (ref->seconds == 0) ref->start = start;
  ref->end = start + f.audio.durationSeconds;
  ref->seconds += f.audio.decodedSeconds;
  ref->frame = std::max(ref->frame, AudioFrameSeconds(f.audio));
  for (double b : f.beepOnsets) ref->beeps.push_back(b - f.fileStartSeconds + offset);
}

SoundReference ReadSound(const MadeSource& made) {
  SoundReference ref;
  if (made.halves.empty()) {
    Add(ReadPiece(made.clip.path), 0, &ref);
  } else {
    Add(ReadPiece(made.halves[0]), 0, &ref);
    Add(ReadPiece(made.halves[1]), made.secondHalfAt, &ref);
    // Each half starts with a beep, which the reader cannot tell from no
    // silence before it.
    ref.beeps.push_back(0);
    ref.beeps.push_back(made.secondHalfAt);
    std::sort(ref.beeps.begin(), ref.beeps.end());
  }
  return ref;
}

// The kinds of MP3 or ADPCM sound the FLV's audio tags state, in order.
std::vector<int> FlvAudioFlags(const std::string& flv) {
  std::vector<int> kinds;
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(flv[i]); };
  for (std::size_t pos = 13; pos + 12 <= flv.size();) {
    const std::size_t size = (std::size_t(byte(pos + 1)) << 16) | (std::size_t(byte(pos + 2)) << 8) | byte(pos + 3);
    if (byte(pos) == 8 && size > 0 && (kinds.empty() || kinds.back() != byte(pos + 11))) kinds.push_back(byte(pos + 11));
    pos += 11 + size + 4;
  }
  return kinds;
}

class AudioChangeEachForm : public ::testing::TestWithParam<std::tuple<int, std::string>> {};

TEST_P(AudioChangeEachForm, PiecesAcrossTheChangeHoldTheirWindowsSoundInOneForm) {
  const ChangeSource& s = kSources[std::get<0>(GetParam())];
  const std::string ext = std::get<1>(GetParam());
  const MadeSource& made = GetChangeSource(s);
  const Clip& clip = made.clip;
  ASSERT_FALSE(clip.path.empty()) << "ffmpeg could not make " << s.name;
  const SoundReference src = ReadSound(made);
  // The change really is in the file: in its decoded sound, and in an FLV
  // in its tags' flags too.
  const std::vector<std::pair<int, int>> both = {{s.rate1, s.channels1}, {s.rate2, s.channels2}};
  ASSERT_EQ(src.forms, both) << Forms(src.forms);
  if (std::string(s.ext) == "flv") {
    ASSERT_EQ(FlvAudioFlags(ReadFileBytes(clip.path)).size(), 2u);
  }
  const double srcStart = src.start, srcEnd = src.end;
  ASSERT_GT(srcEnd, 5.5);

  // [0, 2), [2, 4) across the change, and the rest as the program asks for
  // the last piece (one second more than the whole seconds).
  const int bounds[] = {0, 2, 4, 7};
  TempDir out;
  double sum = 0, tolerance = src.frame;
  for (int k = 0; k < 3; ++k) {
    const int from = bounds[k], to = bounds[k + 1];
    SCOPED_TRACE(std::string(s.name) + " -> ." + ext + " [" + std::to_string(from) + ", " + std::to_string(to) + ")");
    const std::string piece = out.File("piece" + std::to_string(k) + "." + ext);
    const ToolResult r = RunTool(CutArgs(clip.path, from, to - from, piece));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // No library complaint about the change: only the tool's own lines.
    std::istringstream lines(r.output);
    for (std::string l; std::getline(lines, l);) {
      if (!l.empty() && l.rfind(zantrel::tool_args::kResultTag, 0) != 0) {
        EXPECT_EQ(l.rfind("ZantrelCore: ", 0), 0u) << r.output;
      }
    }

    const PieceFacts p = ReadPiece(piece);
    ASSERT_TRUE(p.opened);
    ASSERT_TRUE(p.audio.present);
    // One sound form throughout, the one the piece declares: a player
    // reading the header plays every sample at its rate.
    const std::vector<std::pair<int, int>> declared = {{p.audio.sampleRate, p.audio.channels}};
    EXPECT_EQ(p.audio.soundForms, declared) << Forms(p.audio.soundForms) << "\n" << r.output;
    // The piece holds the source's sound of its window, within one audio frame.
    const double wanted = std::min<double>(to, srcEnd) - std::max<double>(from, srcStart);
    const double frame = AudioFrameSeconds(p.audio);
    EXPECT_NEAR(p.audio.decodedSeconds, wanted, frame + 0.002) << r.output;
    sum += p.audio.decodedSeconds;
    tolerance += frame;

    // Every beep of the window sounds in the piece where it sounds in the
    // source, and every beep heard is one of the source's, in its place.
    // (One cut at the piece's edges may be missed or heard late.)
    std::vector<double> heard;
    for (double b : p.beepOnsets) heard.push_back(b - p.fileStartSeconds + from);
    auto nearest = [](const std::vector<double>& in, double t) {
      double best = std::numeric_limits<double>::infinity();
      for (double x : in) best = std::min(best, std::fabs(x - t));
      return best;
    };
    int inside = 0;
    for (double t : src.beeps) {
      if (t < from + 0.06 || t >= to - 0.12) continue;
      ++inside;
      EXPECT_LT(nearest(heard, t), 0.045) << "the source's beep at " << t << " s; heard " << ::testing::PrintToString(heard);
    }
    EXPECT_GE(inside, 1);
    // At the very start a beep's tail may follow the encoder's priming
    // (which takes the place of the source's first samples in FLV and AVI).
    for (double t : heard) {
      if (t >= from + 0.06) {
        EXPECT_LT(nearest(src.beeps, t), 0.045) << "a beep at " << t << " s";
      }
    }
  }
  // Together the pieces hold the source's sound once.
  EXPECT_NEAR(sum, src.seconds, tolerance);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<int, std::string>>& info) {
  return std::string(kSources[std::get<0>(info.param)].name) + "_to_" + std::get<1>(info.param);
}

// The 3gp and flv forms, and the general one into a container that keeps
// the source's MP3 (so a smart cut would copy it).
INSTANTIATE_TEST_SUITE_P(Sources, AudioChangeEachForm,
                         ::testing::Values(std::make_tuple(0, std::string("3gp")), std::make_tuple(0, std::string("flv")),
                                           std::make_tuple(0, std::string("mp4")), std::make_tuple(1, std::string("3gp")),
                                           std::make_tuple(1, std::string("flv")), std::make_tuple(1, std::string("mp4")),
                                           std::make_tuple(2, std::string("3gp")), std::make_tuple(2, std::string("flv")),
                                           std::make_tuple(2, std::string("mp4")), std::make_tuple(3, std::string("3gp")),
                                           std::make_tuple(3, std::string("flv")), std::make_tuple(3, std::string("avi")),
                                           std::make_tuple(4, std::string("3gp")), std::make_tuple(4, std::string("flv")),
                                           std::make_tuple(4, std::string("avi"))),
                         CaseName);

}  // namespace
}  // namespace zantrel::tooltest
