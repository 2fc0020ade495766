// The download queue's decisions and texts, and the worker against a
// loopback server: whole files land at the target, anything else leaves no
// file and an existing target untouched.
#include "download/core/downloadcontent.h"
#include "download/core/downloadqueue.h"
#include "loopserver.h"

#include "base/globals.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

QCoreApplication &App()
{
  static int argc = 1;
  static char name[] = "test_download_core";
  static char *argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

QByteArray ReadAll(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(DownloadTexts, ProgressTextHasSeparatorsAndEmptyZero)
{
  struct Case {
    int percent;
    int total;
    const char *text;
  } cases[] = {
      {50, 30000000, "共30,000,000字节,已下载15,000,000字节"},
      {0, 30000000, "共30,000,000字节,已下载字节"},
      {0, 0, "共字节,已下载字节"},
      {100, 999, "共999字节,已下载999字节"},
      {33, 1000, "共1,000字节,已下载330字节"},
      {1, 50, "共50字节,已下载1字节"},  // 0.5 rounds up
      {100, 2147483647, "共2,147,483,647字节,已下载2,147,483,647字节"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(DownloadProgressText(c.percent, c.total), QString::fromUtf8(c.text))
        << c.percent << " " << c.total;
}

TEST(DownloadTexts, CompletedHintCutsBeforeTheFirstMark)
{
  EXPECT_EQ(CompletedDownloadHint(QStringLiteral("共1,000字节,已下载500字节")),
            QStringLiteral("共1,000字节,已下载完成"));
  EXPECT_EQ(CompletedDownloadHint(QStringLiteral("已下载1已下载2")), QStringLiteral("已下载完成"));
  for (const QString &unchanged : {QString(), QStringLiteral("共字节"), QStringLiteral("正在连接")})
    EXPECT_EQ(CompletedDownloadHint(unchanged), unchanged);
}

TEST(DownloadTexts, TaskNumberIsReadFromTheWholeAddress)
{
  struct Case {
    const char *address;
    std::optional<std::int32_t> number;
  } cases[] = {
      {"http://127.0.0.1:4000/P2P/2000000001.swf", 2000000001},
      {"http://127.0.0.1:4000/k3J9xQ/P2P/2000000002.flv", 2000000002},
      {"http://127.0.0.1:4000/P2P/7.mp3", 7},
      // Low 32 bits of a wider number.
      {"http://127.0.0.1:4000/P2P/4294967297.swf", 1},
      {"http://127.0.0.1:4000/P2P/2147483648.swf", -2147483647 - 1},
      // The first "P2P/" counts.
      {"http://h/P2P/12.swf?P2P/99.swf", std::nullopt},
      {"http://127.0.0.1:4000/p2p/5.swf", std::nullopt},
      {"http://127.0.0.1:4000/P2P/.swf", std::nullopt},
      {"http://127.0.0.1:4000/P2P/abc.swf", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case &c : cases)
    EXPECT_EQ(TaskNumberOf(QString::fromUtf8(c.address)), c.number) << c.address;
}

TEST(DownloadTexts, TargetIsASingleNameInTheDownloadFolder)
{
  const QString saved = DownloadDir, cache = CacheDir;
  DownloadDir = QStringLiteral("/tmp/dl/");
  CacheDir = QStringLiteral("/tmp/cache/");
  EXPECT_EQ(DownloadTargetOf(QStringLiteral("快乐 气球.swf")),
            QStringLiteral("/tmp/dl/快乐 气球.swf"));
  for (const char *bad : {"", "../x.swf", "a/b.swf", "a\\b.swf", "..", "x\n.swf", "x\x01.swf",
                          "/etc/passwd", "a..swf"})
    EXPECT_EQ(DownloadTargetOf(QString::fromUtf8(bad)), QString()) << bad;
  EXPECT_EQ(CacheFileOf(QStringLiteral("120"), QStringLiteral("接星星.swf")),
            QStringLiteral("/tmp/cache/120.swf"));
  EXPECT_EQ(CacheFileOf(QStringLiteral("120"), QStringLiteral("a.b.flv")),
            QStringLiteral("/tmp/cache/120.flv"));
  EXPECT_EQ(CacheFileOf(QStringLiteral("120"), QStringLiteral("noext")),
            QStringLiteral("/tmp/cache/120"));
  EXPECT_EQ(CacheFileOf(QStringLiteral("../1"), QStringLiteral("a.swf")), QString());
  DownloadDir = saved;
  CacheDir = cache;
}

TEST(DownloadQueue, RefusesRowsThatCouldNotBeSaved)
{
  TDownloadQueue q;
  EXPECT_THROW(q.add(QStringLiteral("../evil.swf"), "120", "http://a/b.swf"), DownloadRequestError);
  EXPECT_THROW(q.add(QStringLiteral("a\\b.swf"), "120", "http://a/b.swf"), DownloadRequestError);
  EXPECT_THROW(q.add(QStringLiteral("ok.swf"), "12x", "http://a/b.swf"), DownloadRequestError);
  EXPECT_THROW(q.add(QStringLiteral("ok.swf"), "120", " "), DownloadRequestError);
  EXPECT_TRUE(q.rows.isEmpty());
  EXPECT_EQ(q.add(QStringLiteral("ok.swf"), "120", "http://a/b.swf"), 0);
  EXPECT_EQ(q.add(QStringLiteral("ok2.swf"), "121", "http://a/c.swf"), 1);
}

TEST(DownloadQueue, OneRowAtATimeInRowOrder)
{
  TDownloadQueue q;
  EXPECT_EQ(q.nextStep(), TDownloadQueue::Step::Finish);
  q.add("a.swf", "1", "http://a/1.swf");
  q.add("b.swf", "2", "http://a/2.swf");
  ASSERT_EQ(q.nextStep(), TDownloadQueue::Step::Start);
  q.current()->status = StatusDownloading;
  q.fetchStarted(2000000001);
  EXPECT_FALSE(q.WorkerIdle);
  EXPECT_EQ(q.nextStep(), TDownloadQueue::Step::Wait);
  // The engine's report alone does not end the row: the worker may still
  // be writing.
  EXPECT_EQ(q.taskEnded(100, 10), QString());
  EXPECT_EQ(q.nextStep(), TDownloadQueue::Step::Wait);
  EXPECT_EQ(q.workerEnded(TTransferResult{true, 10, 10, {}}), StatusDone);
  EXPECT_TRUE(q.WorkerIdle);
  EXPECT_EQ(q.rows[0].status, StatusDone);
  EXPECT_EQ(q.DownloadPos, 1);
  ASSERT_EQ(q.nextStep(), TDownloadQueue::Step::Start);
  // The worker first this time, then the report.
  q.current()->status = StatusDownloading;
  q.fetchStarted(2000000002);
  EXPECT_EQ(q.workerEnded(TTransferResult{false, 3, 10, "cut"}), QString());
  EXPECT_EQ(q.taskEnded(40, 10), StatusIncomplete);
  EXPECT_EQ(q.lastPercent(), 40);
  EXPECT_EQ(q.nextStep(), TDownloadQueue::Step::Finish);
  // Late or repeated reports change nothing.
  EXPECT_EQ(q.taskEnded(100, 10), QString());
  EXPECT_EQ(q.rows[1].status, StatusIncomplete);
}

TEST(DownloadQueue, CompleteOnlyWhenTheWorkerWroteTheWholeFile)
{
  struct Case {
    int percent;
    TTransferResult worker;
    std::int64_t engineTotal;
    QString status;
  } cases[] = {
      {100, {true, 1000, 1000, {}}, 1000, StatusDone},
      {100, {true, 1000, -1, {}}, 0, StatusDone},  // chunked, size unknown to the engine
      {100, {false, 600, 1000, "disk full"}, 1000, StatusFailed},
      {100, {false, 1000, 1000, "rename failed"}, 1000, StatusFailed},
      {100, {true, 999, -1, {}}, 1000, StatusFailed},  // less than the engine served
      {100, {true, 1000, 1200, {}}, 0, StatusFailed},  // less than announced
      {99, {true, 1000, 1000, {}}, 1000, StatusIncomplete},
      {0, {false, 0, -1, "refused"}, 0, StatusIncomplete},
  };
  for (const Case &c : cases)
    EXPECT_EQ(FetchedRowStatus(c.percent, c.worker, c.engineTotal), c.status)
        << c.percent << " " << c.worker.bytesWritten << " " << c.engineTotal;
}

class WorkerTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    App();
    ASSERT_TRUE(dir.isValid());
  }
  TTransferResult run(const QString &address, const QString &target)
  {
    TDownloadContent worker(nullptr, address, target, 1);
    QSignalSpy ended(&worker, &TDownloadContent::transferEnded);
    worker.begin();
    EXPECT_TRUE(worker.progressTimer->isActive());
    EXPECT_TRUE(WaitFor([&] { return ended.count() == 1; }, 30000));
    EXPECT_FALSE(worker.progressTimer->isActive());
    return ended.isEmpty() ? TTransferResult{} : ended.first().first().value<TTransferResult>();
  }
  QStringList leftovers() const { return QDir(dir.path() + "/sub").entryList(QDir::Files); }

  QTemporaryDir dir;
  LoopServer server;
};

TEST_F(WorkerTest, WholeBodyLandsAtTheTargetInMissingFolders)
{
  const QByteArray body = PatternBytes(3 * 1024 * 1024 + 17);
  server.put("/P2P/1.swf", body);
  const QString target = dir.path() + "/sub/deeper/游戏.swf";
  const TTransferResult r = run(server.base() + "/P2P/1.swf", target);
  EXPECT_TRUE(r.complete) << r.error.toStdString();
  EXPECT_EQ(r.bytesWritten, body.size());
  EXPECT_EQ(r.announcedSize, body.size());
  EXPECT_TRUE(ReadAll(target) == body);
  EXPECT_EQ(QDir(dir.path() + "/sub/deeper").entryList(QDir::Files), QStringList{"游戏.swf"});
}

TEST_F(WorkerTest, FailuresLeaveNoFileAndKeepAnExistingTarget)
{
  const QByteArray body = PatternBytes(2 * 1024 * 1024);
  server.put("/cut.swf", body, 700 * 1024);
  ASSERT_TRUE(QDir().mkpath(dir.path() + "/sub"));
  const QString target = dir.path() + "/sub/old.swf";
  {
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous");
  }
  struct Case {
    QString address;
    const char *what;
  } cases[] = {
      {server.base() + "/cut.swf", "connection cut short"},
      {server.base() + "/missing.swf", "404"},
      {QStringLiteral("http://127.0.0.1:1/P2P/1.swf"), "refused"},
      {QStringLiteral("file:///etc/passwd"), "not http"},
  };
  for (const Case &c : cases) {
    const TTransferResult r = run(c.address, target);
    EXPECT_FALSE(r.complete) << c.what;
    EXPECT_FALSE(r.error.isEmpty()) << c.what;
    EXPECT_EQ(ReadAll(target), QByteArray("previous")) << c.what;
    EXPECT_EQ(leftovers(), QStringList{"old.swf"}) << c.what;
  }
}

TEST_F(WorkerTest, AFileThatCannotGrowEndsTheTransferWithoutAFile)
{
  // The file size limit stands in for a full disk.  The body is written in
  // large writes, so the refusal comes in the middle of the body or only at
  // its last write; either way nothing is left.
  struct Case {
    qint64 limit, size;
    const char *what;
  } cases[] = {
      {3 * 512 * 1024, 3 * 1024 * 1024, "in the middle"},
      {5 * 256 * 1024, 3 * 512 * 1024, "at the last write"},
  };
  ASSERT_TRUE(QDir().mkpath(dir.path() + "/sub"));
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  for (const Case &c : cases) {
    server.put("/big.swf", PatternBytes(c.size));
    rlimit limited = before;
    limited.rlim_cur = static_cast<rlim_t>(c.limit);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const TTransferResult r = run(server.base() + "/big.swf", dir.path() + "/sub/big.swf");
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_FALSE(r.complete) << c.what;
    EXPECT_FALSE(r.error.isEmpty()) << c.what;
    EXPECT_LT(r.bytesWritten, c.size) << c.what;
    EXPECT_TRUE(leftovers().isEmpty()) << c.what;
  }
  std::signal(SIGXFSZ, oldHandler);
}

TEST_F(WorkerTest, StopEndsTheTransferWithoutAFile)
{
  // A body the server never finishes: it stalls after the first piece.
  httplib::Server slow;
  std::atomic<bool> release{false};
  slow.Get("/P2P/9.swf", [&](const httplib::Request &, httplib::Response &res) {
    res.set_content_provider(10 * 1024 * 1024, "application/octet-stream",
                             [&](size_t offset, size_t, httplib::DataSink &sink) {
                               if (offset == 0) {
                                 static const std::string piece(4096, 'x');
                                 sink.write(piece.data(), piece.size());
                                 return true;
                               }
                               while (!release.load())
                                 std::this_thread::sleep_for(std::chrono::milliseconds(10));
                               return false;
                             });
  });
  const int port = slow.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { slow.listen_after_bind(); });
  while (!slow.is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(2));

  const QString target = dir.path() + "/sub/stopped.swf";
  auto worker = std::make_unique<TDownloadContent>(
      nullptr, QStringLiteral("http://127.0.0.1:%1/P2P/9.swf").arg(port), target, 9);
  QSignalSpy ended(worker.get(), &TDownloadContent::transferEnded);
  worker->begin();
  Pump(300);
  EXPECT_TRUE(ended.isEmpty());
  worker->requestStop();
  EXPECT_TRUE(WaitFor([&] { return ended.count() == 1; }, 5000));
  release = true;
  slow.stop();
  serving.join();
  ASSERT_EQ(ended.count(), 1);
  EXPECT_FALSE(ended.first().first().value<TTransferResult>().complete);
  EXPECT_FALSE(QFile::exists(target));
  EXPECT_TRUE(leftovers().isEmpty());
}

}  // namespace
