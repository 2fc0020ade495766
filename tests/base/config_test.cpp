#include "base/config.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "crypto/cipher.h"

#include "apptest.h"

#include <QStandardPaths>

namespace {

const QByteArray kFreshLocalIni =
    "[Info]\r\n1=0\r\n2=0\r\n3=0\r\n4=\r\n5=\r\n6=16783119\r\n7=100093\r\n"
    "8=1\r\n9=0\r\n10=\r\n11=0\r\n12=\r\n";

const QByteArray kPlatformIni =
    "[Info]\r\n1=http://127.0.0.1:18080/\r\n2=http://127.0.0.1:18080/hl/\r\n"
    "3=http://127.0.0.1:18080/\r\n4=http://127.0.0.1:18080/index.htm\r\n"
    "6=http://127.0.0.1:18080/ksvComment/userComment.do\r\n"
    "9=http://127.0.0.1:18080/ksvWsUser/UserService\r\n"
    "10=http://127.0.0.1:18080/Mp3PageHtml/Mp3PageHtml\r\n12=\r\n"
    "17=http://127.0.0.1:18080/Mp3PageHtml/DownloadAds\r\n"
    "18=http://127.0.0.1:18080/Mp3PageHtml/ad/\r\n";

}  // namespace

class ConfigTest : public AppDirTest {
protected:
  // The shipped configuration files, as an installation has them.
  void InstallShippedFiles()
  {
    const QString shipped = qEnvironmentVariable("KESTROVA_SOURCE_DIR") + "/appdir/Config/";
    ASSERT_TRUE(WriteBytes(Path("Config/pvlt_Source.ini"), ReadBytes(shipped + "pvlt_Source.ini")));
    ASSERT_TRUE(WriteBytes(Path("Config/platform.ini"), ReadBytes(shipped + "platform.ini")));
  }
  void Start()
  {
    PreparePaths(dir_);
    LoadConfiguration();
  }
};

TEST_F(ConfigTest, FreshInstallationCreatesAndReadsTheDefaults)
{
  InstallShippedFiles();
  Start();

  EXPECT_EQ(AppDir, dir_);
  EXPECT_EQ(LocalIniFile, Path("Config/local.ini"));
  EXPECT_EQ(HistoryFile, Path("Resource/Dat/pvlt_his.dat"));
  EXPECT_EQ(LastPlayedFile, Path("Resource/Dat/pvlt_last.dat"));
  for (const QString &f : {HistoryFile, LastPlayedFile}) {
    EXPECT_TRUE(QFileInfo(f).isFile()) << f.toStdString();
    EXPECT_EQ(QFileInfo(f).size(), 0);
  }

  EXPECT_EQ(StartCount, 0);
  EXPECT_EQ(RememberPassword, QStringLiteral("0"));
  EXPECT_EQ(ClientVersion, 16783119);
  EXPECT_EQ(CatalogVersion, QStringLiteral("100093"));
  EXPECT_EQ(CloseMode, QStringLiteral("1"));
  EXPECT_EQ(ListPlayMode, QStringLiteral("0"));
  EXPECT_EQ(UserName, QString());
  EXPECT_EQ(DownloadDir, Path("DL/"));
  EXPECT_EQ(CacheDir, Path("Caches/"));
  EXPECT_TRUE(QFileInfo(DownloadDir).isDir());
  EXPECT_TRUE(QFileInfo(CacheDir).isDir());

  // Still exactly the twelve keys in order, "10" and "12" filled in.
  QByteArray expected = kFreshLocalIni;
  expected.replace("10=\r\n", "10=" + ToGbk(Path("DL/")) + "\r\n");
  expected.replace("12=\r\n", "12=" + ToGbk(Path("Caches/")) + "\r\n");
  EXPECT_EQ(ReadBytes(LocalIniFile), expected);

  EXPECT_EQ(VarType, 0);
  EXPECT_EQ(ExeUpdateEnabled, 1);
  EXPECT_EQ(XmlUpdateEnabled, 1);
  EXPECT_EQ(SiteUrl, QStringLiteral("http://127.0.0.1:18080/"));
  EXPECT_EQ(ResourceBaseUrl, QStringLiteral("http://127.0.0.1:18080/hl/"));
  EXPECT_EQ(DownloadServerUrl, QStringLiteral("http://127.0.0.1:18080/"));
  EXPECT_EQ(StartPageUrl, QStringLiteral("http://127.0.0.1:18080/index.htm"));
  EXPECT_EQ(CommentUrl, QStringLiteral("http://127.0.0.1:18080/ksvComment/userComment.do"));
  EXPECT_EQ(UserServiceUrl, QStringLiteral("http://127.0.0.1:18080/ksvWsUser/UserService"));
  EXPECT_EQ(Mp3PageUrl, QStringLiteral("http://127.0.0.1:18080/Mp3PageHtml/Mp3PageHtml"));
  EXPECT_EQ(SupportUrl, QString());
  EXPECT_EQ(DownloadAdsUrl, QStringLiteral("http://127.0.0.1:18080/Mp3PageHtml/DownloadAds"));
  EXPECT_EQ(AdBaseUrl, QStringLiteral("http://127.0.0.1:18080/Mp3PageHtml/ad/"));
  EXPECT_EQ(MiniIndexUrl, QStringLiteral("http://127.0.0.1:18080/pvlt_mini_index.html"));
  EXPECT_EQ(BuildCommentAdsUrl(),
            QStringLiteral("http://127.0.0.1:18080/Mp3PageHtml/ad/0/CommentAds_1.html"));
}

