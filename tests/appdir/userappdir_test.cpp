#include "base/config.h"
#include "base/globals.h"
#include "base/ini.h"
#include "base/userappdir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

bool Write(const QString &path, const QByteArray &bytes)
{
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray Read(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every entry below `dir` (links not followed), relative, sorted.
QStringList Tree(const QString &dir)
{
  QStringList out;
  QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                  QDirIterator::Subdirectories);
  while (it.hasNext())
    out << it.next().mid(dir.size());
  out.sort();
  return out;
}

class UserAppDirTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp_.isValid());
    program_ = tmp_.path() + QStringLiteral("/opt/kestrova/");
    user_ = tmp_.path() + QStringLiteral("/home/data/kestrova/");
    // What the package lays out (the same kinds of files, smaller).
    for (const char *f :
         {"kestrova", "libkestrova.so", "kestrova-portal", "flvplayer.swf", "ruffle/ruffle.js",
          "ruffle/core.1111.js", "Config/platform.ini", "Config/pvlt_Source.ini",
          "Resource/xml/100093.xml", "Resource/html/search/search.db",
          "Resource/html/search/stripe.js", "Resource/html/offline/OffLine.htm",
          "portal/data/channels.tsv", ".installed"})
      ASSERT_TRUE(Write(program_ + QLatin1String(f), QByteArray("installed ") + f));
    ResetGlobals();
  }
  void TearDown() override { ResetGlobals(); }

  QString P(const QString &rel) const { return program_ + rel; }
  QString U(const QString &rel) const { return user_ + rel; }
  QString LinkOf(const QString &rel) const { return QFileInfo(U(rel)).symLinkTarget(); }

  QTemporaryDir tmp_;
  QString program_, user_;
};

TEST_F(UserAppDirTest, PartsByPath)
{
  const struct {
    const char *path;
    bool folder;
    UserPart part;
  } cases[] = {
      {"kestrova", false, UserPart::Link},
      {"libkestrova.so", false, UserPart::Link},
      {"ruffle", true, UserPart::LinkedFolder},
      {"portal", true, UserPart::LinkedFolder},
      {"Config", true, UserPart::Folder},
      {"Config/platform.ini", false, UserPart::Link},
      {"Config/local.ini", false, UserPart::Copy},
      {"config/LOCAL.INI", false, UserPart::Copy},
      {"Resource/Dat", true, UserPart::Copy},
      {"Resource/dat/pvlt_favorite.xml", false, UserPart::Copy},
      {"Resource/Xml/100093.XML", false, UserPart::Copy},
      {"Resource/html/search/search.html", false, UserPart::Copy},
      {"Resource/html/search/search.db", false, UserPart::Link},
      {"Resource/html/offline/OffLine.htm", false, UserPart::Link},
      {"DL/game.swf", false, UserPart::Copy},
      {"Caches", true, UserPart::Copy},
      {"download/data.ksv", false, UserPart::Copy},
      {"backup/x", false, UserPart::Skip},
      {".installed", false, UserPart::Skip},
      {"Resource/xml/100094.xml.part", false, UserPart::Skip},
  };
  for (const auto &c : cases)
    EXPECT_EQ(UserPartOf(QString::fromLatin1(c.path), c.folder), c.part) << c.path;
}

TEST_F(UserAppDirTest, FirstStartLinksTheReadOnlyPartsAndCopiesTheWritableOnes)
{
  const UserAppDirResult r = PrepareUserAppDir(program_, user_);
  ASSERT_TRUE(r.ok()) << r.error.toStdString();

  for (const char *f : {"kestrova", "libkestrova.so", "kestrova-portal", "flvplayer.swf", "ruffle",
                        "portal", "Config/platform.ini", "Config/pvlt_Source.ini",
                        "Resource/html/search/search.db", "Resource/html/offline/OffLine.htm"}) {
    const QString rel = QLatin1String(f);
    EXPECT_EQ(LinkOf(rel), P(rel)) << f;
  }
  for (const char *d : {"Config", "Resource", "Resource/xml", "Resource/html/search"}) {
    const QFileInfo fi(U(QLatin1String(d)));
    EXPECT_TRUE(fi.isDir() && !fi.isSymLink()) << d;
  }
  const QFileInfo catalog(U(QStringLiteral("Resource/xml/100093.xml")));
  EXPECT_TRUE(catalog.isFile() && !catalog.isSymLink());
  EXPECT_TRUE(catalog.isWritable());
  EXPECT_EQ(Read(catalog.filePath()), Read(P(QStringLiteral("Resource/xml/100093.xml"))));
  EXPECT_FALSE(QFileInfo::exists(U(QStringLiteral(".installed"))));
  EXPECT_TRUE(r.added.contains(QStringLiteral("Resource/xml/100093.xml")));
  // The runtime's files, through the one folder link.
  EXPECT_EQ(Read(U(QStringLiteral("ruffle/core.1111.js"))), "installed ruffle/core.1111.js");

  // A second start finds everything in place and changes nothing.
  const QStringList before = Tree(user_);
  const UserAppDirResult again = PrepareUserAppDir(program_, user_);
  EXPECT_TRUE(again.ok());
  EXPECT_TRUE(again.added.isEmpty()) << again.added.join(u' ').toStdString();
  EXPECT_TRUE(again.removed.isEmpty());
  EXPECT_EQ(Tree(user_), before);
}

