// Full-screen play of games and videos: the player covers the whole window,
// Esc or the exit button ends it, and the window returns to where it was.
#include "playbackrig.h"

#include "base/globals.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class FullScreenTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(app.isValid());
    rig = std::make_unique<PlaybackRig>(&engine);
    rig->window->setGeometry(normal);
    rig->window->show();
    rig->window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig->window.get()));
    for (const char *id : {"1", "2"})
      ASSERT_TRUE(app.put(TestAppDir::PaintMovie(), QStringLiteral("Caches/%1.swf").arg(id)));
    ASSERT_TRUE(app.write("Caches/3.flv", "FLV"));
    ASSERT_TRUE(app.write("Caches/4.mp3", "ID3"));
    game1 = rig->add("1", "1");
    game2 = rig->add("2", "1");
    video = rig->add("3", "4");
    song = rig->add("4", "2");
  }
  int escapeShortcuts() const
  {
    int n = 0;
    for (QShortcut *s : rig->window->findChildren<QShortcut *>())
      n += s->key() == QKeySequence(Qt::Key_Escape) ? 1 : 0;
    return n;
  }
  bool playerCoversWindow() const
  {
    TFlashView *flash = rig->host->ShockwaveFlash1;
    return flash->parentWidget() == rig->window.get() && flash->geometry() == rig->window->rect() &&
           flash->isVisible();
  }

  const QRect normal{60, 40, 700, 480};
  TestAppDir app{false};
  FakeEngine engine;
  std::unique_ptr<PlaybackRig> rig;
  TKsvPlayPtr game1, game2, video, song;
};

TEST_F(FullScreenTest, GameFillsTheScreenAndEscapeRestoresTheSavedBounds)
{
  rig->host->PlayItem(game1, true);
  rig->host->imgFullScreenMouseDown();
  const QRect screen = rig->window->screen()->geometry();
  EXPECT_EQ(IsFullScreen, 1);
  EXPECT_EQ(rig->window->geometry(), screen);
  EXPECT_TRUE(playerCoversWindow());
  EXPECT_FALSE(rig->host->pnlPlayFlv->isVisible());
  EXPECT_TRUE(rig->exitPanel->isVisible());
  EXPECT_EQ(rig->exitPanel->pos(), QPoint(0, 0));
  EXPECT_EQ(escapeShortcuts(), 1);
  EXPECT_EQ(SavedBounds.left, normal.left());
  EXPECT_EQ(SavedBounds.top, normal.top());

  // Esc, with the keyboard focus in the player (its page takes the keys).
  QWidget *focus = rig->host->ShockwaveFlash1->focusProxy()
                       ? rig->host->ShockwaveFlash1->focusProxy()
                       : rig->host->ShockwaveFlash1;
  QTest::keyClick(focus, Qt::Key_Escape);
  EXPECT_EQ(IsFullScreen, 0);
  EXPECT_EQ(rig->window->geometry(), normal);
  EXPECT_EQ(rig->host->ShockwaveFlash1->parentWidget(), rig->host->pnlConMain);
  EXPECT_EQ(rig->host->ShockwaveFlash1->geometry(), rig->host->pnlConMain->rect());
  EXPECT_TRUE(rig->host->pnlPlayFlv->isVisible());
  EXPECT_FALSE(rig->exitPanel->isVisible());
  EXPECT_EQ(escapeShortcuts(), 0) << "the Esc key is free again";
  // Esc now does nothing.
  QTest::keyClick(rig->window.get(), Qt::Key_Escape);
  EXPECT_EQ(rig->window->geometry(), normal);
}

TEST_F(FullScreenTest, MaximisedWindowReturnsMaximisedThroughTheExitButton)
{
  const QRect maximised(0, 0, 790, 570);
  IsMaximized = 1;
  rig->window->setGeometry(maximised);
  rig->host->PlayItem(video, true);
  rig->host->imgFullScreenMouseDown();
  EXPECT_TRUE(playerCoversWindow());
  ASSERT_NE(rig->host->imgExitFullScreen, nullptr);
  EXPECT_EQ(rig->host->imgExitFullScreen->toolTip(), "退出全屏");
  QTest::mousePress(rig->host->imgExitFullScreen, Qt::LeftButton);
  EXPECT_EQ(IsFullScreen, 0);
  EXPECT_EQ(rig->window->geometry(), maximised);
}

TEST_F(FullScreenTest, SwitchingBetweenGameVideoAndAudioLeavesFullScreen)
{
  rig->host->PlayItem(game1, true);
  rig->host->imgFullScreenMouseDown();
  // Another game keeps full screen, with the exit panel in front.
  rig->host->PlayItem(game2, true);
  EXPECT_EQ(IsFullScreen, 1);
  EXPECT_TRUE(playerCoversWindow());
  const QObjectList order = rig->window->children();
  EXPECT_GT(order.indexOf(rig->exitPanel), order.indexOf(rig->host->ShockwaveFlash1))
      << "the exit panel lies above the player";
  // A video after a game leaves it.
  rig->host->PlayItem(video, true);
  EXPECT_EQ(IsFullScreen, 0);
  EXPECT_EQ(rig->window->geometry(), normal);
  EXPECT_EQ(rig->host->ShockwaveFlash1->FlashVars(),
            "file=" + CacheDir +
                "3.flv&overstretch=true&showdigits=true&autostart=true"
                "&showplayerbar=true&callback=true&enablejs=true&streamscript=http://");
  EXPECT_EQ(rig->host->ShockwaveFlash1->Movie(), AppDir + "flvplayer.swf");

  // Audio cannot go full screen; a video can, and audio after it leaves.
  {
    ScopedDialogRecorder boxes;
    rig->host->PlayItem(song, true);
    rig->host->imgFullScreenMouseDown();
    EXPECT_EQ(boxes.infoTexts(), QStringList{"音频文件不能全屏!"});
    EXPECT_EQ(IsFullScreen, 0);
  }
  rig->host->PlayItem(video, true);
  rig->host->imgFullScreenMouseDown();
  EXPECT_EQ(IsFullScreen, 1);
  rig->host->PlayItem(song, true);
  EXPECT_EQ(IsFullScreen, 0);
  EXPECT_FALSE(rig->exitPanel->isVisible());
}

TEST_F(FullScreenTest, AnyItemPlayedInFullScreenCanStillLeaveIt)
{
  // A text item has no player; full screen must not be stuck on it.
  const TKsvPlayPtr text = rig->add("5", "3");
  rig->host->PlayItem(game1, true);
  rig->host->imgFullScreenMouseDown();
  rig->host->PlayItem(text, true);
  ASSERT_EQ(IsFullScreen, 1);
  QTest::keyClick(rig->window.get(), Qt::Key_Escape);
  EXPECT_EQ(IsFullScreen, 0);
  EXPECT_EQ(rig->window->geometry(), normal);
  // A fetch leaves full screen before it shows the advertisement.
  rig->host->PlayItem(game1, true);
  rig->host->imgFullScreenMouseDown();
  rig->host->PlayItem(rig->add("6", "1"), true);
  EXPECT_EQ(IsFullScreen, 0);
  EXPECT_TRUE(rig->host->wbMp3->isVisible());
}

}  // namespace
