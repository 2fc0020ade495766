// The built client as a real process on a private X server: the updater
// test, the hand-over to a running copy, the hidden start, the Flash check
// and the end of a desktop session.
#include "xsession.h"

#include "uitest.h"

#include "net/singleinstance.h"

#include <QLocalServer>
#include <csignal>

namespace {

const QString kMainTitle = QStringLiteral("^Kestrova游戏$");
const QString kBoxTitle = QStringLiteral("Kestrova提示");

class ProcessTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { xserver_ = new XServer; }
  static void TearDownTestSuite()
  {
    delete xserver_;
    xserver_ = nullptr;
  }
  void SetUp() override
  {
    if (!xserver_->ok())
      GTEST_SKIP() << "Xvfb is not installed";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
      GTEST_SKIP() << "xdotool is not installed";
    ASSERT_TRUE(app_.AddFlashRuntime()) << "the Flash runtime (npm ci) is missing";
    app_.SetPortal(portal_.url(QString()));
    // This process looks for the updater's socket where the client will.
    qputenv("XDG_RUNTIME_DIR", app_.runtimeDir().toLocal8Bit());
  }
  void TearDown() override
  {
    for (auto &p : procs_)
      Kill(p.get());
  }

  QProcess *Start(const QStringList &args = {}, const QProcessEnvironment &extra = {})
  {
    procs_.push_back(app_.Start(xserver_->display(), args, extra));
    return procs_.back().get();
  }
  bool MainWindowVisible() const { return !xserver_->VisibleWindows(kMainTitle).isEmpty(); }
  bool BoxVisible() const { return !xserver_->VisibleWindows(kBoxTitle).isEmpty(); }
  bool EngineSaid(const QString &call) const
  {
    for (const QString &line : app_.EngineCalls())
      if (line.startsWith(call))
        return true;
    return false;
  }

  static XServer *xserver_;
  Installation app_;
  PageServer portal_;
  std::vector<std::unique_ptr<QProcess>> procs_;
};

XServer *ProcessTest::xserver_ = nullptr;

// Plays the updater: listens where the client looks for the updater's window.
class FakeUpdater {
public:
  FakeUpdater()
  {
    QLocalServer::removeServer(UpdaterSocketPath());
    m_server.listen(UpdaterSocketPath());
  }
  bool listening() const { return m_server.isListening(); }

private:
  QLocalServer m_server;
};

}  // namespace

