// A real transfer: the stand-in portal serves the item, the real engine
// serves it at its local address, the worker writes it into the download
// folder, and the engine's report ends the row.
#include "portalprocess.h"
#include "testappdir.h"

#include "base/config.h"
#include "base/globals.h"
#include "download/downloadarea.h"
#include "download/downloadform.h"
#include "net/enginelibrary.h"
#include "net/http.h"
#include "player/contentfetch.h"
#include "player/core/ksvplay.h"
#include "widgets/dialogs.h"

#include <QFile>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(PortalDownloadTest, ItemThroughTheEnginesLocalAddressIsByteIdentical)
{
  TestAppDir app{false};
  ASSERT_TRUE(app.isValid());
  ASSERT_TRUE(
      app.write("Config/pvlt_Source.ini", "[sys]\r\nvar_type=0\r\nExeUpdate=1\r\nXmlUpdate=1\r\n"));
  QTemporaryDir data;
  PortalProcess portal;
  ASSERT_TRUE(portal.start(QStringLiteral(KESTROVA_PORTAL_EXE), data.path(),
                           AppDir + "Config/platform.ini"))
      << portal.error().toStdString();
  const QString cache = CacheDir, downloads = DownloadDir;
  LoadConfiguration();
  CacheDir = cache;
  DownloadDir = downloads;
  ASSERT_FALSE(DownloadServerUrl.isEmpty());

  EngineLibrary engine{QStringLiteral(KESTROVA_ENGINE_LIB)};
  ASSERT_TRUE(engine.isLoaded()) << engine.errorString().toStdString();
  ASSERT_TRUE(engine.Initkestrova(16783119));
  {
    ScopedDialogRecorder dialogs(false);
    QTimer timerDownload;
    TContentFetch fetch(&engine, &timerDownload);
    TDownloadArea area(nullptr, &engine, &fetch, nullptr);

    const QString address = ContentAddress("120", ".swf");
    const HttpResponse served = HttpGet(address);
    ASSERT_TRUE(served.ok()) << served.error.toStdString();
    ASSERT_GT(served.body.size(), 1000);

    area.AddDownloadRow("接星星.swf", "120", address);
    area.AddDownloadRow("没有的游戏.swf", "99999", ContentAddress("99999", ".swf"));
    QPointer<TfrmDownload> w = area.DownloadForm();
    w->Timer1->stop();
    auto status = [&](int row) { return w->lv1->item(row, 2)->text(); };

    w->Timer1Timer();
    EXPECT_EQ(status(0), "正在下载");
    ASSERT_TRUE(WaitFor([&] { return status(0) != "正在下载"; }, 60000));
    EXPECT_EQ(status(0), "完成");
    EXPECT_TRUE(ReadAll(DownloadDir + "接星星.swf") == served.body);
    EXPECT_EQ(w->ProgressBar1->value(), 100);

    // A file the portal does not have ends below 100 and leaves nothing.
    w->Timer1Timer();
    ASSERT_TRUE(WaitFor([&] { return status(1) != "正在下载"; }, 60000));
    EXPECT_EQ(status(1), "未完");
    EXPECT_EQ(QDir(DownloadDir).entryList(QDir::Files), QStringList{"接星星.swf"});

    w->Timer1Timer();
    EXPECT_EQ(dialogs.questions(),
              QStringList{"全部下载任务都已处理完成。\n\r是否要打开文件目录?"});
    EXPECT_TRUE(WaitFor([&] { return w.isNull(); }, 5000));
  }
  engine.UnInitkestrova();
}

}  // namespace
