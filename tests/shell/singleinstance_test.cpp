// One running copy per user and executable name, the hand-over to it, its
// recovery after a crash, and the updater test with a socket left behind.
#include "net/singleinstance.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
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

// The same with a socket at `path`, as a copy with a private folder has.
bool RunningCopyAnswersAnotherStartAt(const QString &path)
{
  bool answered = false;
  std::unique_ptr<QThread> asker(QThread::create([&] {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(5000))
      return;
    socket.write("show\n");
    socket.waitForBytesWritten(5000);
    while (!socket.canReadLine() && socket.waitForReadyRead(5000)) {
    }
    answered = socket.readLine(64).trimmed() == "ok";
  }));
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

TEST_F(SingleInstanceTest, OnlyALockOfARunningCopyOfOursRefusesTheStart)
{
  // A lock that cannot be taken for any other reason does not end the
  // start: the copy takes a lock in a private folder of its own.
  SingleInstance probe(QStringLiteral("kestrova"));
  const QString ourLock = probe.LockPath();
  // A lock naming a live process (this one) that another user owns.
  std::unique_ptr<QLockFile> planted;
  struct Case {
    const char *what;
    std::function<bool()> prepare;
  };
  const Case cases[] = {
      // A folder nobody can write, not even the super-user.
      {"unwritable folder", [] { return qputenv("XDG_RUNTIME_DIR", "/proc"); }},
      // Something that is no lock file where the lock belongs.
      {"folder at the lock's place", [&] { return QDir().mkpath(ourLock); }},
      // A lock naming a live process, planted by another user.
      {"lock of another user",
       [&] {
         planted = std::make_unique<QLockFile>(ourLock);
         return planted->tryLock(0) &&
                ::chown(QFile::encodeName(ourLock).constData(), 65534, 65534) == 0;
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    if (getuid() != 0 && std::string(c.what) == "lock of another user")
      continue;  // only the super-user can give a file away
    qputenv("XDG_RUNTIME_DIR", tmp_.path().toLocal8Bit());
    QFile::remove(ourLock);
    QDir(ourLock).removeRecursively();
    ASSERT_TRUE(c.prepare());
    SingleInstance start(QStringLiteral("kestrova"));
    EXPECT_TRUE(start.TryAcquire());
    EXPECT_NE(start.LockPath(), ourLock);
    EXPECT_TRUE(QFileInfo(start.LockPath()).isFile());
    const QFileInfo folder(QFileInfo(start.LockPath()).absolutePath());
    EXPECT_EQ(folder.ownerId(), getuid());
    EXPECT_EQ(folder.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther |
                                      QFileDevice::ReadGroup | QFileDevice::WriteGroup),
              QFileDevice::Permissions());
    // It still answers later starts that find it there.
    QSignalSpy shows(&start, &SingleInstance::showRequested);
    EXPECT_TRUE(RunningCopyAnswersAnotherStartAt(start.SocketPath()));
    EXPECT_EQ(shows.count(), 1);
    planted.reset();
  }
  // The private folder goes with the copy.
  QString privateFolder;
  {
    qputenv("XDG_RUNTIME_DIR", "/proc");
    SingleInstance start(QStringLiteral("kestrova"));
    ASSERT_TRUE(start.TryAcquire());
    privateFolder = QFileInfo(start.LockPath()).absolutePath();
    EXPECT_TRUE(QFileInfo(privateFolder).isDir());
  }
  EXPECT_FALSE(QFileInfo::exists(privateFolder));

  // A lock of ours held by a running copy is the one refusal.
  qputenv("XDG_RUNTIME_DIR", tmp_.path().toLocal8Bit());
  QDir(ourLock).removeRecursively();
  QFile::remove(ourLock);
  SingleInstance first(QStringLiteral("kestrova"));
  ASSERT_TRUE(first.TryAcquire());
  SingleInstance second(QStringLiteral("kestrova"));
  EXPECT_EQ(second.Acquire(), SingleInstance::Lock::HeldByRunningCopy);

  // Not even a private folder can be made: the start cannot go on.
  const bool hadTmp = qEnvironmentVariableIsSet("TMPDIR");
  const QByteArray savedTmp = qgetenv("TMPDIR");
  qputenv("XDG_RUNTIME_DIR", "/proc");
  qputenv("TMPDIR", "/proc");
  {
    SingleInstance nowhere(QStringLiteral("kestrova"));
    EXPECT_EQ(nowhere.Acquire(), SingleInstance::Lock::Unusable);
  }
  if (hadTmp)
    qputenv("TMPDIR", savedTmp);
  else
    qunsetenv("TMPDIR");
}
