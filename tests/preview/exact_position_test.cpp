// Exact positions of the player against FFmpeg's reading of the same file:
// the time the player gives for the frame on screen must name that frame on
// the cutting tool's timeline (the first frame at or after it is the one
// shown), through exact and key-frame seeks, frame steps, second steps and
// a pause of playback; and the playing position must stay apart from the
// program's own moves.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>

#include "preview/flash_player.h"
#include "preview/mpv_player_widget.h"
#include "tests/preview/tool_barcode.h"
#include "tests/tool/tool_test_support.h"

namespace {

using zantrel::tooltest::ClipRecipe;
using zantrel::tooltest::FirstFrameAtOrAfter;
using zantrel::tooltest::GetRecipeClip;
using zantrel::tooltest::PieceFacts;
using zantrel::tooltest::ReadPiece;
using Kind = MpvPlayerWidget::SeekKind;

// A key frame every 30 frames and nowhere else.
const std::vector<std::string> kH264 = {"-c:v", "libx264", "-preset", "veryfast", "-g", "30",
                                        "-sc_threshold", "0"};

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class ExactPositionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    player = std::make_unique<MpvPlayerWidget>();
    player->resize(320, 240);
    player->show();
    ASSERT_TRUE(player->IsReady());
  }

  void Open(const std::string& path) {
    player->CallFunction(CFlashPlayer::LoadAndPlayVideoRequest(path));
    player->CallFunction(CFlashPlayer::PauseVideoRequest());
    source = ReadPiece(path);
    ASSERT_TRUE(source.opened);
    ASSERT_GT(source.frameTimes.size(), 100u);
  }

  int ShownBarcode() { return ToolBarcode(player->grab().toImage()); }

  // The player's time for the frame on screen names that very frame: the
  // source's first frame at or after it carries the barcode on screen, and
  // lies within a microsecond. Returns that frame's position in the source.
  std::size_t ExpectTimeNamesShownFrame(const std::string& what) {
    SCOPED_TRACE(what);
    const std::int64_t us = player->ShownFrameTimeUs();
    EXPECT_NE(us, MpvPlayerWidget::kNoTime);
    const std::size_t j = FirstFrameAtOrAfter(source, double(us) / 1e6);
    EXPECT_LT(j, source.frameTimes.size()) << us;
    if (j >= source.frameTimes.size()) return 0;
    EXPECT_NEAR(source.frameTimes[j] * 1e6, double(us), 1.5);
    // The widget may repaint a moment after the frame was rendered.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ShownBarcode() == source.frameIndices[j]; }, 2000))
        << "time " << us << " names frame " << source.frameIndices[j] << ", shown "
        << ShownBarcode();
    return j;
  }

  std::unique_ptr<MpvPlayerWidget> player;
  PieceFacts source;
};

struct Case {
  ClipRecipe recipe;
  const char* why;
};

std::vector<Case> Cases() {
  return {
      {{"mp4_bframes_edits", "mp4", "160x120", "25", 7,
        With(kH264, {"-bf", "2", "-output_ts_offset", "10"}), {"-c:a", "aac"}},
       "B-frames, and edit lists that start the stamps at 10 s (mpv keeps MP4 times as stored)"},
      {{"flv_late_video", "flv", "160x120", "25", 7, kH264, {"-c:a", "aac"}, 0.5},
       "the pictures start 0.5 s after the sound"},
      {{"mp4_1499", "mp4", "160x120", "14.99", 7, kH264, {"-c:a", "aac", "-ar", "8000"}},
       "times that fall inside a frame's interval"},
  };
}

}  // namespace

