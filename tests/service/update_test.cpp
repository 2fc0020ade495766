#include "servicetest.h"

#include "base/pathcase.h"
#include "service/core/update.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace {

const QByteArray kCatalog =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channels><c><id>070102</id>"
    "<pid>0701</pid><name>动作</name><num>3</num><type>1</type></c>"
    "</channels>\n";

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A program folder, a current folder, a stand-in updater script and a
// resource site in local folders; the seams record what the handling does.
class UpdateCheck : public FreshAppDir {
protected:
  void SetUp() override
  {
    FreshAppDir::SetUp();
    ExeUpdateEnabled = 1;
    XmlUpdateEnabled = 1;
    CatalogVersion = QStringLiteral("100093");
    SiteUrl = QStringLiteral("http://portal.example");
    site_ = dir_ + QStringLiteral("site/");
    ResourceBaseUrl = site_;
    cwd_ = dir_ + QStringLiteral("cwd/");
    QDir().mkpath(cwd_);
    // The installed catalog is there, so the catalog step has nothing to do
    // unless a test says otherwise.
    ASSERT_TRUE(WriteFile(dir_ + QStringLiteral("Resource/xml/100093.xml"), kCatalog));

    seams_.showInfo = [this](const QString &t) { log_.append(QStringLiteral("info ") + t); };
    seams_.askYesNo = [this](const QString &t) {
      log_.append(QStringLiteral("ask ") + t);
      return answer_;
    };
    seams_.startQuitTimer = [this] { log_.append(QStringLiteral("Timer1")); };
    seams_.requestWebService = [this] { log_.append(QStringLiteral("wsClientLogin")); };
    seams_.currentDir = cwd_;
  }

  // A script named KsvUpdate.exe in `folder` that writes its arguments, one
  // a line, to `folder`/args.txt.
  QString PutUpdater(const QString &folder)
  {
    const QString path = folder + UpdaterFileName;
    EXPECT_TRUE(WriteFile(path,
                          "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.tmp\"\n"
                          "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args.txt\"\n"));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
  }

  // The arguments the updater in `folder` received, waiting for it a while.
  QStringList UpdaterArgs(const QString &folder)
  {
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(folder + QStringLiteral("args.txt")) && t.elapsed() < 10000)
      QThread::msleep(10);
    QString text = QString::fromUtf8(ReadFile(folder + QStringLiteral("args.txt")));
    if (text.endsWith(QLatin1Char('\n')))
      text.chop(1);
    return text.split(QLatin1Char('\n'));
  }

  void PutSiteCatalog(const QString &version, const QByteArray &bytes)
  {
    ASSERT_TRUE(WriteFile(
        site_ + version + QStringLiteral("/all/") + version + QStringLiteral(".XML"), bytes));
  }

  QString site_, cwd_;
  UpdateSeams seams_;
  QStringList log_;
  bool answer_ = true;
};

TEST(UpdaterCommandLine, OneWordPerActionThenTheVersion)
{
  EXPECT_EQ(UpdaterArguments(1, 7), (QStringList{"UPDATE_VERSION_HIDE", "7"}));
  EXPECT_EQ(UpdaterArguments(2, 12), (QStringList{"UPDATE_VERSION_SHOW", "12"}));
  EXPECT_EQ(UpdaterArguments(3, 0), (QStringList{"UPDATE_VERSION_NOTE", "0"}));
  EXPECT_EQ(UpdaterArguments(4, -3), (QStringList{"UPDATE_VERSION_NOTE_AND_HIDE", "-3"}));
  EXPECT_TRUE(UpdaterArguments(5, 1).isEmpty());
  EXPECT_TRUE(UpdaterArguments(1460, 1).isEmpty());
}

