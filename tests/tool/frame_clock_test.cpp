// AVI times pictures by their display index, and its packets are in decode
// order. After a seek to a key frame of a stream with B-frames, the B-frames
// stored right after it are shown before it; whether the decoder drops them
// (it cannot decode them from the key frame) or shows them, every picture
// keeps its index. Checked on the tool's clock with real AVI packets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool/frame_clock.h"
#include "tool/leading_pictures.h"
#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

using tool::InputFormatPtr;
using tool::LeadingPictures;
using tool::PacketPtr;
using tool::VideoClock;

// The video packets of a file in the order stored.
struct Stored {
  InputFormatPtr fc;
  AVStream* video = nullptr;
  std::vector<PacketPtr> packets;
  // The index of the n-th key frame (0 = the first) in `packets`, or -1.
  int Key(int n) const {
    for (std::size_t i = 0; i < packets.size(); ++i)
      if ((packets[i]->flags & AV_PKT_FLAG_KEY) && n-- == 0) return static_cast<int>(i);
    return -1;
  }
};

Stored ReadStored(const std::string& path) {
  Stored s;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return s;
  s.fc.reset(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) return s;
  const int v = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (v < 0) return s;
  s.video = raw->streams[v];
  for (;;) {
    PacketPtr pkt = tool::MakePacket();
    if (av_read_frame(raw, pkt.get()) < 0) break;
    if (pkt->stream_index == v) s.packets.push_back(std::move(pkt));
  }
  return s;
}

struct LeadingCase {
  const char* name;
  std::vector<std::string> codecArgs;
  bool someLead;  // some key frame of the clip has B-frames stored behind it
};

// Each clip is made as MP4, whose timestamps say which pictures after a key
// frame are shown before it, and copied packet for packet into AVI, which
// does not say; the count from the AVI's packets must match.
TEST(LeadingPictures, CountsTheBFramesShownBeforeEachKeyFrame) {
  const std::vector<std::string> x264 = {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "25"};
  auto with = [](std::vector<std::string> a, std::vector<std::string> b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::vector<LeadingCase> cases = {
      {"mpeg4_bframes", {"-c:v", "mpeg4", "-bf", "2", "-g", "25"}, true},
      {"mpeg4_flat", {"-c:v", "mpeg4", "-g", "25"}, false},
      {"mpeg2_bframes", {"-c:v", "mpeg2video", "-bf", "2", "-g", "25"}, true},
      // Closed groups (x264's default): a P-frame follows each key frame.
      {"h264_closed", x264, false},
      // Open ones: x264 leaves 0 to 2 B-frames behind its key frames.
      {"h264_open", with(x264, {"-x264-params", "open-gop=1:scenecut=0"}), true},
  };
  TempDir dir;
  for (const LeadingCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string mp4 = dir.File(std::string(c.name) + ".mp4");
    const std::string avi = dir.File(std::string(c.name) + ".avi");
    ASSERT_TRUE(RunFfmpeg(with(with({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=5"}, c.codecArgs),
                               {"-an", mp4})));
    std::vector<std::string> copy = {"-i", mp4, "-c", "copy"};
    if (std::string(c.name).rfind("h264", 0) == 0) copy = with(copy, {"-bsf:v", "h264_mp4toannexb"});
    ASSERT_TRUE(RunFfmpeg(with(copy, {avi})));
    const Stored timed = ReadStored(mp4);
    const Stored s = ReadStored(avi);
    ASSERT_NE(s.video, nullptr);
    ASSERT_EQ(s.packets.size(), timed.packets.size());
    ASSERT_GT(s.packets.size(), 100u);
    LeadingPictures leading(s.video->codecpar);
    bool sawLeading = false;
    for (std::size_t k = 0; k < s.packets.size(); ++k) {
      if (!(timed.packets[k]->flags & AV_PKT_FLAG_KEY)) continue;
      SCOPED_TRACE("key frame stored " + std::to_string(k) + "th");
      int shownBefore = 0;
      for (std::size_t i = k + 1; i < s.packets.size() && timed.packets[i]->pts < timed.packets[k]->pts; ++i)
        ++shownBefore;
      leading.Reset();
      for (std::size_t i = k + 1; i < s.packets.size() && !leading.settled(); ++i) leading.Add(s.packets[i].get());
      EXPECT_TRUE(leading.settled() || k + 1 == s.packets.size());
      EXPECT_EQ(leading.count(), shownBefore);
      sawLeading = sawLeading || shownBefore > 0;
    }
    EXPECT_EQ(sawLeading, c.someLead) << "the clip is not made as the case says";
  }
}

// The times, in frames, that the clock gives pictures coming out of the
// decoder with these slots (the video path stamps each packet with its
// slot), when decoding starts at the packet `from`.
std::vector<std::int64_t> TimesOut(const Stored& s, int from, const std::vector<std::int64_t>& slotsOut) {
  VideoClock clock(s.video, 0, true, 1);
  for (std::size_t i = static_cast<std::size_t>(from); i < s.packets.size(); ++i) clock.Sent(s.packets[i].get());
  const std::int64_t frameUs = av_rescale_q(1, s.video->time_base, AV_TIME_BASE_Q);
  std::vector<std::int64_t> times;
  tool::FramePtr frame = tool::MakeFrame();
  for (std::int64_t slot : slotsOut) {
    frame->pts = slot;
    times.push_back(clock.TimeOf(frame.get()) / frameUs);
  }
  return times;
}

TEST(AviFrameClock, BFramesLedByTheKeyFrameKeepTheirPlacesDroppedOrShown) {
  TempDir dir;
  const std::string path = dir.File("bframes.avi");
  // Stored I P B B P B B ..., key frames every 25: slot 25 holds the key
  // frame shown 27th, slots 26 and 27 the B-frames shown at 25 and 26.
  ASSERT_TRUE(MakeBarcodeClip(path, "160x120", "25", "3", {"-c:v", "mpeg4", "-bf", "2", "-g", "25", "-an"}));
  const Stored s = ReadStored(path);
  ASSERT_NE(s.video, nullptr);
  ASSERT_EQ(av_cmp_q(s.video->time_base, AVRational{1, 25}), 0);
  const int key = s.Key(1);
  ASSERT_GT(key, 0);
  ASSERT_EQ(s.packets[static_cast<std::size_t>(key)]->dts, 25);

  // The decoder drops the two B-frames: the first picture out is the key frame.
  EXPECT_EQ(TimesOut(s, key, {25, 29, 30, 28, 32, 33, 31}),
            (std::vector<std::int64_t>{27, 28, 29, 30, 31, 32, 33}));
  // A decoder that shows them anyway: they come first, at 25 and 26.
  EXPECT_EQ(TimesOut(s, key, {26, 27, 25, 29, 30, 28}), (std::vector<std::int64_t>{25, 26, 27, 28, 29, 30}));
  // From the start of the file nothing is led: I P B B is shown I B B P.
  EXPECT_EQ(TimesOut(s, 0, {0, 2, 3, 1, 5, 6, 4}), (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace zantrel::tooltest