TEST_F(UserAppDirTest, UsersFilesAreNeverOverwrittenWhateverTheCaseOfTheirNames)
{
  ASSERT_TRUE(Write(P(QStringLiteral("Resource/Dat/pvlt_last.dat")), "shipped list"));
  // The user's own: a changed catalog, a list under another spelling of its
  // folder, their own platform.ini in place of the link, and a link of
  // their own.
  ASSERT_TRUE(Write(U(QStringLiteral("resource/XML/100093.xml")), "updated catalog"));
  ASSERT_TRUE(Write(U(QStringLiteral("resource/dat/pvlt_last.dat")), "my list"));
  ASSERT_TRUE(Write(U(QStringLiteral("config/platform.ini")), "my portal"));
  ASSERT_TRUE(QFile::link(tmp_.path() + QStringLiteral("/elsewhere"), U(QStringLiteral("mine"))));

  const UserAppDirResult r = PrepareUserAppDir(program_, user_);
  ASSERT_TRUE(r.ok()) << r.error.toStdString();
  EXPECT_EQ(Read(U(QStringLiteral("resource/XML/100093.xml"))), "updated catalog");
  EXPECT_EQ(Read(U(QStringLiteral("resource/dat/pvlt_last.dat"))), "my list");
  EXPECT_EQ(Read(U(QStringLiteral("config/platform.ini"))), "my portal");
  EXPECT_FALSE(QFileInfo(U(QStringLiteral("config/platform.ini"))).isSymLink());
  // No second folder beside the user's spelling of it.
  EXPECT_FALSE(QFileInfo::exists(U(QStringLiteral("Resource"))));
  EXPECT_FALSE(QFileInfo::exists(U(QStringLiteral("Config"))));
  EXPECT_EQ(LinkOf(QStringLiteral("config/pvlt_Source.ini")),
            P(QStringLiteral("Config/pvlt_Source.ini")));
  EXPECT_EQ(LinkOf(QStringLiteral("resource/html/search/search.db")),
            P(QStringLiteral("Resource/html/search/search.db")));
  EXPECT_TRUE(QFileInfo(U(QStringLiteral("mine"))).isSymLink());
}

TEST_F(UserAppDirTest, NewerInstallationAddsWhatIsMissingAndDropsLinksToWhatItRemoved)
{
  ASSERT_TRUE(PrepareUserAppDir(program_, user_).ok());
  ASSERT_TRUE(Write(U(QStringLiteral("Config/local.ini")), "[Info]\r\n1=5\r\n"));
  ASSERT_TRUE(QFile::link(tmp_.path() + QStringLiteral("/gone"), U(QStringLiteral("mine"))));

  // The upgrade: a file and a runtime piece renamed, a page and a catalog
  // added, the old catalog changed, the search page removed.
  ASSERT_TRUE(QFile::remove(P(QStringLiteral("ruffle/core.1111.js"))));
  ASSERT_TRUE(Write(P(QStringLiteral("ruffle/core.2222.js")), "new runtime"));
  ASSERT_TRUE(QFile::remove(P(QStringLiteral("Resource/html/search/stripe.js"))));
  ASSERT_TRUE(Write(P(QStringLiteral("Resource/html/offline/logo.png")), "logo"));
  ASSERT_TRUE(Write(P(QStringLiteral("Resource/xml/100094.xml")), "newer catalog"));
  ASSERT_TRUE(Write(P(QStringLiteral("Resource/xml/100093.xml")), "changed in the package"));
  ASSERT_TRUE(Write(P(QStringLiteral("kestrova")), "new executable"));

  const UserAppDirResult r = PrepareUserAppDir(program_, user_);
  ASSERT_TRUE(r.ok()) << r.error.toStdString();
  EXPECT_EQ(r.removed, QStringList{QStringLiteral("Resource/html/search/stripe.js")});
  EXPECT_FALSE(QFileInfo::exists(U(QStringLiteral("Resource/html/search/stripe.js"))) ||
               QFileInfo(U(QStringLiteral("Resource/html/search/stripe.js"))).isSymLink());
  EXPECT_EQ(LinkOf(QStringLiteral("Resource/html/offline/logo.png")),
            P(QStringLiteral("Resource/html/offline/logo.png")));
  EXPECT_EQ(Read(U(QStringLiteral("Resource/xml/100094.xml"))), "newer catalog");
  EXPECT_EQ(Read(U(QStringLiteral("Resource/xml/100093.xml"))),
            "installed Resource/xml/100093.xml");
  EXPECT_EQ(Read(U(QStringLiteral("Config/local.ini"))), "[Info]\r\n1=5\r\n");
  // Links follow the installation without being touched.
  EXPECT_EQ(Read(U(QStringLiteral("kestrova"))), "new executable");
  EXPECT_EQ(Read(U(QStringLiteral("ruffle/core.2222.js"))), "new runtime");
  // A dangling link of the user's own points elsewhere and stays.
  EXPECT_TRUE(QFileInfo(U(QStringLiteral("mine"))).isSymLink());
}

