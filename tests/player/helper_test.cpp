// The web engine helpers' launcher and heap trimmer, and how the player
// sets them up; no display, no web view.
#include "player/flashview.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString Probe = QStringLiteral(KESTROVA_HEAPPROBE);
const QString Trimmer = QStringLiteral(KESTROVA_HEAPTRIM);
const QString Launcher = QStringLiteral(KESTROVA_WEBHELPER);

struct ChildRun {
  int exitCode = -1;
  QString out, err;
};

ChildRun Start(const QString &program, const QStringList &args, const QProcessEnvironment &env)
{
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(program, args);
  ChildRun r;
  if (!p.waitForFinished(30000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

// The probe's "held <kib> after <kib>".
std::pair<long, long> ProbeMemory(const QString &mode, bool trimmed)
{
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("LD_PRELOAD"));
  // As in the helpers: blocks of 128 KiB and more are mapped on their own.
  env.insert(QStringLiteral("MALLOC_ARENA_MAX"), QStringLiteral("1"));
  env.insert(QStringLiteral("MALLOC_MMAP_THRESHOLD_"), QStringLiteral("131072"));
  if (trimmed)
    env.insert(QStringLiteral("LD_PRELOAD"), Trimmer);
  const ChildRun r = Start(Probe, {mode}, env);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QStringList f = r.out.split(u' ', Qt::SkipEmptyParts);
  if (f.size() != 4)
    return {-1, -1};
  return {f.at(1).toLong(), f.at(3).trimmed().toLong()};
}

TEST(HeapTrimmer, ReturnsFreedPagesAfterABurstButNotWhileBlocksAreFreedSteadily)
{
  const auto untrimmed = ProbeMemory(QStringLiteral("burst"), false);
  const auto trimmed = ProbeMemory(QStringLiteral("burst"), true);
  const auto steady = ProbeMemory(QStringLiteral("steady"), true);
  // 128 MiB of blocks were held each time.
  for (const auto &m : {untrimmed, trimmed, steady})
    ASSERT_GT(m.first, 120 * 1024);
  // Without the trimmer the freed pages stay with the process.
  EXPECT_GT(untrimmed.second, untrimmed.first * 3 / 4);
  // With it they go back once the burst is over.
  EXPECT_LT(trimmed.second, trimmed.first / 4);
  // A steady trickle of frees is no burst: no trim (which would hold the
  // heap for a while) is made for it.
  EXPECT_GT(steady.second, steady.first * 3 / 4);
}

// A folder with the launcher and, unless told otherwise, the trimmer.
QString LauncherFolder(const QTemporaryDir &dir, const QString &name, bool withTrimmer)
{
  const QString folder = dir.filePath(name) + u'/';
  QDir().mkpath(folder);
  EXPECT_TRUE(QFile::copy(Launcher, folder + QStringLiteral("kestrova-webhelper")));
  if (withTrimmer) {
    EXPECT_TRUE(QFile::copy(Trimmer, folder + QStringLiteral("libkestrova-heaptrim.so")));
  }
  return folder;
}

TEST(WebHelperLauncher, StartsTheNamedHelperWithItsArgumentsAndTheTrimmerFirst)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // The helper stands in for the web engine's: it reports what it got.
  const QString helper = dir.filePath(QStringLiteral("helper.sh"));
  {
    QFile f(helper);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nprintf '%s|' \"$0\" \"$@\"; printf 'preload=%s' \"$LD_PRELOAD\"\nexit 7\n");
  }
  QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QString plain = LauncherFolder(dir, QStringLiteral("plain"), true);
  const QString blank = LauncherFolder(dir, QStringLiteral("with blank"), true);
  const QString bare = LauncherFolder(dir, QStringLiteral("bare"), false);
  const QStringList args = {QStringLiteral("--type=zygote"), QString(), QStringLiteral("a b"),
                            QStringLiteral("--lang=zh-CN")};
  const QString given = helper + u'|' + args.join(u'|') + u'|';

  struct Case {
    const char *what;
    QString folder, preloadBefore, preloadAfter;
  };
  const QString trimmer = plain + QStringLiteral("libkestrova-heaptrim.so");
  const Case cases[] = {
      {"trimmer alone", plain, QString(), trimmer},
      {"before the user's own", plain, QStringLiteral("/x/libother.so"),
       trimmer + QStringLiteral(":/x/libother.so")},
      {"not twice", plain, trimmer, trimmer},
      // The loader splits LD_PRELOAD at blanks and colons.
      {"folder with a blank", blank, QStringLiteral("/x/libother.so"),
       QStringLiteral("/x/libother.so")},
      {"no trimmer beside it", bare, QString(), QString()},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESTROVA_WEBENGINE_PROCESS"), helper);
    env.remove(QStringLiteral("LD_PRELOAD"));
    if (!c.preloadBefore.isEmpty())
      env.insert(QStringLiteral("LD_PRELOAD"), c.preloadBefore);
    const ChildRun r = Start(c.folder + QStringLiteral("kestrova-webhelper"), args, env);
    EXPECT_EQ(r.exitCode, 7);  // the helper's own status
    EXPECT_EQ(r.out, given + QStringLiteral("preload=") + c.preloadAfter);
  }

  // Without the helper named, or with one that is not there: an error and
  // a status of 127, as from a shell that cannot find a program.
  for (const QString &named : {QString(), dir.filePath(QStringLiteral("none"))}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("KESTROVA_WEBENGINE_PROCESS"));
    if (!named.isEmpty())
      env.insert(QStringLiteral("KESTROVA_WEBENGINE_PROCESS"), named);
    const ChildRun r = Start(plain + QStringLiteral("kestrova-webhelper"), args, env);
    EXPECT_EQ(r.exitCode, 127);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("kestrova-webhelper: "))) << r.err.toStdString();
  }
}

