// Audio and video really play: the hidden audio player reaches the end of a
// short MP3 while the page browser shows the audio page (the offline page
// here), and the video-player movie shows the frames of an FLV.
#include "playbackrig.h"

#include "base/globals.h"
#include "player/audioplayer.h"

#include <QMediaPlayer>
#include <QSignalSpy>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

TEST(AudioPlayer, PlaysAShortMp3ToItsEnd)
{
  TestAppDir app(false);
  ASSERT_TRUE(app.isValid());
  ASSERT_TRUE(app.put(QStringLiteral(KESTROVA_BEEP_MP3), "Caches/134.mp3"));
  ASSERT_TRUE(app.put(TestAppDir::SourceDir() + "/appdir/Resource/html/offline/OffLine.htm",
                      "Resource/Html/offline/OffLine.htm"));
  FakeEngine engine;
  PlaybackRig rig(&engine);
  rig.window->show();
  AudioPlayerSerial = 1;
  rig.host->CreateMediaPlayer();
  ASSERT_NE(rig.host->audioPlayer(), nullptr);
  EXPECT_EQ(rig.host->audioPlayer()->objectName(), "FrameMP1");

  rig.host->PlayItem(rig.add("134", "2", "小星星"), true);
  EXPECT_EQ(rig.host->audioUsed, 1);
  EXPECT_TRUE(rig.host->wbMp3->isVisible());
  QMediaPlayer *player = rig.host->audioPlayer()->player();
  ASSERT_TRUE(WaitFor([&] { return player->mediaStatus() == QMediaPlayer::EndOfMedia; }, 20000))
      << "status " << int(player->mediaStatus()) << " error "
      << player->errorString().toStdString();
  EXPECT_GE(player->duration(), 900);
  // No portal: the offline page is shown instead of the audio page.
  EXPECT_TRUE(WaitFor([&] { return rig.host->wbMp3->url().fileName() == "OffLine.htm"; }, 10000))
      << rig.host->wbMp3->url().toString().toStdString();

  // The serial rule: a playing player is stopped and kept, an idle one is
  // freed; the serial grows either way.
  player->play();
  ASSERT_TRUE(WaitFor([&] { return player->playbackState() == QMediaPlayer::PlayingState; }, 5000));
  TAudioPlayer *kept = rig.host->audioPlayer();
  rig.host->ReleaseMediaPlayer();
  EXPECT_EQ(rig.host->audioPlayer(), kept);
  EXPECT_EQ(player->playbackState(), QMediaPlayer::StoppedState);
  EXPECT_EQ(AudioPlayerSerial, 2);
  rig.host->CloseMp3();  // frees the idle player, makes a new one
  ASSERT_NE(rig.host->audioPlayer(), nullptr);
  EXPECT_EQ(rig.host->audioPlayer()->objectName(), "FrameMP3");
  EXPECT_EQ(AudioPlayerSerial, 3);
}

TEST(VideoPlayer, ShowsTheFramesOfAVideo)
{
  const QString media = TestAppDir::MediaDir();
  if (media.isEmpty())
    GTEST_SKIP() << "the portal's media are not built";
  // In the usual cache folder, and in one whose name means something in an
  // address (the video player gets the video by its address).
  for (const QString &folder : {QStringLiteral("Caches/"), QStringLiteral("a?b&c+d%e#f 中文/")}) {
    SCOPED_TRACE(folder.toStdString());
    TestAppDir app(true);
    ASSERT_TRUE(app.isValid());
    ASSERT_TRUE(app.put(media + "/flvplayer.swf", "flvplayer.swf"));
    CacheDir = AppDir + folder;
    ASSERT_TRUE(app.put(media + "/135.flv", folder + "135.flv"));
    FakeEngine engine;
    PlaybackRig rig(&engine);
    rig.window->resize(800, 500);
    rig.window->show();
    QSignalSpy started(rig.host->ShockwaveFlash1, &TFlashView::firstFrame);
    rig.host->PlayItem(rig.add("135", "4", "万花筒"), true);
    ASSERT_TRUE(WaitFor([&] { return started.count() > 0; }, 60000));
    // Frames change while the video plays.
    QList<QImage> shots;
    for (int i = 0; i < 6; ++i) {
      Pump(500);
      shots << rig.host->ShockwaveFlash1->grab().toImage();
    }
    int changes = 0;
    for (int i = 1; i < shots.size(); ++i)
      changes += shots.at(i) != shots.at(i - 1) ? 1 : 0;
    EXPECT_GE(changes, 3);
    // And show more than a plain colour.
    const QImage last = shots.last();
    QSet<QRgb> colours;
    for (int y = 10; y < last.height() - 60; y += 17)
      for (int x = 10; x < last.width() - 10; x += 17)
        colours.insert(last.pixel(x, y) & 0xf0f0f0);
    EXPECT_GT(colours.size(), 8);
  }
}

}  // namespace
