// The item record's path and address rules, the progress text, and which
// cache files the start-up pruning deletes.
#include "base/globals.h"
#include "crypto/cipher.h"
#include "player/core/cache.h"
#include "player/core/ksvplay.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ItemPaths : public ::testing::Test {
protected:
  void SetUp() override
  {
    ResetGlobals();
    ResetPlaybackState();
    ASSERT_TRUE(m_dir.isValid());
    AppDir = m_dir.path() + u'/';
    CacheDir = AppDir + "Caches/";
    DownloadDir = AppDir + "DL/";
    DownloadServerUrl = "http://127.0.0.1:9/files/";
    QDir().mkpath(CacheDir);
    QDir().mkpath(DownloadDir);
  }
  void TearDown() override
  {
    ResetGlobals();
    ResetPlaybackState();
  }
  static void Touch(const QString &path)
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("x");
  }
  QTemporaryDir m_dir;
};

TEST_F(ItemPaths, ContentAddressFolderIsTheIdOver128RoundedUp)
{
  const struct {
    const char *id;
    const char *folder;
  } cases[] = {
      {"0", "0"},   {"1", "1"},    {"127", "1"},
      {"128", "1"}, {"129", "2"},  {"256", "2"},
      {"257", "3"}, {"1000", "8"}, {"2147483647", "16777216"},
  };
  for (const auto &c : cases) {
    const QString expected = DownloadServerUrl + c.folder + u'/' +
                             EncipherText(c.id, QString::fromLatin1(ContentKey)) + ".flv";
    EXPECT_EQ(ContentAddress(c.id, ".flv"), expected) << c.id;
  }
  // One address checked against the cipher's known answer.
  TKsvPlay game;
  game.id = "1000";
  game.type = "1";
  EXPECT_EQ(ContentAddress(game), DownloadServerUrl + "8/439D5BAD48622949.swf");
}

TEST_F(ItemPaths, IdsThatAreNotDecimalDigitsNeverBecomePathsOrAddresses)
{
  for (const char *id : {"", "12a", "-5", "+5", " 12", "12 ", "1e3", "0x10", "../12", "12/..",
                         "2147483648", "99999999999", "１２"}) {
    TKsvPlay item;
    item.id = QString::fromUtf8(id);
    item.type = "1";
    item.name = "ok";
    EXPECT_FALSE(IsContentId(item.id)) << id;
    EXPECT_TRUE(ContentAddress(item).isEmpty()) << id;
    EXPECT_TRUE(CachePathOf(item).isEmpty()) << id;
  }
  EXPECT_EQ(ContentIdValue("2147483647"), 2147483647);
  EXPECT_EQ(ContentIdValue("007"), 7);
}

TEST_F(ItemPaths, CacheAndDownloadPathsAndWhichFileIsPlayed)
{
  const TKsvPlayPtr game = MakeKsvPlay("1000", "7", "小猫%20钓鱼", "1");
  EXPECT_EQ(CachePathOf(*game), CacheDir + "1000.swf");
  EXPECT_EQ(DownloadPathOf(*game), DownloadDir + "小猫 钓鱼.swf");
  EXPECT_TRUE(LocalFileOf(*game).isEmpty());

  Touch(DownloadDir + "小猫 钓鱼.swf");
  EXPECT_EQ(LocalFileOf(*game), DownloadDir + "小猫 钓鱼.swf");
  Touch(CacheDir + "1000.swf");
  EXPECT_EQ(LocalFileOf(*game), CacheDir + "1000.swf") << "the cache is looked at first";

  // A type without extension still has a cache path; an unknown type too.
  EXPECT_EQ(CachePathOf(*MakeKsvPlay("5", "1", "n", "0")), CacheDir + "5");
  EXPECT_EQ(CachePathOf(*MakeKsvPlay("5", "1", "n", "4")), CacheDir + "5.flv");
}

TEST_F(ItemPaths, NamesThatCouldLeaveTheDownloadFolderGiveNoPath)
{
  for (const char *name :
       {"", "..", "../evil", "a/b", "a\\b", "x..y", "%2e%2e", ".", "tab\there", "line\nbreak"}) {
    const TKsvPlayPtr item = MakeKsvPlay("12", "1", QString::fromUtf8(name), "1");
    const QString path = DownloadPathOf(*item);
    if (QString::fromUtf8(name) == "%2e%2e") {
      // Only "%20" is decoded: this stays a harmless literal name.
      EXPECT_EQ(path, DownloadDir + "%2e%2e.swf");
      continue;
    }
    EXPECT_TRUE(path.isEmpty()) << name;
  }
  // The cache path never uses the name.
  EXPECT_EQ(CachePathOf(*MakeKsvPlay("12", "1", "../../etc/passwd", "1")), CacheDir + "12.swf");
}

TEST(FetchText, ThousandsPatternAndProgressLine)
{
  const struct {
    double value;
    const char *text;
  } cases[] = {
      {0, ""},           {0.49, ""},          {0.5, "1"},
      {1, "1"},          {99.6, "100"},       {999, "999"},
      {1000, "1,000"},   {123456, "123,456"}, {1234567.4, "1,234,567"},
      {-1500, "-1,500"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(FormatThousands(c.value), QString::fromUtf8(c.text)) << c.value;

  EXPECT_EQ(FetchProgressText(0, 2048000), QStringLiteral("共2,000KB,已下载%"));
  EXPECT_EQ(FetchProgressText(57, 1536), QStringLiteral("共2KB,已下载57%"));
  EXPECT_EQ(FetchProgressText(100, 0), QStringLiteral("共KB,已下载100%"));
}

TEST(PruneCache, KeepsOnlyEntriesNamedAfterListedIds)
{
  const QSet<QString> ids = {"123", "1000"};
  const QStringList entries = {"123.swf", "123.flv", "1234.swf", "1000", "1000.swf.part",
                               "77.mp3",  ".hidden", "123",      "x.123"};
  EXPECT_EQ(PruneCacheVictims(entries, ids),
            (QStringList{"1234.swf", "1000.swf.part", "77.mp3", ".hidden", "x.123"}));
  EXPECT_EQ(PruneCacheVictims(entries, {}).size(), entries.size());
}

TEST_F(ItemPaths, PruneCacheFolderDeletesFilesOnly)
{
  for (const char *f : {"123.swf", "124.swf", "1000.flv", "notes.txt"})
    Touch(CacheDir + f);
  QDir().mkpath(CacheDir + "999");
  EXPECT_EQ(PruneCacheFolder(CacheDir, {"123", "1000"}), 2);
  QStringList left = QDir(CacheDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
  EXPECT_EQ(left, (QStringList{"1000.flv", "123.swf", "999"}));
  EXPECT_EQ(PruneCacheFolder(AppDir + "missing/", {}), 0);
}

}  // namespace
