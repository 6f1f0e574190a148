// The proxy's request texts, reply parsing, and the host control's members.
#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "preview/flash_player.h"
#include "preview/mpv_player_widget.h"
#include "tests/preview/test_media.h"

TEST(FlashRequests, TextsAreExact) {
  EXPECT_EQ(CFlashPlayer::LoadAndPlayVideoRequest("/v/a.flv"),
            "<invoke name=\"loadAndPlayVideo\" returntype=\"xml\"><arguments><string>/v/a.flv"
            "</string></arguments></invoke>");
  EXPECT_EQ(CFlashPlayer::PauseVideoRequest(),
            "<invoke name=\"pauseVideo\" returntype=\"xml\"></invoke>");
  EXPECT_EQ(CFlashPlayer::SetToParRequest("37"),
            "<invoke name=\"setToPar\" returntype=\"xml\"><arguments><number>37"
            "</number></arguments></invoke>");
  EXPECT_EQ(CFlashPlayer::GetTotalTimeRequest(),
            "<invoke name=\"getTotalTime\" returntype=\"xml\"></invoke>");
}

TEST(FlashRequests, PathIsInsertedUnescaped) {
  const std::string path = "/home/u/Tom & Jerry <1>.flv";
  EXPECT_EQ(CFlashPlayer::LoadAndPlayVideoRequest(path),
            "<invoke name=\"loadAndPlayVideo\" returntype=\"xml\"><arguments><string>" + path +
                "</string></arguments></invoke>");
}

TEST(ExtractReplyValue, TakesTextBetweenFirstTagAndNextTag) {
  EXPECT_EQ(ExtractReplyValue("<number>95.7</number>"), "95.7");
  EXPECT_EQ(ExtractReplyValue("<string>12</string>"), "12");
  EXPECT_EQ(ExtractReplyValue("<number></number>"), "");
  EXPECT_EQ(ExtractReplyValue("95.7"), "");  // no '>'
  EXPECT_EQ(ExtractReplyValue(""), "");
  EXPECT_EQ(ExtractReplyValue("<number>8.040"), "8.040");  // the end also ends it
}

TEST(ExtractReplyValue, KeepsAtMost127Characters) {
  const std::string longValue(300, '7');
  EXPECT_EQ(ExtractReplyValue("<string>" + longValue + "</string>"), std::string(127, '7'));
}

TEST(ShockwaveFlash, DoesNothingBeforeCreate) {
  CShockwaveFlash flash;
  CFlashPlayer player(flash);
  player.LoadMovie("/nowhere/Lumivox.swf");
  player.LoadAndPlayVideo("/nowhere/a.flv");
  player.PauseVideo();
  player.SetToPar("50");
  EXPECT_EQ(player.GetTotalTime(), "");
  EXPECT_EQ(flash.CallFunction(CFlashPlayer::GetTotalTimeRequest()), "");
  EXPECT_EQ(flash.GetWidget(), nullptr);
}

TEST(ShockwaveFlash, CreateMakesTheNamedChildAndLoadMovieRecordsTheMovie) {
  QWidget dialog;
  CShockwaveFlash flash;
  ASSERT_TRUE(flash.Create("MyFlash", QRect(QPoint(20, 80), QPoint(339, 319)), &dialog, 1));
  auto* w = qobject_cast<MpvPlayerWidget*>(flash.GetWidget());
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->parentWidget(), &dialog);
  EXPECT_EQ(w->objectName(), "1");
  EXPECT_EQ(w->accessibleName(), "MyFlash");
  EXPECT_EQ(w->geometry(), QRect(20, 80, 320, 240));
  EXPECT_FALSE(w->isHidden());
  // libmpv is readied once the window is on screen, not before.
  EXPECT_FALSE(w->IsReady());
  dialog.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w->IsReady(); }, 5000));

  CFlashPlayer player(flash);
  player.LoadMovie("/nowhere/Lumivox.swf");
  EXPECT_EQ(w->Movie(), "/nowhere/Lumivox.swf");
  EXPECT_TRUE(w->MoviePlaying());
  EXPECT_TRUE(w->Loop());
  EXPECT_EQ(w->BackgroundColor(), QColor(1, 0, 0));  // COLORREF 1: red 1
}

TEST(ShockwaveFlash, MissingMovieDoesNotStopThePlayer) {
  const TestMedia& m = Media();
  ASSERT_TRUE(m.ok);
  QWidget dialog;
  CShockwaveFlash flash;
  flash.Create("MyFlash", QRect(20, 80, 320, 240), &dialog, 1);
  CFlashPlayer player(flash);
  player.LoadMovie(m.dir + "/no-such-folder/Lumivox.swf");
  player.LoadAndPlayVideo(m.flv);
  player.PauseVideo();
  EXPECT_EQ(std::atoi(player.GetTotalTime().c_str()), TestMedia::kSeconds);
  auto* w = qobject_cast<MpvPlayerWidget*>(flash.GetWidget());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w->CurrentFrame().isNull(); }, 5000));
}

TEST(ShockwaveFlash, ControlDestroyedWithItsDialog) {
  auto* dialog = new QWidget;
  CShockwaveFlash flash;
  flash.Create("MyFlash", QRect(20, 80, 320, 240), dialog, 1);
  delete dialog;
  EXPECT_EQ(flash.GetWidget(), nullptr);
  EXPECT_EQ(flash.CallFunction(CFlashPlayer::PauseVideoRequest()), "");
}