// Each action with the updater present, run for real: what is asked and
// told, whether the program ends, whether the catalog step and the web
// service request follow, and the arguments the updater saw.
TEST_F(UpdateCheck, ActionTableWithTheUpdaterPresent)
{
  struct Case {
    int action;
    bool answer;
    QStringList log;
    bool updaterRuns;
    QStringList args;
    bool catalogStep;  // reached: the missing catalog of version L is fetched
  };
  const QString ask = QStringLiteral("ask ") + MsgUpdateAsk;
  const QString askBg = QStringLiteral("ask ") + MsgUpdateAskBackground;
  const Case cases[] = {
      {1, true, {}, true, {"UPDATE_VERSION_HIDE", "41"}, true},
      {2,
       true,
       {QStringLiteral("info ") + MsgUpdateClosing, "Timer1"},
       true,
       {"UPDATE_VERSION_SHOW", "41"},
       false},
      {3, true, {ask, "Timer1"}, true, {"UPDATE_VERSION_NOTE", "41"}, false},
      {3, false, {ask}, false, {}, true},
      {4, true, {askBg}, true, {"UPDATE_VERSION_NOTE_AND_HIDE", "41"}, true},
      {4, false, {askBg}, false, {}, true},
      {0, true, {}, false, {}, true},
      {1460, true, {"wsClientLogin"}, false, {}, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "action " << c.action << (c.answer ? " yes" : " no"));
    log_.clear();
    answer_ = c.answer;
    // Action 1 looks in AppDir, the others in the current folder; the other
    // folder holds an updater too, which must not be the one started.
    const QString folder = c.action == 1 ? dir_ : cwd_;
    PutUpdater(dir_);
    PutUpdater(cwd_);
    QFile::remove(dir_ + QStringLiteral("args.txt"));
    QFile::remove(cwd_ + QStringLiteral("args.txt"));
    QFile::remove(ResolveCase(dir_ + QStringLiteral("Resource/xml/100093.xml")));
    PutSiteCatalog(QStringLiteral("100093"), kCatalog);

    HandleVersionInfo(c.action, 100093, 55, 41, seams_);
    EXPECT_EQ(ServiceNumber, 55);
    EXPECT_EQ(log_, c.log);
    if (c.updaterRuns) {
      EXPECT_EQ(UpdaterArgs(folder), c.args);
    }
    QThread::msleep(c.updaterRuns ? 0 : 300);
    const QString other = c.action == 1 ? cwd_ : dir_;
    EXPECT_FALSE(QFile::exists(other + QStringLiteral("args.txt")));
    if (!c.updaterRuns) {
      EXPECT_FALSE(QFile::exists(folder + QStringLiteral("args.txt")));
    }
    EXPECT_EQ(QFile::exists(ResolveCase(dir_ + QStringLiteral("Resource/xml/100093.xml"))),
              c.catalogStep);
  }
}

// No updater file of that exact name: the message with the site address,
// the program ends, nothing else runs.
TEST_F(UpdateCheck, MissingUpdaterEndsTheProgram)
{
  PutUpdater(cwd_);
  ASSERT_TRUE(QFile::rename(cwd_ + UpdaterFileName, cwd_ + QStringLiteral("ksvupdate.exe")));
  for (int action : {1, 2, 3, 4}) {
    SCOPED_TRACE(action);
    log_.clear();
    HandleVersionInfo(action, 100094, 1, 2, seams_);
    QStringList expected;
    if (action == 3)
      expected << QStringLiteral("ask ") + MsgUpdateAsk;
    if (action == 4)
      expected << QStringLiteral("ask ") + MsgUpdateAskBackground;
    expected << QStringLiteral("info 系统遭破坏,请到官网下载重新安装。\n\rhttp://portal.example")
             << QStringLiteral("Timer1");
    EXPECT_EQ(log_, expected);
  }
  // A folder of that name is no updater either.
  QDir().mkpath(dir_ + UpdaterFileName);
  log_.clear();
  HandleVersionInfo(1, 100093, 1, 2, seams_);
  EXPECT_EQ(log_.size(), 2);
}