TEST_F(UserAppDirTest, PortableFolderStaysTheAppDirAndAnInstalledOneGetsTheUsersFolder)
{
  // Writable and not marked: the program's own folder, as always.
  ASSERT_TRUE(QFile::remove(P(QStringLiteral(".installed"))));
  QString problem;
  EXPECT_EQ(ChooseAppDir(program_, user_, &problem), program_);
  EXPECT_TRUE(problem.isEmpty());
  EXPECT_FALSE(QFileInfo::exists(user_));

  // Marked as installed: the per-user folder, made from the installation.
  ASSERT_TRUE(Write(P(QStringLiteral(".installed")), ""));
  EXPECT_EQ(ChooseAppDir(program_.chopped(1), user_.chopped(1), &problem), user_);
  EXPECT_TRUE(problem.isEmpty());
  EXPECT_TRUE(QFileInfo(U(QStringLiteral("kestrova"))).isSymLink());
}

TEST_F(UserAppDirTest, AFolderThatCannotBeMadeKeepsTheProgramFolderAndSaysWhy)
{
  // A file where the user's data folder should be: nobody, root included,
  // can make a folder below it.
  ASSERT_TRUE(Write(tmp_.path() + QStringLiteral("/blocked"), "a file"));
  const QString user = tmp_.path() + QStringLiteral("/blocked/kestrova/");
  QString problem;
  EXPECT_EQ(ChooseAppDir(program_, user, &problem), program_);
  EXPECT_TRUE(problem.startsWith(QStringLiteral("无法建立您的用户文件夹")))
      << problem.toStdString();
  EXPECT_TRUE(problem.contains(tmp_.path() + QStringLiteral("/blocked/kestrova/")));
}

TEST_F(UserAppDirTest, StartInTheUsersFolderWritesNothingIntoTheInstallation)
{
  const QStringList installed = Tree(program_);
  QString problem;
  PreparePaths(ChooseAppDir(program_, user_, &problem));
  LoadConfiguration();
  ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();

  EXPECT_EQ(AppDir, user_);
  EXPECT_EQ(LocalIniFile, U(QStringLiteral("Config/local.ini")));
  EXPECT_TRUE(QFileInfo(LocalIniFile).isFile() && !QFileInfo(LocalIniFile).isSymLink());
  EXPECT_TRUE(QFileInfo(LastPlayedFile).isFile() && LastPlayedFile.startsWith(user_));
  EXPECT_EQ(DownloadDir, U(QStringLiteral("DL/")));
  EXPECT_EQ(CacheDir, U(QStringLiteral("Caches/")));
  EXPECT_TRUE(QFileInfo(DownloadDir).isDir() && QFileInfo(CacheDir).isDir());
  // The configuration the client only reads comes through its links.
  EXPECT_EQ(IniFile::Load(AppDir + QStringLiteral("Config/platform.ini")).exists(), true);
  EXPECT_EQ(Tree(program_), installed);
}

TEST_F(UserAppDirTest, AUsersFolderInsideTheProgramFolderIsNotMirroredIntoItself)
{
  const QString user = program_ + QStringLiteral("home/data/kestrova/");
  ASSERT_TRUE(QDir().mkpath(user));
  const UserAppDirResult r = PrepareUserAppDir(program_, user);
  ASSERT_TRUE(r.ok()) << r.error.toStdString();
  EXPECT_FALSE(QFileInfo::exists(user + QStringLiteral("home")));
  EXPECT_TRUE(QFileInfo(user + QStringLiteral("kestrova")).isSymLink());
}

TEST(UserDataHome, FollowsXdgDataHomeWhenAbsolute)
{
  const QByteArray savedXdg = qgetenv("XDG_DATA_HOME");
  const QByteArray savedHome = qgetenv("HOME");
  qputenv("HOME", "/home/child");
  const struct {
    const char *xdg;  // nullptr: unset
    const char *expected;
  } cases[] = {{"/data/child", "/data/child/kestrova/"},
               {"/data/child/", "/data/child/kestrova/"},
               {"", "/home/child/.local/share/kestrova/"},
               {"relative/data", "/home/child/.local/share/kestrova/"},
               {nullptr, "/home/child/.local/share/kestrova/"}};
  for (const auto &c : cases) {
    if (c.xdg)
      qputenv("XDG_DATA_HOME", c.xdg);
    else
      qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(UserAppDirLocation(), QLatin1String(c.expected)) << (c.xdg ? c.xdg : "(unset)");
  }
  qputenv("XDG_DATA_HOME", savedXdg);
  qputenv("HOME", savedHome);
}

}  // namespace