TEST(WebHelperLauncher, PlayerSetsItUpUnlessTheUserNamedAHelper)
{
  const QByteArray savedPath = qgetenv("QTWEBENGINEPROCESS_PATH");
  const QByteArray savedHelper = qgetenv("KESTROVA_WEBENGINE_PROCESS");
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString folder = LauncherFolder(dir, QStringLiteral("program"), true);

  qunsetenv("QTWEBENGINEPROCESS_PATH");
  qunsetenv("KESTROVA_WEBENGINE_PROCESS");
  TFlashView::PrepareWebEngine(folder);
  EXPECT_EQ(qgetenv("QTWEBENGINEPROCESS_PATH"),
            QFile::encodeName(folder + QStringLiteral("kestrova-webhelper")));
  const QString helper = QFile::decodeName(qgetenv("KESTROVA_WEBENGINE_PROCESS"));
  EXPECT_TRUE(helper.endsWith(QStringLiteral("/QtWebEngineProcess"))) << helper.toStdString();
  EXPECT_TRUE(QFileInfo(helper).isExecutable());

  // A helper the user named stays theirs.
  qputenv("QTWEBENGINEPROCESS_PATH", "/opt/other/QtWebEngineProcess");
  qunsetenv("KESTROVA_WEBENGINE_PROCESS");
  TFlashView::PrepareWebEngine(folder);
  EXPECT_EQ(qgetenv("QTWEBENGINEPROCESS_PATH"), "/opt/other/QtWebEngineProcess");
  EXPECT_FALSE(qEnvironmentVariableIsSet("KESTROVA_WEBENGINE_PROCESS"));

  // Without the launcher the web engine starts its helper itself.
  qunsetenv("QTWEBENGINEPROCESS_PATH");
  TFlashView::PrepareWebEngine(dir.filePath(QStringLiteral("empty")));
  EXPECT_FALSE(qEnvironmentVariableIsSet("QTWEBENGINEPROCESS_PATH"));
  EXPECT_FALSE(qEnvironmentVariableIsSet("KESTROVA_WEBENGINE_PROCESS"));

  auto restore = [](const char *name, const QByteArray &value) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  };
  restore("QTWEBENGINEPROCESS_PATH", savedPath);
  restore("KESTROVA_WEBENGINE_PROCESS", savedHelper);
}

}  // namespace
