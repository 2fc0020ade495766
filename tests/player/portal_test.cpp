// The whole road of a play request with the real engine library against the
// stand-in portal: the advertisement page while fetching, the file in the
// cache, the timer stopped, the game on screen, the mark gone, the next row
// prefetched; and a missing file ends in "服务器连接失败".
#include "playbackrig.h"
#include "portalprocess.h"

#include "base/config.h"
#include "base/globals.h"
#include "net/enginelibrary.h"

#include <QLabel>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

class PortalPlayTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(app.isValid());
    ASSERT_TRUE(app.write("Config/pvlt_Source.ini",
                          "[sys]\r\nvar_type=0\r\nExeUpdate=1\r\nXmlUpdate=1\r\n"));
    ASSERT_TRUE(app.put(TestAppDir::SourceDir() + "/appdir/Resource/html/offline/OffLine.htm",
                        "Resource/Html/offline/OffLine.htm"));
    ASSERT_TRUE(portal.start(QStringLiteral(KESTROVA_PORTAL_EXE), data.path(),
                             AppDir + "Config/platform.ini"))
        << portal.error().toStdString();
    const QString cache = CacheDir, downloads = DownloadDir;
    LoadConfiguration();
    CacheDir = cache;
    DownloadDir = downloads;
    ASSERT_FALSE(DownloadServerUrl.isEmpty());
    engine = std::make_unique<EngineLibrary>(QStringLiteral(KESTROVA_ENGINE_LIB));
    ASSERT_TRUE(engine->isLoaded()) << engine->errorString().toStdString();
    ASSERT_TRUE(engine->Initkestrova(16783119));
    rig = std::make_unique<PlaybackRig>(engine.get());
    rig->window->resize(900, 600);
    rig->window->show();
  }
  void TearDown() override
  {
    rig.reset();
    if (engine)
      engine->UnInitkestrova();
  }

  TestAppDir app{true};
  QTemporaryDir data;
  PortalProcess portal;
  std::unique_ptr<EngineLibrary> engine;
  std::unique_ptr<PlaybackRig> rig;
};

TEST_F(PortalPlayTest, FetchShowsTheAdvertisementThenPlaysAndPrefetchesTheNextRow)
{
  rig->add("120", "1", "接星星");
  rig->add("121", "1", "气球");
  QSignalSpy frames(rig->host->ShockwaveFlash1, &TFlashView::firstFrame);
  rig->click(0);
  // The advertisement is asked for (a fast fetch may end before it loads).
  EXPECT_TRUE(rig->host->wbMp3->page()->requestedUrl().toString().endsWith(
      "/Mp3PageHtml/DownloadAds_0.html"))
      << rig->host->wbMp3->page()->requestedUrl().toString().toStdString();

  ASSERT_TRUE(WaitFor([&] { return frames.count() > 0; }, 60000))
      << "the game never showed a frame";
  EXPECT_TRUE(QFileInfo(CacheDir + "120.swf").isFile());
  EXPECT_FALSE(rig->timer->isActive());
  EXPECT_EQ(rig->host->ShockwaveFlash1->Movie(), CacheDir + "120.swf");
  EXPECT_EQ(NodeOverlay(rig->node(0)), -1);
  EXPECT_EQ(rig->host->lblStatus->text(), "");
  // The picture is the game's, not an empty player.
  QImage shot;
  ASSERT_TRUE(WaitFor(
      [&] {
        shot = rig->host->ShockwaveFlash1->grab().toImage();
        QSet<QRgb> colours;
        for (int y = 5; y < shot.height(); y += 13)
          for (int x = 5; x < shot.width(); x += 13)
            colours.insert(shot.pixel(x, y) & 0xf0f0f0);
        return colours.size() > 4;
      },
      20000));

  // The advertisement's browser is put away behind the game, so that the
  // web engine can give back what its page holds.
  EXPECT_FALSE(rig->host->wbMp3->isVisible());
  EXPECT_EQ(rig->host->wbMp3->page()->lifecycleState(), QWebEnginePage::LifecycleState::Discarded);

  // The next row was prefetched; its end clears its mark.
  ASSERT_TRUE(WaitFor([&] { return PrefetchId == 0 && NodeOverlay(rig->node(1)) == -1; }, 30000));
  EXPECT_TRUE(QFileInfo(CacheDir + "121.swf").isFile());
}

TEST_F(PortalPlayTest, AdvertisementStillLoadingIsPutAwayWhenTheGameShows)
{
  // A fast fetch can end before the advertisement page of the fetch has
  // loaded; the half-loaded page must not stay behind the game.
  rig->add("120", "1", "接星星");
  QSignalSpy frames(rig->host->ShockwaveFlash1, &TFlashView::firstFrame);
  rig->click(0);
  ASSERT_TRUE(rig->host->wbMp3->isVisible());
  ASSERT_FALSE(rig->host->wbMp3->page()->requestedUrl().isEmpty());
  rig->host->showFlashPlayer();
  EXPECT_FALSE(rig->host->wbMp3->isVisible());
  EXPECT_EQ(rig->host->wbMp3->page()->lifecycleState(), QWebEnginePage::LifecycleState::Discarded);
  // Once the game plays, the browser shown again loads pages as before.
  ASSERT_TRUE(WaitFor([&] { return frames.count() > 0; }, 60000))
      << "the game never showed a frame";
  rig->host->showPageBrowser();
  EXPECT_EQ(rig->host->wbMp3->page()->lifecycleState(), QWebEnginePage::LifecycleState::Active);
  QSignalSpy loaded(rig->host->wbMp3, &QWebEngineView::loadFinished);
  rig->host->wbMp3->load(QUrl::fromLocalFile(AppDir + "Resource/Html/offline/OffLine.htm"));
  ASSERT_TRUE(WaitFor(
      [&] { return !loaded.isEmpty() && rig->host->wbMp3->url().fileName() == "OffLine.htm"; },
      20000))
      << rig->host->wbMp3->url().toString().toStdString();
  EXPECT_TRUE(loaded.last().value(0).toBool());
}

TEST_F(PortalPlayTest, FileTheServerDoesNotHaveEndsInConnectionFailure)
{
  rig->add("99999", "1", "没有的游戏");
  rig->click(0);
  ASSERT_TRUE(WaitFor([&] { return !rig->timer->isActive(); }, 60000)) << "the timer kept running";
  EXPECT_EQ(rig->host->lblStatus->text(), "服务器连接失败");
  EXPECT_FALSE(QFileInfo(CacheDir + "99999.swf").exists());
  EXPECT_EQ(NodeOverlay(rig->node(0)), UncachedOverlay);
}

}  // namespace