TEST_F(ConfigTest, ExistingFilesAreKeptAndFoundWhateverTheirCase)
{
  const QByteArray mine = "[INFO]\r\n1=7\r\n10=/data/dl\r\n12=/data/cache/\r\n";
  ASSERT_TRUE(WriteBytes(Path("config/LOCAL.INI"), mine));
  ASSERT_TRUE(WriteBytes(Path("resource/dat/PVLT_LAST.DAT"), "list"));
  Start();
  EXPECT_EQ(LocalIniFile, Path("config/LOCAL.INI"));
  EXPECT_EQ(LastPlayedFile, Path("resource/dat/PVLT_LAST.DAT"));
  EXPECT_EQ(ReadBytes(LastPlayedFile), QByteArray("list"));
  EXPECT_EQ(ReadBytes(LocalIniFile), mine);
  EXPECT_FALSE(QFileInfo::exists(Path("Config")));
  EXPECT_EQ(StartCount, 7);
  // Keys missing from an existing file take the reader's defaults, which
  // differ from those a new file is made with.
  EXPECT_EQ(CatalogVersion, QStringLiteral("Channel"));
  EXPECT_EQ(CloseMode, QStringLiteral("0"));
  EXPECT_EQ(ClientVersion, 16783119);
  // Folders always end in '/'.
  EXPECT_EQ(DownloadDir, QStringLiteral("/data/dl/"));
  EXPECT_EQ(CacheDir, QStringLiteral("/data/cache/"));
}

// A damaged number ends the reading of the keys after it, but the folders
// are still read and set up: without them the cache and the downloads would
// land in the working folder.
TEST_F(ConfigTest, LocalIniNumbersThatAreNotNumbersEndItsReadingButNotTheFolders)
{
  const QString name = EncipherText(QStringLiteral("小明"));
  struct Case {
    const char *what;
    QByteArray ini;
    std::int32_t startCount, clientVersion;
    QString user, catalog;
    QString downloads;  // empty: the default folder DL/ under AppDir
  };
  const Case cases[] = {
      {"bad start count", "[Info]\r\n1=abc\r\n4=" + name.toLatin1() + "\r\n7=5\r\n", 0, 0,
       QString(), QString(), QString()},
      {"bad client version", "[Info]\r\n1=4\r\n4=" + name.toLatin1() + "\r\n6=1.0\r\n7=5\r\n", 4, 0,
       QStringLiteral("小明"), QString(), QString()},
      {"cut off after the start count", "[Info]\r\n1=", 0, 0, QString(), QString(), QString()},
      {"bad start count, own folder", "[Info]\r\n1=x\r\n10=/data/dl\r\n", 0, 0, QString(),
       QString(), QStringLiteral("/data/dl/")},
      {"all numbers", "[Info]\r\n1=-2\r\n4=" + name.toLatin1() + "\r\n6=100\r\n7=5\r\n", -2, 100,
       QStringLiteral("小明"), QStringLiteral("5"), QString()},
      {"damaged name", "[Info]\r\n1=1\r\n4=ZZ" + name.toLatin1() + "\r\n", 1, 16783119, QString(),
       QStringLiteral("Channel"), QString()},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ResetGlobals();
    QTemporaryDir tmp;
    const QString dir = tmp.path() + u'/';
    ASSERT_TRUE(WriteBytes(dir + "Config/local.ini", c.ini));
    PreparePaths(dir);
    LoadConfiguration();
    EXPECT_EQ(StartCount, c.startCount);
    EXPECT_EQ(ClientVersion, c.clientVersion);
    EXPECT_EQ(UserName, c.user);
    EXPECT_EQ(CatalogVersion, c.catalog);
    const QString downloads = c.downloads.isEmpty() ? dir + "DL/" : c.downloads;
    EXPECT_EQ(DownloadDir, downloads);
    EXPECT_EQ(CacheDir, dir + "Caches/");
    EXPECT_TRUE(QFileInfo(CacheDir).isDir());
    EXPECT_EQ(QFileInfo(dir + "DL").isDir(), c.downloads.isEmpty());
    EXPECT_EQ(ReadIniValue(LocalIniFile, "Info", "12"), CacheDir);
  }
}

