// The portal cannot be reached from the very start: the window comes up, the
// portal browser shows the offline page, the play list's cached games still
// play, and an item that would need the portal says the server failed.
#include "testappdir.h"
#include "uitest.h"

#include "base/config.h"
#include "base/globals.h"
#include "catalog/categorybar.h"
#include "lists/core/playlistfile.h"
#include "lists/playback.h"
#include "lists/playlist.h"
#include "net/enginelibrary.h"
#include "player/flashview.h"
#include "player/listnodes.h"
#include "player/pagebrowser.h"
#include "player/playerhost.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTreeWidget>
#include <QWebEngineView>

namespace {

// A loopback port nobody listens on.
int ClosedPort()
{
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const int port = probe.serverPort();
  probe.close();
  return port;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

}  // namespace

TEST(OfflineStartTest, OfflinePageShowsAndCachedGamesOfThePlayListStillPlay)
{
  TestAppDir app;
  ASSERT_TRUE(app.isValid());
  const QString dir = app.path();
  const QByteArray closed = QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort()).toLatin1();
  QByteArray platform = "[Info]\r\n";
  for (const char *key : {"1", "2", "3", "9", "10", "17", "18"})
    platform += QByteArray(key) + '=' + closed + "\r\n";
  platform += "4=" + closed + "index.htm\r\n";
  platform += "6=" + closed + "ksvComment/userComment.do\r\n";
  ASSERT_TRUE(WriteFile(dir + "Config/platform.ini", platform));
  ASSERT_TRUE(WriteFile(dir + "Config/pvlt_Source.ini",
                        "[sys]\r\nvar_type=0\r\nExeUpdate=1\r\nXmlUpdate=1\r\n"));
  ASSERT_TRUE(app.put(TestAppDir::SourceDir() + "/appdir/Resource/html/offline/OffLine.htm",
                      "Resource/Html/offline/OffLine.htm"));
  // Played before: 接星星 is in the cache, 连连看 never arrived.
  ASSERT_TRUE(app.put(TestAppDir::PaintMovie(), "Caches/120.swf"));
  ASSERT_TRUE(WriteFile(dir + "Resource/Dat/pvlt_last.dat",
                        FormatListFile({MakeKsvPlay("120", "0701", "接星星", "1"),
                                        MakeKsvPlay("121", "0701", "连连看", "1")},
                                       1)));
  ASSERT_TRUE(WriteFile(dir + "Resource/xml/100093.xml",
                        "<root><c><id>070102</id><pid>0701</pid><name>儿歌</name><num>2</num>"
                        "<type>2</type></c></root>"));
  ResetGlobals();
  PreparePaths(dir);
  LoadConfiguration();
  ASSERT_EQ(CacheDir, dir + "Caches/");

  RecordingDesktop desktop;
  desktop.trayAvailable = true;
  {
    auto engine = std::make_unique<EngineLibrary>(QStringLiteral(KESTROVA_ENGINE_LIB));
    ASSERT_TRUE(engine->isLoaded()) << engine->errorString().toStdString();
    TfrmMain w(std::move(engine));
    TfrmWinTemplate::SetMainWindow(&w);
    w.life->FormCreate();
    w.show();

    const QUrl offline = QUrl::fromLocalFile(OfflinePagePath());
    EXPECT_TRUE(WaitFor([&] { return w.wbMain->url() == offline; }, 30000))
        << w.wbMain->url().toString().toStdString();
    // Nothing to tell the user at start: the page says it.
    EXPECT_EQ(desktop.infoTexts(), QStringList());

    // The cached game plays from the cache.
    QTreeWidget *list = w.playback->list->tvPlayList;
    ASSERT_EQ(list->topLevelItemCount(), 2);
    TFlashView *player = w.playback->host->ShockwaveFlash1;
    QSignalSpy frames(player, &TFlashView::firstFrame);
    SelectNode(list, list->topLevelItem(0));
    w.playback->list->tvPlayListClick();
    EXPECT_EQ(player->Movie(), CacheDir + "120.swf");
    EXPECT_TRUE(WaitFor([&] { return frames.count() > 0; }, 60000)) << "the game did not paint";

    // The other one needs the portal: the status says the server failed.
    SelectNode(list, list->topLevelItem(1));
    w.playback->list->tvPlayListClick();
    EXPECT_TRUE(WaitFor(
        [&] { return w.playback->host->lblStatus->text() == QStringLiteral("服务器连接失败"); },
        30000))
        << w.playback->host->lblStatus->text().toStdString();
    EXPECT_FALSE(QFileInfo::exists(CacheDir + "121.swf"));

    // The home button leads to the offline page again, not to an error page.
    w.wbMain->load(QUrl(QStringLiteral("about:blank")));
    EXPECT_TRUE(WaitFor([&] { return w.wbMain->url() == QUrl("about:blank"); }, 30000));
    w.categoryBar->sbtnMainClick();
    EXPECT_TRUE(WaitFor([&] { return w.wbMain->url() == offline; }, 30000))
        << w.wbMain->url().toString().toStdString();
    TfrmWinTemplate::SetMainWindow(nullptr);
  }
  ResetGlobals();
}