TEST_F(ProcessTest, UpdaterRunningRefusesUnlessTheUpdaterStartsUs)
{
  FakeUpdater updater;
  ASSERT_TRUE(updater.listening());
  struct Case {
    QStringList args;
    bool runs;
  };
  const Case cases[] = {
      {{}, false},
      {{QStringLiteral("UPDATE_OPEN")}, false},  // compared exactly
      {{QStringLiteral("-start")}, false},
      {{QStringLiteral("-start"), QStringLiteral("update_open")}, false},  // only the first counts
      {{QStringLiteral("update_open")}, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
    QFile::remove(app_.engineLog());
    QProcess *p = Start(c.args);
    if (c.runs) {
      EXPECT_TRUE(WaitFor([&] { return EngineSaid(QStringLiteral("Initkestrova")); }, 60000));
      EXPECT_TRUE(WaitFor([&] { return MainWindowVisible(); }, 30000));
      EXPECT_TRUE(SignalAndWait(p, SIGTERM, 30000));
      EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    } else {
      // The information box is up and nothing else was made.
      EXPECT_TRUE(WaitFor([&] { return BoxVisible(); }, 30000));
      EXPECT_FALSE(MainWindowVisible());
      EXPECT_FALSE(QFileInfo::exists(app_.path(QStringLiteral("Config/local.ini"))));
      EXPECT_TRUE(app_.EngineCalls().isEmpty());
      EXPECT_EQ(p->state(), QProcess::Running);  // waiting for the box's OK
      Kill(p);
      EXPECT_FALSE(WaitFor([&] { return BoxVisible(); }, 500));
    }
  }
}

TEST_F(ProcessTest, SecondStartHandsOverToTheRunningCopyAndEndsSilently)
{
  // A hidden start: the first-show work runs while no window shows (in the
  // tray; a desktop without one shows the window minimised instead).
  QProcess *trayHost = nullptr;
  if (!QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty()) {
    procs_.push_back(xserver_->StartTray());  // ended with the test
    trayHost = procs_.back().get();
    QThread::msleep(500);
  }
  QProcess *first = Start({QStringLiteral("-START")});
  ASSERT_TRUE(WaitFor([&] { return EngineSaid(QStringLiteral("ClientLoginIn")); }, 60000));
  ASSERT_TRUE(WaitFor([&] { return portal_.paths.contains(QStringLiteral("/index.htm")); }, 60000));
  EXPECT_EQ(MainWindowVisible(), trayHost == nullptr);
  EXPECT_EQ(ReadIniValue(app_.path(QStringLiteral("Config/local.ini")), "Info", "1"),
            QStringLiteral("1"));

  // Later starts, with or without "-start", and "update_open" while the
  // updater runs: each brings the running copy forward and ends at once.
  struct Variant {
    QStringList args;
    bool updaterRuns;
  };
  const Variant variants[] = {
      {{}, false}, {{QStringLiteral("-start")}, false}, {{QStringLiteral("update_open")}, true}};
  bool firstVariant = true;
  for (const Variant &v : variants) {
    SCOPED_TRACE(v.args.join(QLatin1Char(' ')).toStdString());
    std::unique_ptr<FakeUpdater> updater;
    if (v.updaterRuns)
      updater = std::make_unique<FakeUpdater>();
    QProcess *second = Start(v.args);
    EXPECT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    if (firstVariant) {
      EXPECT_TRUE(WaitFor([&] { return MainWindowVisible(); }, 30000));
      firstVariant = false;
    }
    EXPECT_FALSE(BoxVisible());
  }
  EXPECT_EQ(first->state(), QProcess::Running);
  // Only the first copy counted a start and started the engine; the start
  // page was not opened again when the window came forward.
  EXPECT_EQ(ReadIniValue(app_.path(QStringLiteral("Config/local.ini")), "Info", "1"),
            QStringLiteral("1"));
  EXPECT_EQ(app_.EngineCalls().filter(QStringLiteral("Initkestrova")).size(), 1);
  EXPECT_EQ(portal_.paths.count(QStringLiteral("/index.htm")), 1);
  EXPECT_TRUE(SignalAndWait(first, SIGTERM, 30000));
}

TEST_F(ProcessTest, HiddenStartWithoutATrayLeavesAWindowToComeBackTo)
{
  // No tray on this desktop: the hidden start shows its window (minimised)
  // rather than leaving a process nobody can reach.
  QProcess *client = Start({QStringLiteral("-start")});
  ASSERT_TRUE(WaitFor([&] { return EngineSaid(QStringLiteral("ClientLoginIn")); }, 60000));
  EXPECT_TRUE(WaitFor([&] { return MainWindowVisible(); }, 30000));
  EXPECT_TRUE(SignalAndWait(client, SIGTERM, 30000));
  EXPECT_EQ(client->exitCode(), 0);
}

TEST_F(ProcessTest, AnInstanceLockThatCannotBeTakenIsNoSilentEnd)
{
  // A runtime folder nobody can write: the client starts all the same.
  QProcessEnvironment unwritable;
  unwritable.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/proc"));
  QProcess *client = Start({}, unwritable);
  EXPECT_TRUE(WaitFor([&] { return EngineSaid(QStringLiteral("Initkestrova")); }, 60000));
  EXPECT_TRUE(WaitFor([&] { return MainWindowVisible(); }, 30000));
  EXPECT_TRUE(SignalAndWait(client, SIGTERM, 30000));
  EXPECT_EQ(client->exitCode(), 0);

  // Nor the temporary folder: a box says so and nothing is made.
  QFile::remove(app_.path(QStringLiteral("Config/local.ini")));
  QFile::remove(app_.engineLog());
  QProcessEnvironment nowhere = unwritable;
  nowhere.insert(QStringLiteral("TMPDIR"), QStringLiteral("/proc"));
  QProcess *refused = Start({}, nowhere);
  EXPECT_TRUE(WaitFor([&] { return BoxVisible(); }, 30000));
  EXPECT_FALSE(MainWindowVisible());
  EXPECT_FALSE(QFileInfo::exists(app_.path(QStringLiteral("Config/local.ini"))));
  EXPECT_TRUE(app_.EngineCalls().isEmpty());
  Kill(refused);
}

TEST_F(ProcessTest, SessionEndRunsTheDestructionAndReleasesTheInstance)
{
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    QFile::remove(app_.engineLog());
    QProcess *p = Start();
    ASSERT_TRUE(WaitFor([&] { return MainWindowVisible(); }, 60000));
    ASSERT_TRUE(WaitFor([&] { return EngineSaid(QStringLiteral("ClientLoginIn")); }, 30000));
    ASSERT_TRUE(SignalAndWait(p, sig, 30000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 0);
    EXPECT_EQ(app_.EngineCalls().value(app_.EngineCalls().size() - 1),
              QStringLiteral("UnInitkestrova"));
    EXPECT_FALSE(MainWindowVisible());
  }
  // The second run above could start, so the first released the instance.
  EXPECT_EQ(ReadIniValue(app_.path(QStringLiteral("Config/local.ini")), "Info", "1"),
            QStringLiteral("2"));
}

TEST_F(ProcessTest, TrayIconOpensItsMenuAndBringsTheHiddenWindowBack)
{
  if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
    GTEST_SKIP() << "trayer is not installed";
  std::unique_ptr<QProcess> trayHost = xserver_->StartTray();
  QThread::msleep(500);
  QProcess *client = Start({QStringLiteral("-start")});
  ASSERT_TRUE(WaitFor([&] { return EngineSaid(QStringLiteral("ClientLoginIn")); }, 60000));
  // The only window the hidden client shows is its icon in the tray.
  QStringList icon;
  ASSERT_TRUE(WaitFor(
      [&] {
        return (icon = xserver_->VisibleWindowsOfClass(QStringLiteral("kestrova"))).size() == 1;
      },
      30000));
  EXPECT_FALSE(MainWindowVisible());
  const QString geometry = xserver_->Xdo({QStringLiteral("getwindowgeometry"), icon.first()});
  EXPECT_TRUE(geometry.contains(QStringLiteral("Position: 12")))
      << geometry.toStdString();  // bottom right

  // A right click opens the menu (a second window of the client) and
  // nothing else; Escape closes it.
  xserver_->Xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), icon.first(),
                 QStringLiteral("8"), QStringLiteral("8"), QStringLiteral("click"),
                 QStringLiteral("3")});
  EXPECT_TRUE(WaitFor(
      [&] { return xserver_->VisibleWindowsOfClass(QStringLiteral("kestrova")).size() == 2; },
      10000));
  EXPECT_FALSE(MainWindowVisible());
  xserver_->Xdo({QStringLiteral("key"), QStringLiteral("Escape")});
  EXPECT_TRUE(WaitFor(
      [&] { return xserver_->VisibleWindowsOfClass(QStringLiteral("kestrova")).size() == 1; },
      10000));

  // A left click brings the window.
  xserver_->Xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), icon.first(),
                 QStringLiteral("8"), QStringLiteral("8"), QStringLiteral("click"),
                 QStringLiteral("1")});
  EXPECT_TRUE(WaitFor([&] { return MainWindowVisible(); }, 15000));
  // The start page is asked for once, a moment after the window shows.
  const auto startPageRequests = [&] { return portal_.paths.count(QStringLiteral("/index.htm")); };
  EXPECT_TRUE(WaitFor([&] { return startPageRequests() >= 1; }, 30000));
  EXPECT_FALSE(WaitFor([&] { return startPageRequests() > 1; }, 1000));
  EXPECT_EQ(startPageRequests(), 1);

  EXPECT_TRUE(SignalAndWait(client, SIGTERM, 30000));
  EXPECT_EQ(client->exitCode(), 0);
  Kill(trayHost.get());
}

