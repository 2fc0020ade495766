// The portal's content server goes away in the middle of a transfer, with
// the real engine library between: the fetch of a game and a download in
// the download window.  The user reads a clear status, no part of the file
// stands at the cache or download path, and the next try after the server
// is back brings the file byte for byte.
#include "playbackrig.h"
#include "portalserver.h"

#include "base/globals.h"
#include "download/downloadarea.h"
#include "download/downloadform.h"
#include "net/enginelibrary.h"
#include "widgets/dialogs.h"

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList Files(const QString &folder)
{
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

class PortalStopsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(app.isValid());
    ASSERT_TRUE(portal.start(FaultyPortal::Mode::CutHalf));
    DownloadServerUrl = portal.base();
    engine = std::make_unique<EngineLibrary>(QStringLiteral(KESTROVA_ENGINE_LIB));
    ASSERT_TRUE(engine->isLoaded()) << engine->errorString().toStdString();
    ASSERT_TRUE(engine->Initkestrova(16783119));
  }
  void TearDown() override
  {
    if (engine)
      engine->UnInitkestrova();
  }
  // The server stops as soon as it has cut a transfer off.
  void StopAfterTheCut()
  {
    ASSERT_TRUE(WaitFor([&] { return portal.cuts() > 0; }, 30000)) << "nothing was cut";
    const int port = portal.port();
    portal.stop();
    restartPort = port;
  }
  void ComeBack() { ASSERT_TRUE(portal.start(FaultyPortal::Mode::Whole, restartPort)); }

  TestAppDir app{true};
  // Large enough that half of it is many network packets; a real movie so
  // that the player can show it.
  FaultyPortal portal{[] {
    QByteArray movie = ReadAll(TestAppDir::PaintMovie());
    // Trailing bytes after the movie's end are ignored by the player.
    movie.append(QByteArray(400 * 1024, '\0'));
    return movie;
  }()};
  int restartPort = 0;
  std::unique_ptr<EngineLibrary> engine;
};

}  // namespace

TEST_F(PortalStopsTest, FetchCutOffSaysTheServerFailedAndTheNextClickPlays)
{
  PlaybackRig rig(engine.get());
  rig.window->show();
  rig.add("120", "1", "接星星");
  rig.click(0);
  StopAfterTheCut();
  QLabel *status = rig.host->lblStatus;
  EXPECT_TRUE(WaitFor([&] { return status->text() == QStringLiteral("服务器连接失败"); }, 60000))
      << status->text().toStdString();
  EXPECT_FALSE(rig.timer->isActive());
  // Nothing of the half file is left, under its name or another one.
  EXPECT_EQ(Files(CacheDir), QStringList());
  EXPECT_NE(rig.host->ShockwaveFlash1->Movie(), CacheDir + "120.swf");

  ComeBack();
  QSignalSpy frames(rig.host->ShockwaveFlash1, &TFlashView::firstFrame);
  rig.click(0);
  EXPECT_TRUE(
      WaitFor([&] { return rig.host->ShockwaveFlash1->Movie() == CacheDir + "120.swf"; }, 60000))
      << status->text().toStdString();
  EXPECT_TRUE(ReadAll(CacheDir + "120.swf") == portal.body());
  EXPECT_EQ(Files(CacheDir), QStringList{"120.swf"});
  EXPECT_TRUE(WaitFor([&] { return frames.count() > 0; }, 60000)) << "the game did not paint";
}

TEST_F(PortalStopsTest, DownloadCutOffIsUnfinishedAndTheNextRowCompletes)
{
  ScopedDialogRecorder dialogs(false);
  QTimer timerDownload;
  TContentFetch fetch(engine.get(), &timerDownload);
  TDownloadArea area(nullptr, engine.get(), &fetch, nullptr);
  const QString address = ContentAddress("120", ".swf");
  area.AddDownloadRow("接星星.swf", "120", address);
  QPointer<TfrmDownload> w = area.DownloadForm();
  ASSERT_TRUE(w);
  w->Timer1->stop();
  auto rowStatus = [&](int row) { return w->lv1->item(row, 2)->text(); };

  w->Timer1Timer();
  EXPECT_EQ(rowStatus(0), "正在下载");
  StopAfterTheCut();
  ASSERT_TRUE(WaitFor([&] { return rowStatus(0) != "正在下载"; }, 60000));
  EXPECT_EQ(rowStatus(0), "未完");
  EXPECT_EQ(Files(DownloadDir), QStringList());

  // The server is back; the user queues the item again.
  ComeBack();
  area.AddDownloadRow("接星星.swf", "120", address);
  w->Timer1Timer();
  ASSERT_TRUE(WaitFor([&] { return rowStatus(1) != "正在下载"; }, 60000));
  EXPECT_EQ(rowStatus(1), "完成");
  EXPECT_TRUE(ReadAll(DownloadDir + "接星星.swf") == portal.body());
  EXPECT_EQ(Files(DownloadDir), QStringList{"接星星.swf"});
}
