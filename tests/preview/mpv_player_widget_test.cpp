// The libmpv player on real clips: durations, exact seeks, pause, bad files
// and tear-down while playing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTest>

#include <fstream>
#include <memory>

#include "preview/flash_player.h"
#include "preview/mpv_player_widget.h"
#include "tests/preview/test_media.h"

namespace {

std::string Load(const std::string& path) { return CFlashPlayer::LoadAndPlayVideoRequest(path); }
std::string Seek(int p) { return CFlashPlayer::SetToParRequest(std::to_string(p)); }
const std::string kPause = CFlashPlayer::PauseVideoRequest();
const std::string kTotal = CFlashPlayer::GetTotalTimeRequest();

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Media().ok) << "ffmpeg could not make the test clips";
    player = std::make_unique<MpvPlayerWidget>();
    player->resize(320, 240);
    player->SetBackgroundColor(QColor(1, 0, 0));
    player->show();
    ASSERT_TRUE(player->IsReady());
  }

  // The frame number the widget shows (-1: no clean pattern).
  int Shown() {
    const QImage img = player->grab().toImage();
    return DecodeFrameNumber(img, QRect(0, 0, img.width(), img.height()));
  }

  bool WaitShown(int frame, int ms = 8000) {
    return QTest::qWaitFor([&] { return Shown() == frame; }, ms);
  }

  bool ShowsOnlyBackground() {
    const QImage img = player->grab().toImage();
    for (QPoint p : {QPoint(5, 5), QPoint(160, 120), QPoint(300, 230), QPoint(60, 120)})
      if (img.pixelColor(p) != QColor(1, 0, 0)) return false;
    return true;
  }

  std::unique_ptr<MpvPlayerWidget> player;
};

double TotalSeconds(const std::string& reply) {
  return std::atof(ExtractReplyValue(reply).c_str());
}

// Frames hr-seek may show for a target between two frames.
bool NearTarget(int frame, double seconds) {
  const int before = int(seconds * TestMedia::kFps + 1e-6);
  return frame == before || frame == before + 1;
}

}  // namespace

TEST_F(PlayerTest, TotalTimeIsTheClipLength) {
  for (const std::string& clip : {Media().mp4, Media().flv}) {
    player->CallFunction(Load(clip));
    player->CallFunction(kPause);
    const std::string reply = player->CallFunction(kTotal);
    EXPECT_EQ(reply.rfind("<number>", 0), 0u) << reply;
    EXPECT_NEAR(TotalSeconds(reply), TestMedia::kSeconds, 0.1) << clip << ": " << reply;
    EXPECT_EQ(std::atoi(ExtractReplyValue(reply).c_str()), TestMedia::kSeconds) << reply;
  }
}

TEST_F(PlayerTest, LoadThenPauseShowsTheFirstFrameAndSeeksAreExact) {
  for (const std::string& clip : {Media().mp4, Media().flv}) {
    SCOPED_TRACE(clip);
    player->CallFunction(Load(clip));
    player->CallFunction(kPause);
    EXPECT_TRUE(WaitShown(0)) << "shown: " << Shown();
    const double total = TotalSeconds(player->CallFunction(kTotal));
    // Single key frame clips: a key-frame seek would land on frame 0.
    for (int p : {50, 37, 90, 5}) {
      player->CallFunction(Seek(p));
      EXPECT_TRUE(QTest::qWaitFor([&] { return NearTarget(Shown(), total * p / 100); }, 8000))
          << "setToPar " << p << " shows " << Shown();
    }
  }
}

TEST_F(PlayerTest, PictureKeepsAspectRatioWithBarsInBackgroundColour) {
  player->resize(480, 240);  // wider than 4:3: bars left and right
  player->CallFunction(Load(Media().mp4));
  player->CallFunction(kPause);
  player->CallFunction(Seek(50));
  const QRect picture(80, 0, 320, 240);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const QImage img = player->grab().toImage();
        return NearTarget(DecodeFrameNumber(img, picture), 4.0);
      },
      8000));
  const QImage img = player->grab().toImage();
  EXPECT_EQ(img.pixelColor(10, 120), QColor(1, 0, 0));
  EXPECT_EQ(img.pixelColor(470, 120), QColor(1, 0, 0));
}

TEST_F(PlayerTest, PauseStopsThePictureAdvancing) {
  player->CallFunction(Load(Media().mp4));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() >= 5; }, 8000)) << "not playing";
  player->CallFunction(kPause);
  QTest::qWait(300);  // frames already on their way
  const int paused = Shown();
  QTest::qWait(600);
  EXPECT_EQ(Shown(), paused);
  EXPECT_LT(paused, TestMedia::kFps * TestMedia::kSeconds - 1);
}