TEST_F(ConfigTest, PasswordIsDecipheredAtLoad)
{
  ASSERT_TRUE(WriteBytes(Path("Config/local.ini"),
                         "[Info]\r\n2=1\r\n4=" + EncipherText("kid01").toLatin1() + "\r\n5=" +
                             EncipherText(QStringLiteral("密码123")).toLatin1() + "\r\n"));
  Start();
  EXPECT_EQ(RememberPassword, QStringLiteral("1"));
  EXPECT_EQ(UserName, QStringLiteral("kid01"));
  EXPECT_EQ(UserPassword, QStringLiteral("密码123"));
}

TEST_F(ConfigTest, EditionFileDecidesWhetherAddressesAreRead)
{
  struct Case {
    const char *what;
    std::optional<QByteArray> source;  // pvlt_Source.ini, none = missing
    std::int32_t varType, exeUpdate, xmlUpdate;
    QString startPage;
  };
  const Case cases[] = {
      {"missing edition file", std::nullopt, 0, 0, 0, QString()},
      {"standard edition", "[sys]\r\nvar_type=0\r\nExeUpdate=1\r\nXmlUpdate=0\r\n", 0, 1, 0,
       QStringLiteral("http://127.0.0.1:18080/index.htm")},
      {"edition 3", "[SYS]\r\nVAR_TYPE=3\r\n", 3, 1, 1,
       QStringLiteral("http://127.0.0.1:18080/index3.htm")},
      {"bad edition number", "[sys]\r\nvar_type=x\r\nExeUpdate=1\r\nXmlUpdate=1\r\n", 0, 0, 0,
       QStringLiteral("http://127.0.0.1:18080/index.htm")},
      {"bad switch after a good edition", "[sys]\r\nvar_type=2\r\nExeUpdate=yes\r\nXmlUpdate=1\r\n",
       0, 0, 0, QStringLiteral("http://127.0.0.1:18080/index.htm")},
      {"empty edition file", "", 0, 1, 1, QStringLiteral("http://127.0.0.1:18080/index.htm")},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ResetGlobals();
    QTemporaryDir tmp;
    const QString dir = tmp.path() + u'/';
    ASSERT_TRUE(WriteBytes(dir + "Config/platform.ini", kPlatformIni));
    if (c.source) {
      ASSERT_TRUE(WriteBytes(dir + "Config/pvlt_Source.ini", *c.source));
    }
    PreparePaths(dir);
    LoadConfiguration();
    EXPECT_EQ(VarType, c.varType);
    EXPECT_EQ(ExeUpdateEnabled, c.exeUpdate);
    EXPECT_EQ(XmlUpdateEnabled, c.xmlUpdate);
    EXPECT_EQ(StartPageUrl, c.startPage);
    EXPECT_EQ(SiteUrl.isEmpty(), !c.source.has_value());
    EXPECT_EQ(UserServiceUrl.isEmpty(), !c.source.has_value());
    EXPECT_EQ(MiniIndexUrl.isEmpty(), !c.source.has_value());
    EXPECT_EQ(AdBaseUrl.isEmpty(), !c.source.has_value());
    // local.ini is read either way.
    EXPECT_EQ(CatalogVersion, QStringLiteral("100093"));
  }
}

TEST_F(ConfigTest, MissingPlatformFileLeavesEveryAddressEmpty)
{
  ASSERT_TRUE(WriteBytes(Path("Config/pvlt_Source.ini"), "[sys]\r\nvar_type=2\r\n"));
  Start();
  EXPECT_EQ(VarType, 2);
  for (const QString *s :
       {&SiteUrl, &ResourceBaseUrl, &DownloadServerUrl, &StartPageUrl, &CommentUrl, &UserServiceUrl,
        &Mp3PageUrl, &SupportUrl, &DownloadAdsUrl, &AdBaseUrl, &MiniIndexUrl})
    EXPECT_EQ(*s, QString());
  EXPECT_EQ(BuildCommentAdsUrl(), QString());
}

