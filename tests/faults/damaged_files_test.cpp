// Every stored file of the client damaged before a start: replaced by random
// bytes or cut off in the middle.  The window still starts, nothing damaged
// is overwritten before the user changes something, what can be kept is
// kept (the cache of a list that could not be read whole, a damaged list
// once the user changes it), and the user is told where something was put
// aside or cannot work.
#include "uitest.h"
#include "waitfor.h"

#include "base/routines.h"
#include "catalog/searchbox.h"
#include "lists/core/favoritesfile.h"
#include "lists/core/playlistfile.h"
#include "lists/favorites.h"
#include "lists/playback.h"
#include "lists/playlist.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <QTreeWidget>
#include <sqlite3.h>

namespace {

// A search database with the two tables the client reads.
bool WriteSearchDb(const QString &path)
{
  sqlite3 *db = nullptr;
  bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
            sqlite3_exec(db,
                         "CREATE TABLE contentclass (contentclass TEXT PRIMARY KEY, classname "
                         "TEXT);CREATE TABLE content (id TEXT PRIMARY KEY, title TEXT, "
                         "contentclass TEXT);INSERT INTO contentclass VALUES ('0701', '益智');"
                         "INSERT INTO content VALUES ('120', '接星星', '0701');"
                         "INSERT INTO content VALUES ('121', '连连看', '0701');",
                         nullptr, nullptr, nullptr) == SQLITE_OK;
  ok = sqlite3_close(db) == SQLITE_OK && ok;
  return ok;
}

enum class Damage { RandomBytes, CutInHalf, CutAfterTenBytes };
constexpr Damage kDamages[] = {Damage::RandomBytes, Damage::CutInHalf, Damage::CutAfterTenBytes};

const char *DamageName(Damage d)
{
  switch (d) {
  case Damage::RandomBytes:
    return "random bytes";
  case Damage::CutInHalf:
    return "cut in half";
  case Damage::CutAfterTenBytes:
    return "cut after ten bytes";
  }
  return "";
}

QByteArray Damaged(const QByteArray &bytes, Damage d, quint32 seed)
{
  if (d == Damage::CutInHalf)
    return bytes.left(bytes.size() / 2);
  if (d == Damage::CutAfterTenBytes)
    return bytes.left(10);
  QRandomGenerator random(seed);
  QByteArray out(qMax<qsizetype>(bytes.size(), 64), '\0');
  for (char &c : out)
    c = static_cast<char>(random.bounded(256));
  return out;
}

QByteArray ReadBytes(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The files of a program folder that has been used for a while: settings,
// a play list of three items (the first one cached), two favorites, the
// catalog, the search database and the engine's data file.
struct UsedFolder {
  QString dir;
  QString path(const char *relative) const { return dir + QLatin1String(relative); }

  bool make() const
  {
    const QString closed = QStringLiteral("http://127.0.0.1:9/");  // nobody listens there
    bool ok =
        WriteFile(path("Config/local.ini"),
                  "[Info]\r\n1=5\r\n2=0\r\n3=0\r\n4=\r\n5=\r\n6=16783119\r\n7=100093\r\n"
                  "8=1\r\n9=0\r\n10=" +
                      path("DL/").toUtf8() + "\r\n11=0\r\n12=" + path("Caches/").toUtf8() + "\r\n");
    ok = ok && WriteFile(path("Config/pvlt_Source.ini"),
                         "[sys]\r\nvar_type=0\r\nExeUpdate=1\r\nXmlUpdate=1\r\n");
    QByteArray platform = "[Info]\r\n";
    for (const char *key : {"1", "2", "3", "4", "6", "9", "10", "17", "18"})
      platform += QByteArray(key) + '=' + closed.toLatin1() + "\r\n";
    ok = ok && WriteFile(path("Config/platform.ini"), platform);
    ok = ok && WriteFile(path("Resource/Dat/pvlt_last.dat"), FormatListFile(PlayList(), 1));
    ok = ok && WriteFile(path("Caches/120.swf"), QByteArray(5000, 'S'));
    ok = ok && WriteFile(path("Resource/Dat/pvlt_favorite.xml"),
                         FormatFavoritesXml({MakeKsvPlay("300", "0701", "收藏一", "1"),
                                             MakeKsvPlay("301", "0701", "收藏 二", "4")}));
    ok = ok && WriteFile(path("Resource/xml/100093.xml"),
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>"
                         "<c><id>070102</id><pid>0701</pid><name>儿歌</name><num>2</num>"
                         "<type>2</type></c>"
                         "<c><id>070205</id><pid>0702</pid><name>跑跳</name><num>3</num>"
                         "<type>1</type></c></root>\n");
    ok = ok && QDir().mkpath(path("Resource/html/search"));
    ok = ok && WriteSearchDb(path("Resource/html/search/search.db"));
    ok = ok && WriteFile(path("download/data.ksv"), QByteArray(4096, 'K'));
    return ok;
  }
  static std::vector<TKsvPlayPtr> PlayList()
  {
    return {MakeKsvPlay("120", "0701", "接星星", "1"), MakeKsvPlay("121", "0701", "连连 看", "1"),
            MakeKsvPlay("122", "0702", "儿歌", "4")};
  }
};

class DamagedFilesTest : public MainWindowTest {
protected:
  // A new round on a folder of its own: the window of the last round gone,
  // the globals reset, no boxes yet.
  void NewRound()
  {
    TfrmWinTemplate::SetMainWindow(nullptr);
    window_.reset();
    ResetGlobals();
    desktop_->recordBoxes = true;
    desktop_->entries.clear();
    rounds_.push_back(std::make_unique<QTemporaryDir>());
    dir_ = rounds_.back()->path() + u'/';
  }
  // Starts the window on the folder as it is now: paths, configuration,
  // creation, first showing.
  TfrmMain &Start()
  {
    PreparePaths(dir_);
    LoadConfig();
    TfrmMain &w = Window();
    w.life->FormCreate();
    w.show();
    QCoreApplication::processEvents();
    return w;
  }
  QStringList Boxes() const { return desktop_->infoTexts(); }

  std::vector<std::unique_ptr<QTemporaryDir>> rounds_;
};

}  // namespace

TEST_F(DamagedFilesTest, ClientStartsAndOverwritesNothingItCouldNotRead)
{
  const char *const files[] = {
      "Config/local.ini",
      "Config/pvlt_Source.ini",
      "Config/platform.ini",
      "Resource/Dat/pvlt_last.dat",
      "Resource/Dat/pvlt_favorite.xml",
      "Resource/xml/100093.xml",
      "Resource/html/search/search.db",
      "download/data.ksv",
      "Caches/120.swf",
  };
  quint32 seed = 1;
  for (const char *file : files) {
    for (const Damage damage : kDamages) {
      SCOPED_TRACE(std::string(file) + ", " + DamageName(damage));
      NewRound();
      const UsedFolder folder{dir_};
      ASSERT_TRUE(folder.make());
      const QString target = folder.path(file);
      const QByteArray bad = Damaged(ReadBytes(target), damage, ++seed);
      ASSERT_TRUE(WriteFile(target, bad));

      TfrmMain &w = Start();
      // The window is up and said nothing at start.
      EXPECT_TRUE(w.isVisible());
      EXPECT_EQ(Boxes(), QStringList());
      // Cache and downloads have folders of their own (a cut local.ini may
      // name another one), never the working folder.
      for (const QString &folder : {CacheDir, DownloadDir})
        EXPECT_TRUE(QDir::isAbsolutePath(folder) && folder.endsWith(u'/')) << folder.toStdString();
      // What could not be read is still on the disk as it was (local.ini
      // gets its start count and folders written into it, keeping the rest).
      if (qstrcmp(file, "Config/local.ini") != 0) {
        EXPECT_EQ(ReadBytes(target), bad);
      } else {
        const QByteArray now = ReadBytes(target);
        const QList<QByteArray> lines = bad.split('\n');
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {  // the whole lines
          if (!lines[i].startsWith("1=")) {
            EXPECT_TRUE(now.contains(lines[i] + '\n')) << lines[i].toStdString();
          }
        }
      }
      // The cached game of the list is kept: pruning needs a list that was
      // read whole.
      EXPECT_TRUE(QFileInfo::exists(folder.path("Caches/120.swf")));
      if (qstrcmp(file, "Resource/Dat/pvlt_last.dat") != 0) {
        EXPECT_EQ(w.playback->list->tvPlayList->topLevelItemCount(), 3);
      }
    }
  }
}

// The user's two lists: a damaged file is replaced only when the user
// changes the list, and then its bytes are kept beside it first and the user
// is told under which name.
TEST_F(DamagedFilesTest, DamagedListsAreKeptAsideWhenTheUserChangesThem)
{
  struct Case {
    const char *file;
    QString told;
    std::function<void(TfrmMain &)> change;
    std::function<bool(const QByteArray &)> newFileGood;
  };
  const TKsvPlayPtr game = MakeKsvPlay("130", "0703", "新游戏", "1");
  const Case cases[] = {
      {"Resource/Dat/pvlt_last.dat",
       QStringLiteral("原\"游戏记录\"文件已损坏,部分内容无法读取,已另存为pvlt_last.dat_damaged。"),
       [&](TfrmMain &w) { w.playback->list->AddPlayedItem(game); },
       [](const QByteArray &bytes) {
         const ParsedPlayList list = ParseListLines(QString::fromUtf8(bytes).split("\r\n"));
         return list.damagedLines == 0 && !list.items.empty() && list.items.back()->id == u"130";
       }},
      {"Resource/Dat/pvlt_favorite.xml",
       QStringLiteral("原\"我的收藏\"文件已损坏,无法读取,已另存为pvlt_favorite.xml_damaged。"),
       [&](TfrmMain &w) {
         CurrentItem = game;
         w.playback->favorites->imgFavorite2MouseDown();
       },
       [](const QByteArray &bytes) {
         const FavoritesRead read = ParseFavoritesXml(bytes);
         return read.status == FavoritesRead::Loaded && read.items.size() == 1 &&
                read.items.front()->id == u"130";
       }},
  };
  quint32 seed = 100;
  for (const Case &c : cases) {
    for (const Damage damage : kDamages) {
      SCOPED_TRACE(std::string(c.file) + ", " + DamageName(damage));
      NewRound();
      const UsedFolder folder{dir_};
      ASSERT_TRUE(folder.make());
      const QString target = folder.path(c.file);
      const QByteArray bad = Damaged(ReadBytes(target), damage, ++seed);
      ASSERT_TRUE(WriteFile(target, bad));

      TfrmMain &w = Start();
      EXPECT_EQ(Boxes(), QStringList());
      EXPECT_EQ(ReadBytes(target), bad);
      c.change(w);
      EXPECT_TRUE(WaitFor([&] { return Boxes().contains(c.told); }, 10000))
          << Boxes().join(u'|').toStdString();
      EXPECT_EQ(Boxes().count(c.told), 1);
      EXPECT_EQ(ReadBytes(target + "_damaged"), bad);
      EXPECT_TRUE(c.newFileGood(ReadBytes(target)));
      // Told once: the next change replaces the now sound file quietly.
      c.change(w);
      QCoreApplication::processEvents();
      EXPECT_EQ(Boxes().count(c.told), 1);
      EXPECT_FALSE(QFileInfo::exists(target + "_damaged2"));
    }
  }
}

// A search database that cannot be read: the search asks the portal, which
// does not answer here, and the user is told the search did not work.
TEST_F(DamagedFilesTest, DamagedSearchDatabaseEndsInAMessage)
{
  NewRound();
  const UsedFolder folder{dir_};
  ASSERT_TRUE(folder.make());
  const QString db = folder.path("Resource/html/search/search.db");
  const QByteArray bad = Damaged(ReadBytes(db), Damage::RandomBytes, 7);
  ASSERT_TRUE(WriteFile(db, bad));
  TfrmMain &w = Start();
  w.search->edtkey->setText(QStringLiteral("星星"));
  w.search->imgSearchClick();
  EXPECT_TRUE(WaitFor([&] { return !Boxes().isEmpty(); }, 30000));
  EXPECT_EQ(Boxes(), QStringList{QStringLiteral("未能正常查询,请稍后再试。")});
  EXPECT_EQ(ReadBytes(db), bad);
}