TEST_F(UpdateCheck, ProgramUpdateSwitchedOffSkipsToTheCatalogStep)
{
  ExeUpdateEnabled = 0;
  PutSiteCatalog(QStringLiteral("100094"), kCatalog);
  QStringList started;
  seams_.startProgram = [&](const QString &p, const QStringList &) {
    started.append(p);
    return true;
  };
  for (int action : {1, 2, 3, 4})
    HandleVersionInfo(action, 100094, 1, 2, seams_);
  EXPECT_TRUE(log_.isEmpty());
  EXPECT_TRUE(started.isEmpty());
  EXPECT_TRUE(QFile::exists(dir_ + QStringLiteral("Resource/xml/100094.XML")));
  // 1460 passes step 2 like any other code and still asks the service (the
  // catalog of version L went to Channel.xml above and is fetched again).
  ExeUpdateEnabled = 1;
  PutSiteCatalog(QStringLiteral("100093"), kCatalog);
  HandleVersionInfo(1460, 100093, 1, 2, seams_);
  EXPECT_EQ(log_, QStringList{QStringLiteral("wsClientLogin")});
}

// The catalog step's cases: L < C fetches C and keeps L as Channel.xml, L = C
// with the file present fetches nothing, XmlUpdateEnabled 0 does nothing.
TEST_F(UpdateCheck, CatalogStepCases)
{
  const QString xml = dir_ + QStringLiteral("Resource/xml/");
  ASSERT_TRUE(WriteFile(xml + QStringLiteral("Channel.xml"), "<old/>"));
  QStringList fetched;
  seams_.fetchCatalog = [&](const QString &a, const QString &d, std::int32_t v) {
    fetched.append(QStringLiteral("%1 -> %2 (%3)").arg(a, QString(d).remove(dir_)).arg(v));
    return FetchCatalog(a, d, v);
  };

  // L = C, file present.
  HandleVersionInfo(0, 100093, 1, 2, seams_);
  EXPECT_TRUE(fetched.isEmpty());
  // L > C, file present.
  HandleVersionInfo(0, 100090, 1, 2, seams_);
  EXPECT_TRUE(fetched.isEmpty());
  // L < C, catalog updates off.
  XmlUpdateEnabled = 0;
  HandleVersionInfo(0, 100094, 1, 2, seams_);
  EXPECT_TRUE(fetched.isEmpty());
  EXPECT_EQ(Ini("7"), QStringLiteral("100093"));

  // L < C: fetched from .../C/all/C.XML, saved as C.XML, recorded, and the
  // old catalog replaces Channel.xml.
  XmlUpdateEnabled = 1;
  PutSiteCatalog(QStringLiteral("100094"), kCatalog);
  HandleVersionInfo(1460, 100094, 1, 2, seams_);
  EXPECT_EQ(fetched, QStringList{site_ + QStringLiteral("100094/all/100094.XML -> "
                                                        "Resource/xml/100094.XML (100094)")});
  EXPECT_TRUE(QFile::exists(xml + QStringLiteral("100094.XML")));
  EXPECT_EQ(Ini("7"), QStringLiteral("100094"));
  EXPECT_FALSE(QFile::exists(xml + QStringLiteral("100093.xml")));
  EXPECT_EQ(ReadFile(xml + QStringLiteral("Channel.xml")), kCatalog);
  EXPECT_EQ(CatalogVersion, QStringLiteral("100093"));  // takes effect at the next start
  EXPECT_EQ(log_, QStringList{QStringLiteral("wsClientLogin")});
}