TEST_F(PlayerTest, PathWithXmlCharactersIsLoadedAsGiven) {
  // A folder "a&b<" holding "string>c.mp4": the path contains "</string>".
  const std::string dir = Media().dir + "/a&b<";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir)));
  const std::string path = dir + "/string>c.mp4";
  QFile::remove(QString::fromStdString(path));
  ASSERT_TRUE(QFile::copy(QString::fromStdString(Media().mp4), QString::fromStdString(path)));
  player->CallFunction(Load(path));
  player->CallFunction(kPause);
  EXPECT_EQ(std::atoi(ExtractReplyValue(player->CallFunction(kTotal)).c_str()),
            TestMedia::kSeconds);
}

TEST_F(PlayerTest, FilesThatCannotBePlayedGiveNoDurationAndNoPicture) {
  const std::string text = Media().dir + "/notes.mp4";
  std::ofstream(text) << "This is a text file,\nnot a video.\n";
  const std::string truncated = Media().dir + "/truncated.mp4";
  // The MP4 index sits at the end of the file: the first 20 KB carry none.
  ASSERT_TRUE(RunShell("head -c 20000 '" + Media().mp4 + "' > '" + truncated + "'"));
  const std::string missing = Media().dir + "/missing.flv";

  for (const std::string& bad : {text, truncated, missing, std::string()}) {
    SCOPED_TRACE(bad);
    // After a good clip, so a stale picture or duration would show.
    player->CallFunction(Load(Media().flv));
    player->CallFunction(kPause);
    ASSERT_TRUE(WaitShown(0));
    player->CallFunction(Load(bad));
    player->CallFunction(kPause);
    EXPECT_EQ(player->CallFunction(kTotal), "<number></number>");
    player->CallFunction(Seek(50));  // must be harmless
    QTest::qWait(200);
    EXPECT_TRUE(ShowsOnlyBackground());
  }
}

TEST_F(PlayerTest, TruncatedFlvPlaysWhatItHas) {
  const std::string truncated = Media().dir + "/truncated.flv";
  ASSERT_TRUE(RunShell("head -c 60000 '" + Media().flv + "' > '" + truncated + "'"));
  player->CallFunction(Load(truncated));
  player->CallFunction(kPause);
  const std::string reply = player->CallFunction(kTotal);  // header length or none
  EXPECT_TRUE(reply == "<number></number>" || TotalSeconds(reply) >= 0) << reply;
  EXPECT_TRUE(WaitShown(0));
  player->CallFunction(Seek(100));
  player->CallFunction(Seek(50));
  QTest::qWait(300);
  player->CallFunction(Load(Media().mp4));  // and the player is still usable
  EXPECT_EQ(std::atoi(ExtractReplyValue(player->CallFunction(kTotal)).c_str()),
            TestMedia::kSeconds);
}

TEST_F(PlayerTest, UnknownOrMalformedRequestsAnswerNothing) {
  EXPECT_EQ(player->CallFunction("<invoke name=\"rewind\" returntype=\"xml\"></invoke>"), "");
  EXPECT_EQ(player->CallFunction("garbage"), "");
  EXPECT_EQ(player->CallFunction(
                "<invoke name=\"setToPar\" returntype=\"xml\"><arguments><number>abc"
                "</number></arguments></invoke>"),
            "");
  EXPECT_EQ(player->CallFunction(kTotal), "<number></number>");  // nothing loaded
}

TEST_F(PlayerTest, DestroyedWhilePlayingOrLoading) {
  player->CallFunction(Load(Media().mp4));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() >= 3; }, 8000));
  player.reset();  // while playing
  auto loading = std::make_unique<MpvPlayerWidget>();
  loading->show();
  loading->CallFunction(Load(Media().flv));
  loading.reset();  // before the file has opened
  QTest::qWait(100);  // queued callbacks of the dead widgets must not run
  SUCCEED();
}

TEST_F(PlayerTest, ShippedPlaceholderPlays) {
  const std::string placeholder = std::string(ZANTREL_SOURCE_DIR) + "/res/data/default.flv";
  player->CallFunction(Load(placeholder));
  EXPECT_EQ(std::atoi(ExtractReplyValue(player->CallFunction(kTotal)).c_str()), 2);
  // The card is dark with light text: some bright pixels, not the background.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const QImage img = player->grab().toImage();
        for (int x = 0; x < img.width(); x += 2)
          if (qGray(img.pixel(x, img.height() / 2)) > 150) return true;
        return false;
      },
      8000));
}
