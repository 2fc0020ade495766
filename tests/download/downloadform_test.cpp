// The download window with an engine the test drives: the queue's steps,
// the worker on the local address, the task-end branch through the fetch's
// dispatch, closing, and the play page's download button.
#include "downloadengine.h"
#include "widgets/desktop.h"

#include "base/globals.h"
#include "download/core/downloadcontent.h"
#include "download/downloadarea.h"
#include "download/downloadfolder.h"
#include "download/downloadform.h"
#include "player/contentfetch.h"
#include "player/core/ksvplay.h"
#include "player/playerhost.h"
#include "testappdir.h"
#include "widgets/dialogs.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class DownloadWindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(app.isValid());
    fetch = std::make_unique<TContentFetch>(&engine, &timerDownload);
    area = std::make_unique<TDownloadArea>(nullptr, &engine, fetch.get(), nullptr);
  }
  void TearDown() override
  {
    area.reset();
    fetch.reset();
    ResetPlaybackState();
  }

  TfrmDownload *form() const { return area->DownloadForm(); }
  QString status(int row) const { return form()->lv1->item(row, 2)->text(); }
  // Waits until the running worker has ended.
  bool workerDone() const
  {
    return WaitFor([&] { return !form() || form()->queue().WorkerIdle; }, 20000);
  }
  QStringList leftovers() const { return QDir(DownloadDir).entryList(QDir::Files); }

  TestAppDir app{false};
  // Boxes are recorded; folders opened in the file browser too.
  ScopedDialogRecorder dialogs{false};
  QStringList opened() const
  {
    QStringList folders;
    for (const QUrl &url : dialogs.openedUrls)
      folders << url.toLocalFile();
    return folders;
  }
  DownloadEngine engine;
  QTimer timerDownload;
  std::unique_ptr<TContentFetch> fetch;
  std::unique_ptr<TDownloadArea> area;
};