// A download that is not a catalog never replaces the working one; the
// handling stops there (no rename, no key "7", no web service request).
TEST_F(UpdateCheck, BrokenCatalogDownloadChangesNothing)
{
  const QString xml = dir_ + QStringLiteral("Resource/xml/");
  ASSERT_TRUE(WriteFile(xml + QStringLiteral("Channel.xml"), "<old/>"));
  ASSERT_TRUE(WriteFile(xml + QStringLiteral("100094.XML"), "<keep><c><id>1</id></c></keep>"));
  const QByteArray broken[] = {
      kCatalog.left(kCatalog.size() / 2),                     // cut short
      QByteArray("<html><body>404 Not Found</body></html>"),  // an error page
      QByteArray(),                                           // empty
      QByteArray("<a><id>1</id></a><b/>"),                    // two roots
      QByteArray("<!DOCTYPE x [<!ENTITY e 'x'>]><x><c><id>&e;</id></c></x>"),
  };
  for (const QByteArray &body : broken) {
    SCOPED_TRACE(body.toStdString());
    log_.clear();
    PutSiteCatalog(QStringLiteral("100094"), body);
    HandleVersionInfo(1460, 100094, 1, 2, seams_);
    EXPECT_EQ(ReadFile(xml + QStringLiteral("100094.XML")), "<keep><c><id>1</id></c></keep>");
    EXPECT_EQ(ReadFile(xml + QStringLiteral("Channel.xml")), "<old/>");
    EXPECT_TRUE(QFile::exists(xml + QStringLiteral("100093.xml")));
    EXPECT_EQ(Ini("7"), QStringLiteral("100093"));
    EXPECT_TRUE(log_.isEmpty());
    // No temporary file is left behind.
    EXPECT_EQ(QDir(xml).entryList(QDir::Files).size(), 3);
  }
  // Unreachable site.
  ResourceBaseUrl = QStringLiteral("http://127.0.0.1:9/hl/");
  HandleVersionInfo(1460, 100094, 1, 2, seams_);
  EXPECT_EQ(Ini("7"), QStringLiteral("100093"));
  EXPECT_TRUE(log_.isEmpty());
}

TEST_F(UpdateCheck, CatalogVersionNotANumberSkipsTheRest)
{
  CatalogVersion = QStringLiteral("Channel");
  bool fetched = false;
  seams_.fetchCatalog = [&](const QString &, const QString &, std::int32_t) {
    fetched = true;
    return true;
  };
  HandleVersionInfo(1460, 100094, 8, 2, seams_);
  EXPECT_EQ(ServiceNumber, 8);
  EXPECT_FALSE(fetched);
  EXPECT_TRUE(log_.isEmpty());
}

TEST(CatalogDocument, WellFormedWithOneRootAndRecords)
{
  EXPECT_TRUE(IsCatalogDocument(kCatalog));
  EXPECT_TRUE(IsCatalogDocument("<any><r><x/><id/></r></any>"));
  EXPECT_FALSE(IsCatalogDocument("<any/>"));
  EXPECT_FALSE(IsCatalogDocument("<any><id>1</id></any>"));
  EXPECT_FALSE(IsCatalogDocument("<any><r><id>1</id></r>"));
  EXPECT_FALSE(IsCatalogDocument("not xml"));
}

TEST_F(UpdateCheck, WebServiceAnswerIsHandledLikeAnEngineReport)
{
  FakeUserService service;
  ClientVersion = 16783119;
  ExeUpdateEnabled = 0;
  service.version.curResult = 1;
  service.version.versionFlag = 1460;
  service.version.lastVersionID = 100093;
  service.version.upVersionID = QStringLiteral("12");
  EXPECT_TRUE(RequestVersionInfo(&service, 31, seams_));
  EXPECT_EQ(service.calls, QStringList{QStringLiteral("clientByVersion 1.0.23.15 31")});
  EXPECT_EQ(ServiceNumber, 31);
  EXPECT_EQ(log_, QStringList{QStringLiteral("wsClientLogin")});

  // Refusals, a version that is not a number, errors: nothing changes.
  log_.clear();
  ServiceNumber = 0;
  service.version.curResult = 0;
  EXPECT_FALSE(RequestVersionInfo(&service, 31, seams_));
  service.version.curResult = 1;
  service.version.upVersionID = QStringLiteral("x12");
  EXPECT_FALSE(RequestVersionInfo(&service, 31, seams_));
  service.failWith = "fault";
  EXPECT_FALSE(RequestVersionInfo(&service, 31, seams_));
  EXPECT_FALSE(RequestVersionInfo(nullptr, 31, seams_));
  EXPECT_EQ(ServiceNumber, 0);
  EXPECT_TRUE(log_.isEmpty());
}

}  // namespace
