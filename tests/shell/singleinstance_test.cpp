// One running copy per user and executable name, the hand-over to it, its
// recovery after a crash, and the updater test with a socket left behind.
#include "net/singleinstance.h"
#include "waitfor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Every test gets a runtime folder of its own.
class SingleInstanceTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp_.isValid());
    saved_ = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", tmp_.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("XDG_RUNTIME_DIR", saved_); }

  QTemporaryDir tmp_{QStringLiteral("/tmp/ksi-XXXXXX")};
  QByteArray saved_;
};

// The pid of a process that has already ended.
qint64 DeadPid()
{
  QProcess p;
  p.start(QStringLiteral("true"), {});
  p.waitForFinished(10000);
  return p.processId() ? p.processId() : 999999;
}

// Leaves a socket file at `path` that nobody listens on, as a process that
// crashed does.
bool LeaveDeadSocket(const QString &path)
{
  const QByteArray native = QFile::encodeName(path);
  sockaddr_un addr{};
  if (native.size() >= static_cast<int>(sizeof addr.sun_path))
    return false;
  addr.sun_family = AF_UNIX;
  memcpy(addr.sun_path, native.constData(), native.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
  ::close(fd);
  return bound && QFileInfo::exists(path);
}

// Another start asks the running copy to show itself, from a thread of its
// own, while this thread's event loop lets the running copy answer.
bool RunningCopyAnswersAnotherStart()
{
  bool answered = false;
  std::unique_ptr<QThread> asker(QThread::create(
      [&] { answered = SingleInstance(QStringLiteral("kestrova")).AskRunningToShow(5000); }));
  asker->start();
  const bool ended = WaitFor([&] { return asker->isFinished(); }, 10000);
  asker->wait();
  return ended && answered;
}

}  // namespace

TEST_F(SingleInstanceTest, SecondCopyIsRefusedAndHandsOver)
{
  SingleInstance first(QStringLiteral("kestrova"));
  ASSERT_TRUE(first.TryAcquire());
  EXPECT_TRUE(first.TryAcquire());  // asking again keeps it
  EXPECT_TRUE(first.LockPath().startsWith(tmp_.path()));
  QSignalSpy shows(&first, &SingleInstance::showRequested);

  SingleInstance second(QStringLiteral("kestrova"));
  EXPECT_FALSE(second.TryAcquire());
  // The running copy answers from its event loop while the second waits.
  EXPECT_TRUE(RunningCopyAnswersAnotherStart());
  EXPECT_EQ(shows.count(), 1);

  // Another executable name is another program.
  SingleInstance other(QStringLiteral("kestrova-copy"));
  EXPECT_TRUE(other.TryAcquire());
}

TEST_F(SingleInstanceTest, NobodyAnsweringMeansASilentEnd)
{
  SingleInstance lone(QStringLiteral("kestrova"));
  EXPECT_FALSE(lone.AskRunningToShow(500));
}

TEST_F(SingleInstanceTest, ReleasedOrCrashedCopyLeavesTheWayFree)
{
  {
    SingleInstance first(QStringLiteral("kestrova"));
    ASSERT_TRUE(first.TryAcquire());
  }
  {
    SingleInstance again(QStringLiteral("kestrova"));
    EXPECT_TRUE(again.TryAcquire());
  }

  // A copy that crashed left its lock file and its socket file behind.
  SingleInstance probe(QStringLiteral("kestrova"));
  QFile lock(probe.LockPath());
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
  lock.write(QByteArray::number(DeadPid()) + "\nkestrova\n" + QSysInfo::machineHostName().toUtf8() +
             "\n");
  lock.close();
  ASSERT_TRUE(LeaveDeadSocket(probe.SocketPath()));

  EXPECT_TRUE(probe.TryAcquire());
  // And it listens again for later starts.
  EXPECT_TRUE(RunningCopyAnswersAnotherStart());
}

TEST_F(SingleInstanceTest, UpdaterIsSeenOnlyWhileItListens)
{
  EXPECT_EQ(UpdaterSocketPath(), tmp_.path() + QStringLiteral("/Kestrova软件在线升级"));
  EXPECT_FALSE(IsUpdaterRunning());
  {
    QLocalServer updater;
    ASSERT_TRUE(updater.listen(UpdaterSocketPath()));
    EXPECT_TRUE(IsUpdaterRunning());
  }
  EXPECT_FALSE(IsUpdaterRunning());

  // A socket file left by an updater that crashed refuses connections.
  ASSERT_TRUE(LeaveDeadSocket(UpdaterSocketPath()));
  EXPECT_FALSE(IsUpdaterRunning());
}

TEST_F(SingleInstanceTest, LongRuntimeFolderFallsBackToAPrivateTempFolder)
{
  const QString longDir = tmp_.path() + QLatin1Char('/') + QString(80, QLatin1Char('x'));
  ASSERT_TRUE(QDir().mkpath(longDir));
  qputenv("XDG_RUNTIME_DIR", longDir.toLocal8Bit());
  const QString folder = RuntimeFolder();
  EXPECT_FALSE(folder.startsWith(longDir));
  EXPECT_TRUE(QFileInfo(folder).isDir());
  EXPECT_EQ(QFileInfo(folder).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther |
                                               QFileDevice::ReadGroup | QFileDevice::WriteGroup),
            QFileDevice::Permissions());
  // Unset: the same fallback.
  qunsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(RuntimeFolder(), folder);
}