TEST_F(ExactPositionTest, TheShownFramesTimeNamesItOnTheToolsTimeline) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(std::string(c.recipe.name) + ": " + c.why);
    const auto& clip = GetRecipeClip(c.recipe);
    ASSERT_FALSE(clip.path.empty()) << "ffmpeg could not make the clip";
    Open(clip.path);
    const auto& t = source.frameTimes;
    const auto us = [&](std::size_t i) { return std::int64_t(std::llround(t[i] * 1e6)); };

    // Exact seeks: to a frame's own time, and to a time between two frames,
    // which shows the later one.
    for (std::size_t i : {std::size_t(0), t.size() / 3, t.size() * 3 / 4}) {
      player->SeekTo(us(i), Kind::Exact);
      EXPECT_EQ(ExpectTimeNamesShownFrame("exact seek to frame " + std::to_string(i)), i);
    }
    player->SeekTo((us(40) + us(41)) / 2, Kind::Exact);
    EXPECT_EQ(ExpectTimeNamesShownFrame("exact seek between frames 40 and 41"), 41u);

    // A key-frame seek shows a key frame at or before the target (every 30th).
    player->SeekTo(us(75), Kind::KeyFrame);
    const std::size_t key = ExpectTimeNamesShownFrame("key-frame seek");
    EXPECT_LE(key, 75u);
    EXPECT_EQ(source.frameIndices[key] % 30, 0);

    // Steps, asked for faster than they land, are made one after another;
    // back steps cross the key frame at 60 into the group before it.
    player->SeekTo(us(58), Kind::Exact);
    for (int k = 0; k < 4; ++k) player->StepFrame(+1);
    EXPECT_EQ(ExpectTimeNamesShownFrame("four steps forward"), 62u);
    for (int k = 0; k < 5; ++k) player->StepFrame(-1);
    EXPECT_EQ(ExpectTimeNamesShownFrame("five steps back"), 57u);
    player->StepSeconds(+2);
    const std::size_t later = ExpectTimeNamesShownFrame("two seconds on");
    EXPECT_EQ(later, FirstFrameAtOrAfter(source, t[57] + 2));
  }
}

TEST_F(ExactPositionTest, PlaybackPositionFollowsPlayingAndNeverEchoesTheProgramsMoves) {
  const auto& clip = GetRecipeClip(Cases()[1].recipe);
  ASSERT_FALSE(clip.path.empty());
  Open(clip.path);
  ASSERT_NE(player->ShownFrameTimeUs(), MpvPlayerWidget::kNoTime);
  QSignalSpy playing(player.get(), &MpvPlayerWidget::playbackPosition);
  QSignalSpy settled(player.get(), &MpvPlayerWidget::seekSettled);

  player->TogglePlayPause();
  QTest::qWait(1500);
  player->TogglePlayPause();
  QTest::qWait(300);
  // At least 4 a second (the first frames may wait for the decoder).
  EXPECT_GE(playing.count(), 4) << "positions in 1.5 s of playback";
  EXPECT_EQ(settled.count(), 0);
  // The last position names the frame playback stopped on.
  ASSERT_FALSE(playing.isEmpty());
  const std::int64_t last = playing.last().at(0).value<std::int64_t>();
  EXPECT_EQ(last, player->ShownFrameTimeUs());
  ExpectTimeNamesShownFrame("paused playback");

  // The program's moves report only through seekSettled.
  playing.clear();
  player->SeekTo(3'000'000, Kind::KeyFrame);
  player->SeekTo(3'000'000, Kind::Exact);
  player->StepFrame(-1);
  const std::int64_t shown = player->ShownFrameTimeUs();
  QTest::qWait(300);
  EXPECT_EQ(playing.count(), 0);
  ASSERT_GE(settled.count(), 1);
  EXPECT_EQ(settled.last().at(0).value<std::int64_t>(), shown);
}

TEST_F(ExactPositionTest, WithoutAPlayableFileThereIsNoTimeAndMovesAreHarmless) {
  EXPECT_EQ(player->ShownFrameTimeUs(), MpvPlayerWidget::kNoTime);  // nothing loaded
  player->StepFrame(1);
  player->SeekTo(1'000'000, Kind::Exact);
  EXPECT_FALSE(player->MovePending());
  player->CallFunction(CFlashPlayer::LoadAndPlayVideoRequest("/nonexistent/missing.mp4"));
  player->StepSeconds(1);
  EXPECT_EQ(player->ShownFrameTimeUs(), MpvPlayerWidget::kNoTime);
  EXPECT_FALSE(player->MovePending());
}