TEST_F(ProcessTest, MissingFlashRuntimeRefusesTheStart)
{
  QDir(app_.path(QStringLiteral("ruffle"))).removeRecursively();
  QProcess *p = Start();
  EXPECT_TRUE(WaitFor([&] { return BoxVisible(); }, 60000));
  EXPECT_FALSE(MainWindowVisible());
  EXPECT_FALSE(QFileInfo::exists(app_.path(QStringLiteral("Config/local.ini"))));
  EXPECT_TRUE(app_.EngineCalls().isEmpty());
  Kill(p);
}

TEST_F(ProcessTest, InstalledFolderRunsInTheUsersOwnFolderOrSaysWhyNot)
{
  // Marked as installed by the package: nothing is written beside the
  // program; the user's folder under XDG_DATA_HOME is made from it.
  app_.WriteText(QStringLiteral(".installed"), QString());
  const QString user = app_.path(QStringLiteral("home/data/kestrova/"));
  QProcess *p = Start();
  ASSERT_TRUE(WaitFor([&] { return EngineSaid(QStringLiteral("Initkestrova")); }, 60000));
  EXPECT_TRUE(WaitFor([&] { return MainWindowVisible(); }, 30000));
  EXPECT_TRUE(QFileInfo(user + QStringLiteral("Config/local.ini")).isFile());
  EXPECT_TRUE(QFileInfo(user + QStringLiteral("Caches")).isDir());
  EXPECT_EQ(QFileInfo(user + QStringLiteral("libkestrova.so")).symLinkTarget(),
            app_.path(QStringLiteral("libkestrova.so")));
  EXPECT_FALSE(QFileInfo::exists(app_.path(QStringLiteral("Config/local.ini"))));
  EXPECT_FALSE(QFileInfo::exists(app_.path(QStringLiteral("Caches"))));
  EXPECT_TRUE(SignalAndWait(p, SIGTERM, 30000));
  EXPECT_EQ(p->exitCode(), 0);

  // A user's folder that cannot be made (a file stands where its parent
  // should be): the box tells so, and the client works from its own folder.
  app_.WriteText(QStringLiteral("blocked"), QStringLiteral("a file"));
  QProcessEnvironment env;
  env.insert(QStringLiteral("XDG_DATA_HOME"), app_.path(QStringLiteral("blocked/data")));
  p = Start({}, env);
  EXPECT_TRUE(WaitFor([&] { return BoxVisible(); }, 60000));
  EXPECT_FALSE(MainWindowVisible());
  EXPECT_TRUE(QFileInfo(app_.path(QStringLiteral("Config/local.ini"))).isFile());
  Kill(p);
}