TEST_F(DownloadWindowTest, WindowShowsItsControlsAndNumbersRowsInTheSameWindow)
{
  area->AddDownloadRow("接星星.swf", "120", "http://portal/1/a.swf");
  TfrmDownload *first = form();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  EXPECT_TRUE(first->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(first->caption(), "下载");
  EXPECT_TRUE(first->Timer1->isActive());
  EXPECT_EQ(first->Timer1->interval(), 2000);
  EXPECT_EQ(first->lv1->columnCount() - (first->lv1->isColumnHidden(3) ? 1 : 0), 3);
  EXPECT_EQ(first->lv1->horizontalHeaderItem(0)->text(), "序号");
  EXPECT_EQ(first->lv1->horizontalHeaderItem(1)->text(), "文件");
  EXPECT_EQ(first->lv1->horizontalHeaderItem(2)->text(), "状态");
  EXPECT_EQ(first->lv1->columnWidth(0), 40);
  EXPECT_EQ(first->lv1->columnWidth(1), 200);
  EXPECT_EQ(first->lv1->columnWidth(2), 70);
  EXPECT_EQ(first->lblResid->text(), "0");
  EXPECT_FALSE(first->lblResid->isVisible());
  EXPECT_EQ(first->LblDownloadHint->text(), "共  字节,已下载  字节");
  EXPECT_FALSE(first->pnlPro->isVisible());

  area->AddDownloadRow("快乐 气球.swf", "121", "http://portal/1/b.swf");
  EXPECT_EQ(form(), first);
  ASSERT_EQ(first->lv1->rowCount(), 2);
  EXPECT_EQ(first->lv1->item(0, 0)->text(), "1");
  EXPECT_EQ(first->lv1->item(1, 0)->text(), "2");
  EXPECT_EQ(first->lv1->item(1, 1)->text(), "快乐 气球.swf");
  EXPECT_EQ(status(1), "");
  EXPECT_EQ(first->lv1->item(1, 3)->text(), "121");

  // Link colours and click.
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(first->lblLocalDir, &enter);
  EXPECT_EQ(first->lblLocalDir->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(first->lblLocalDir, &leave);
  EXPECT_EQ(first->lblLocalDir->palette().color(QPalette::WindowText), QColor(35, 136, 208));
  EXPECT_FALSE(first->lblLocalDir->font().bold());
  first->lblLocalDirClick();
  EXPECT_EQ(opened(), QStringList{DownloadDir});
}

TEST_F(DownloadWindowTest, RowsThatCouldLeaveTheFolderAreRefusedWithoutAWindow)
{
  for (const char *bad : {"../x.swf", "a/b.swf", "a\\b.swf", "..", "x\r.swf", ""})
    EXPECT_THROW(area->AddDownloadRow(QString::fromUtf8(bad), "120", "http://portal/a.swf"),
                 std::exception)
        << bad;
  EXPECT_THROW(area->AddDownloadRow("ok.swf", "../120", "http://portal/a.swf"), std::exception);
  EXPECT_EQ(form(), nullptr);
}

TEST_F(DownloadWindowTest, CachedItemIsCopiedOnTheFirstTickAndTheQuestionFollows)
{
  const QByteArray bytes = PatternBytes(5000);
  ASSERT_TRUE(WriteFile(CacheDir + "120.swf", bytes));
  dialogs.answers << true;
  area->AddDownloadRow("接星星.swf", "120", "http://portal/1/a.swf");
  QPointer<TfrmDownload> w = form();
  w->Timer1Timer();
  EXPECT_EQ(status(0), "完成");
  EXPECT_EQ(w->lblResid->text(), "120");
  EXPECT_TRUE(ReadAll(DownloadDir + "接星星.swf") == bytes);
  EXPECT_TRUE(engine.registrations.isEmpty());
  EXPECT_TRUE(dialogs.questions().isEmpty());

  w->Timer1Timer();
  EXPECT_EQ(dialogs.questions(), QStringList{"全部下载任务都已处理完成。\n\r是否要打开文件目录?"});
  EXPECT_EQ(opened(), QStringList{DownloadDir});
  EXPECT_FALSE(w->Timer1->isActive());
  EXPECT_TRUE(WaitFor([&] { return w.isNull(); }, 5000)) << "the window stayed";
  EXPECT_EQ(form(), nullptr);
  // The next request opens an empty window.
  area->AddDownloadRow("b.swf", "121", "http://portal/1/b.swf");
  EXPECT_EQ(form()->lv1->rowCount(), 1);
}

TEST_F(DownloadWindowTest, SecondRowStartsOnlyAfterTheEnginesReport)
{
  const QByteArray a = PatternBytes(1000, 1), b = PatternBytes(300000, 2);
  engine.serve("http://portal/1/a.swf", a);
  engine.serve("http://portal/1/b.swf", b);
  area->AddDownloadRow("A.swf", "121", "http://portal/1/a.swf");
  area->AddDownloadRow("B.swf", "122", "http://portal/1/b.swf");
  TfrmDownload *w = form();

  w->Timer1Timer();
  ASSERT_EQ(engine.registrations.size(), 1);
  EXPECT_EQ(engine.registrations[0].id, 121);
  EXPECT_EQ(engine.registrations[0].url, "http://portal/1/a.swf");
  EXPECT_EQ(status(0), "正在下载");
  EXPECT_TRUE(w->pnlPro->isVisible());
  EXPECT_EQ(w->lblResid->text(), "121");
  const std::int32_t taskA = engine.registrations[0].task;
  engine.progress[taskA] = {100, 1, 1000};
  ASSERT_NE(w->worker(), nullptr);
  w->worker()->ProgressTimerTimer();
  EXPECT_EQ(w->LblDownloadHint->text(), "共1,000字节,已下载1,000字节");
  EXPECT_EQ(w->ProgressBar1->value(), 100);
  ASSERT_TRUE(workerDone());
  EXPECT_TRUE(ReadAll(DownloadDir + "A.swf") == a);

  // The worker has written the file, but without the report the queue waits.
  w->Timer1Timer();
  w->Timer1Timer();
  EXPECT_EQ(engine.registrations.size(), 1);
  EXPECT_EQ(status(0), "正在下载");
  EXPECT_EQ(status(1), "");

  // A report for another id is not the window's.
  EXPECT_FALSE(area->belongsToDownloadWindow(122));
  engine.report(121, 100);
  EXPECT_EQ(status(0), "完成");
  EXPECT_EQ(w->LblDownloadHint->text(), "共1,000字节,已下载完成");
  EXPECT_FALSE(area->belongsToDownloadWindow(121));

  w->Timer1Timer();
  ASSERT_EQ(engine.registrations.size(), 2);
  EXPECT_EQ(status(1), "正在下载");
  EXPECT_EQ(w->lblResid->text(), "122");
  const std::int32_t taskB = engine.registrations[1].task;
  // Half of a 30,000,000-byte file.
  engine.progress[taskB] = {50, 0, 30000000};
  ASSERT_NE(w->worker(), nullptr);
  w->worker()->ProgressTimerTimer();
  EXPECT_EQ(w->LblDownloadHint->text(), "共30,000,000字节,已下载15,000,000字节");
  EXPECT_EQ(w->ProgressBar1->value(), 50);
  ASSERT_TRUE(workerDone());
  // The engine says it served 30,000,000 bytes, the worker got 300,000: the
  // file is not what was served.
  engine.progress[taskB] = {100, 0, 30000000};
  engine.report(122, 100);
  EXPECT_EQ(status(1), "失败");
  EXPECT_FALSE(QFile::exists(DownloadDir + "B.swf"));
  EXPECT_EQ(leftovers(), QStringList{"A.swf"});
}

TEST_F(DownloadWindowTest, EngineCompleteButWorkerCutShortIsAFailure)
{
  engine.serve("http://portal/1/a.swf", PatternBytes(400000), 100000);
  ASSERT_TRUE(WriteFile(DownloadDir + "A.swf", "older copy"));
  area->AddDownloadRow("A.swf", "121", "http://portal/1/a.swf");
  TfrmDownload *w = form();
  w->Timer1Timer();
  ASSERT_EQ(engine.registrations.size(), 1);
  // The report comes first this time; the row waits for the worker.
  w->LblDownloadHint->setText("正在连接");
  engine.report(121, 100);
  EXPECT_EQ(status(0), "正在下载");
  ASSERT_TRUE(WaitFor([&] { return status(0) != "正在下载"; }, 20000));
  EXPECT_EQ(status(0), "失败");
  EXPECT_EQ(w->LblDownloadHint->text(), "正在连接");
  EXPECT_EQ(ReadAll(DownloadDir + "A.swf"), QByteArray("older copy"));
  EXPECT_EQ(leftovers(), QStringList{"A.swf"});
}

TEST_F(DownloadWindowTest, BelowHundredIsUnfinishedAndAHintWithoutTheMarkStays)
{
  engine.serve("http://portal/1/a.swf", PatternBytes(1000));
  engine.serve("http://portal/1/b.swf", PatternBytes(2000));
  area->AddDownloadRow("A.swf", "121", "http://portal/1/a.swf");
  area->AddDownloadRow("B.swf", "122", "http://portal/1/b.swf");
  TfrmDownload *w = form();
  w->Timer1Timer();
  ASSERT_TRUE(workerDone());
  engine.report(121, 60);
  EXPECT_EQ(status(0), "未完");
  EXPECT_EQ(w->ProgressBar1->value(), 60);
  w->Timer1Timer();
  ASSERT_TRUE(workerDone());
  // No progress tick came: the hint is the cleared one, and stays so.
  EXPECT_EQ(w->LblDownloadHint->text(), "");
  engine.report(122, 100);
  EXPECT_EQ(status(1), "完成");
  EXPECT_EQ(w->LblDownloadHint->text(), "");
  EXPECT_EQ(w->ProgressBar1->value(), 100);
}

TEST_F(DownloadWindowTest, RowThatCannotStartFailsAndTheQueueGoesOn)
{
  engine.giveAddress = false;
  engine.serve("http://portal/1/b.swf", PatternBytes(100));
  area->AddDownloadRow("A.swf", "121", "http://portal/1/a.swf");
  area->AddDownloadRow("B.swf", "122", "http://portal/1/b.swf");
  TfrmDownload *w = form();
  w->Timer1Timer();
  EXPECT_EQ(status(0), "失败");
  engine.giveAddress = true;
  w->Timer1Timer();
  EXPECT_EQ(status(1), "正在下载");
  ASSERT_EQ(engine.registrations.size(), 1);
  EXPECT_EQ(engine.registrations[0].id, 122);
}

TEST_F(DownloadWindowTest, ClosingStopsTheTransferAndItsReportGoesNowhere)
{
  // The body stops after its first piece: the worker is still reading when
  // the window closes.
  engine.serve("http://portal/1/a.swf", PatternBytes(4 * 1024 * 1024), 64 * 1024, true);
  area->AddDownloadRow("A.swf", "121", "http://portal/1/a.swf");
  QPointer<TfrmDownload> w = form();
  w->Timer1Timer();
  ASSERT_EQ(engine.registrations.size(), 1);
  ASSERT_TRUE(WaitFor([&] { return engine.server.requests() == 1; }, 5000));
  Pump(200);
  ASSERT_FALSE(w->queue().WorkerIdle);
  // The player fetches the same item meanwhile: the stopped task's report
  // must not be taken for the end of the player's fetch.
  CurrentItem = MakeKsvPlay("121", "070205", "A", "1");
  CurrentItem->number = 121;
  timerDownload.start(100000);
  QSignalSpy failed(fetch.get(), &TContentFetch::fetchFailed);
  w->close();
  EXPECT_TRUE(WaitFor([&] { return w.isNull(); }, 5000));
  EXPECT_EQ(form(), nullptr);
  EXPECT_EQ(engine.stopped, QList<std::int32_t>{engine.registrations[0].task});
  EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(' ').toStdString();
  Pump(100);
  EXPECT_FALSE(area->belongsToDownloadWindow(121));
  EXPECT_TRUE(timerDownload.isActive());
  EXPECT_TRUE(failed.isEmpty());
}

class DownloadButtonTest : public DownloadWindowTest {
protected:
  void SetUp() override
  {
    DownloadWindowTest::SetUp();
    DownloadServerUrl = QStringLiteral("http://portal.test/");
    host = std::make_unique<TPlayerHost>(TPlayerWindow{});
    area = std::make_unique<TDownloadArea>(nullptr, &engine, fetch.get(), host.get());
  }
  void TearDown() override
  {
    DownloadWindowTest::TearDown();
    host.reset();
    DownloadServerUrl.clear();
  }
  std::unique_ptr<TPlayerHost> host;
};

const char *const StartFailed = "启动下载界面异常,请稍后重试。\n\r或请通过“意见反馈”给我们反馈。";

TEST_F(DownloadButtonTest, QueuesTheCurrentItemWithBlanksInItsName)
{
  host->imgDownloadMouseDown();
  EXPECT_EQ(dialogs.infoTexts(), QStringList{"没有当前正在玩的游戏。"});
  EXPECT_EQ(form(), nullptr);

  CurrentItem = MakeKsvPlay("121", "070205", "快乐%20气球", "1");
  host->imgDownloadMouseDown();
  ASSERT_NE(form(), nullptr);
  ASSERT_EQ(form()->lv1->rowCount(), 1);
  EXPECT_EQ(form()->lv1->item(0, 1)->text(), "快乐 气球.swf");
  EXPECT_EQ(form()->lv1->item(0, 3)->text(), "121");
  EXPECT_EQ(CurrentItem->address, ContentAddress("121", ".swf"));
  EXPECT_EQ(form()->queue().rows[0].address, CurrentItem->address);
  EXPECT_EQ(dialogs.infoTexts().size(), 1);

  // A second press adds a second row to the same window.
  TfrmDownload *w = form();
  CurrentItem = MakeKsvPlay("122", "070205", "翻牌", "4", "http://portal.test/1/x.flv");
  host->imgDownloadMouseDown();
  EXPECT_EQ(form(), w);
  ASSERT_EQ(w->lv1->rowCount(), 2);
  EXPECT_EQ(w->lv1->item(1, 0)->text(), "2");
  EXPECT_EQ(w->lv1->item(1, 1)->text(), "翻牌.flv");
  EXPECT_EQ(w->queue().rows[1].address, "http://portal.test/1/x.flv");
}

TEST_F(DownloadButtonTest, FileAlreadySavedAsksToOpenTheFolderAndQueuesNothing)
{
  ASSERT_TRUE(WriteFile(DownloadDir + "快乐 气球.swf", "saved"));
  CurrentItem = MakeKsvPlay("121", "070205", "快乐%20气球", "1");
  dialogs.answers << false << true;
  host->imgDownloadMouseDown();
  EXPECT_TRUE(opened().isEmpty());
  host->imgDownloadMouseDown();
  EXPECT_EQ(dialogs.questions(),
            QStringList(2, QStringLiteral("该文件本机已存在, 是否要打开文件所在文件夹?")));
  EXPECT_EQ(opened(), QStringList{DownloadDir});
  EXPECT_EQ(form(), nullptr);
}

TEST_F(DownloadButtonTest, NamesThatCouldLeaveTheFolderAreRefused)
{
  ASSERT_TRUE(WriteFile(AppDir + "outside.swf", "outside"));
  for (const char *name : {"../outside", "a/b", "a\\b", "x\ty", ".."}) {
    CurrentItem = MakeKsvPlay("121", "070205", QString::fromUtf8(name), "1");
    host->imgDownloadMouseDown();
  }
  EXPECT_EQ(dialogs.infoTexts(), QStringList(5, QString::fromUtf8(StartFailed)));
  EXPECT_TRUE(dialogs.questions().isEmpty());
  EXPECT_EQ(form(), nullptr);
  // Without a download manager the button says so too.
  TPlayerHost alone{TPlayerWindow{}};
  CurrentItem = MakeKsvPlay("121", "070205", "好", "1");
  alone.imgDownloadMouseDown();
  EXPECT_EQ(dialogs.infoTexts().size(), 6);
  EXPECT_EQ(dialogs.infoTexts().last(), QString::fromUtf8(StartFailed));
}

}  // namespace