TEST(EditionStartPage, RewritesTheIndexFileOfThePath)
{
  const struct {
    const char *page;
    int varType;
    const char *expected;
  } cases[] = {
      {"http://h:1/index.htm", 0, "http://h:1/index.htm"},
      {"http://h:1/index.htm", 3, "http://h:1/index3.htm"},
      {"http://h/kids/index.html?x=1", 2, "http://h/kids/index2.htm"},
      {"http://index.example/index.htm", 2, "http://index.example/index2.htm"},
      {"http://h/Index.htm", 2, "http://h/Index.htm"},  // the match is case-sensitive
      {"http://h/start.htm", 2, "http://h/start.htm"},  // no index file: kept
      {"http://index.example", 2, "http://index.example"},
      {"", 2, ""},
      {"index.htm", 12, "index12.htm"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(EditionStartPage(QString::fromLatin1(c.page), c.varType),
              QString::fromLatin1(c.expected))
        << c.page << ' ' << c.varType;
}

TEST_F(ConfigTest, StartCountGrowsInTheFileOnly)
{
  Start();
  StartCount = 5;
  IncrementStartCount();
  EXPECT_EQ(ReadIniValue(LocalIniFile, "Info", "1"), QStringLiteral("6"));
  EXPECT_EQ(StartCount, 5);
  EXPECT_EQ(ReadIniValue(LocalIniFile, "Info", "12"), CacheDir);  // the rest is kept

  // A deleted local.ini is not made again before the next start.
  ASSERT_TRUE(QFile::remove(LocalIniFile));
  IncrementStartCount();
  EXPECT_FALSE(QFileInfo::exists(LocalIniFile));
}

class EngineDataFileTest : public AppDirTest {
protected:
  void SetUp() override
  {
    AppDirTest::SetUp();
    ASSERT_TRUE(home_.isValid());
    oldDataHome_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.path()));
    PreparePaths(dir_);
  }
  void TearDown() override
  {
    qputenv("XDG_DATA_HOME", oldDataHome_);
    AppDirTest::TearDown();
  }
  // A sparse file of the given size: no disk space needed.
  static void MakeFile(const QString &path, qint64 size)
  {
    ASSERT_TRUE(WriteBytes(path, QByteArray()));
    QFile f(path);
    ASSERT_TRUE(f.resize(size));
  }

  QTemporaryDir home_;
  QByteArray oldDataHome_;
};

TEST_F(EngineDataFileTest, DeletedOnlyWhenLargerThanTheLimit)
{
  EXPECT_EQ(EngineDataFallbackFile(), home_.path() + "/ksvdownload/data.ksv");
  const struct {
    const char *where;
    qint64 size;
    bool kept;
  } cases[] = {
      {"download/data.ksv", EngineDataFileLimit, true},
      {"download/data.ksv", EngineDataFileLimit + 1, false},
      {"fallback", EngineDataFileLimit, true},
      {"fallback", EngineDataFileLimit + 1, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.where << ' ' << c.size);
    const QString path =
        QString::fromLatin1(c.where) == "fallback" ? EngineDataFallbackFile() : Path(c.where);
    MakeFile(path, c.size);
    CapEngineDataFile();
    EXPECT_EQ(QFileInfo::exists(path), c.kept);
    QFile::remove(path);
  }
}

TEST_F(EngineDataFileTest, TheFileInTheProgramFolderComesFirst)
{
  MakeFile(Path("Download/DATA.KSV"), 10);
  MakeFile(EngineDataFallbackFile(), EngineDataFileLimit + 1);
  CapEngineDataFile();
  EXPECT_TRUE(QFileInfo::exists(Path("Download/DATA.KSV")));
  EXPECT_TRUE(QFileInfo::exists(EngineDataFallbackFile()));  // not looked at
  CapEngineDataFile();                                       // a second time changes nothing
  EXPECT_EQ(QFileInfo(Path("Download/DATA.KSV")).size(), 10);
  EXPECT_TRUE(QFileInfo::exists(EngineDataFallbackFile()));
  ASSERT_TRUE(QFile::remove(Path("Download/DATA.KSV")));
  ASSERT_TRUE(QFile::remove(EngineDataFallbackFile()));
  // Nothing at all is no error, and nothing is made.
  CapEngineDataFile();
  EXPECT_FALSE(QFileInfo::exists(Path("Download/DATA.KSV")));
  EXPECT_FALSE(QFileInfo::exists(Path("download/data.ksv")));
  EXPECT_FALSE(QFileInfo::exists(EngineDataFallbackFile()));
  // A folder in the file's place is no data file: it and what it holds stay,
  // and the oversized file behind it in the fallback place is the one capped.
  ASSERT_TRUE(WriteBytes(Path("download/data.ksv/inside.txt"), "kept"));
  MakeFile(EngineDataFallbackFile(), EngineDataFileLimit + 1);
  CapEngineDataFile();
  EXPECT_EQ(ReadBytes(Path("download/data.ksv/inside.txt")), QByteArray("kept"));
  EXPECT_FALSE(QFileInfo::exists(EngineDataFallbackFile()));
}
