// The local search: the page against a golden file, the 50-row limit with
// its numbering and stripes, the category name rule, the keyword as a bound
// pattern, and the failures that make the search fall back.
#include "searchdb.h"

#include "base/gbk.h"
#include "base/globals.h"
#include "catalog/core/localsearch.h"
#include "crypto/cipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class LocalSearchTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(dir.isValid());
    ResetGlobals();
    AppDir = dir.path() + u'/';
    ASSERT_TRUE(QDir().mkpath(AppDir + "Resource/html/search"));
  }
  void TearDown() override { ResetGlobals(); }
  QString db() const { return AppDir + "Resource/html/search/search.db"; }
  QString page() const { return AppDir + "Resource/html/search/search.html"; }

  QTemporaryDir dir;
};

// Cells of the generated rows: number, stripe, link, title, category, channel.
struct PageRow {
  QString number, trClass, link, title, big, sub;
};
QList<PageRow> RowsOf(const QString &page)
{
  static const QRegularExpression re(QStringLiteral(
      "<TR class=\"([^\"]*)\"><TD class=first><SPAN>([^<]*)</SPAN></td> <TD "
      "class=second><a href=\"([^\"]*)\" class=\"view\"><EM>(.*?)</EM></a></td> <TD "
      "class=eight><SPAN>(.*?)</SPAN></td> <TD class=seventh><SPAN>(.*?)</SPAN></td> <TD "
      "class=fifth><a href=\"\\3\" class=\"view\"> <img src=\"playgame.png\" alt=\"玩一下\" "
      "width=\"32\" height=\"18\" /></a></td></tr>"));
  QList<PageRow> rows;
  for (auto it = re.globalMatch(page); it.hasNext();) {
    const auto m = it.next();
    rows.append(
        {m.captured(2), m.captured(1), m.captured(3), m.captured(4), m.captured(5), m.captured(6)});
  }
  return rows;
}

TEST_F(LocalSearchTest, PageOfASmallDatabaseMatchesTheGoldenFileByteForByte)
{
  ASSERT_TRUE(WriteSearchDb(
      db(),
      {{"0702", "益智游戏游戏"}, {"070205", "接物"}, {"0705", "敏捷"}, {"070513", "记忆 <翻牌>"}},
      {{"120", "接星星", "070205"},
       {"122", "星 翻牌 & <b>记忆</b>", "070513"},
       {"130", "星星\"乐园\"", "079999"},
       {"140", "月亮", "070205"}}));
  const QString result = LocalSearch(QStringLiteral("星"));
  ASSERT_EQ(result, page());
  const QByteArray written = ReadAll(page());
  const QString golden = QStringLiteral(KESTROVA_SEARCH_FIXTURES "/small_search.html");
  if (qEnvironmentVariableIsSet("KESTROVA_WRITE_GOLDEN")) {
    QFile out(golden);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(written);
  }
  const QByteArray expected = ReadAll(golden);
  ASSERT_FALSE(expected.isEmpty());
  EXPECT_EQ(written, expected);
  // The golden file is GBK with one line break at its very end.
  EXPECT_EQ(ToGbk(FromGbk(written)), written);
  EXPECT_TRUE(written.endsWith("</body></html>\r\n"));
  EXPECT_EQ(written.count('\n'), 1);

  // Rows in title order; the markup of names is text; the category "游戏"
  // rule; a missing class gives empty names.
  const QList<PageRow> rows = RowsOf(FromGbk(written));
  ASSERT_EQ(rows.size(), 3);
  EXPECT_EQ(rows[0].title, "接星星");
  EXPECT_EQ(rows[0].big, "益智类游戏");
  EXPECT_EQ(rows[0].sub, "接物");
  EXPECT_EQ(rows[0].link, "TJID_" + EncipherText("120") + "_接星星_1_070205");
  EXPECT_EQ(rows[1].title, "星 翻牌 &amp; &lt;b&gt;记忆&lt;/b&gt;");
  EXPECT_EQ(rows[1].sub, "记忆 &lt;翻牌&gt;");
  EXPECT_EQ(rows[1].big, "敏捷");
  EXPECT_EQ(rows[1].link,
            "TJID_" + EncipherText("122") + "_星 翻牌 &amp; &lt;b&gt;记忆&lt;/b&gt;_1_070513");
  EXPECT_EQ(rows[2].title, "星星&quot;乐园&quot;");
  EXPECT_EQ(rows[2].big, "");
  EXPECT_EQ(rows[2].sub, "");
}

TEST_F(LocalSearchTest, AtMostFiftyRowsInTitleOrderNumberedAndStriped)
{
  QList<TestGame> games;
  for (int i = 59; i >= 0; --i)
    games.append(
        {QString::number(1000 + i), QStringLiteral("game %1").arg(i, 2, 10, QChar('0')), "070205"});
  ASSERT_TRUE(WriteSearchDb(db(), {{"070205", "接物"}, {"0702", "益智"}}, games));
  ASSERT_EQ(LocalSearch(QStringLiteral("game")), page());
  const QList<PageRow> rows = RowsOf(FromGbk(ReadAll(page())));
  ASSERT_EQ(rows.size(), 50);
  for (int r = 1; r <= 50; ++r) {
    SCOPED_TRACE(r);
    const PageRow &row = rows[r - 1];
    EXPECT_EQ(row.number, QStringLiteral("%1").arg(r, 2, 10, QChar('0')));
    EXPECT_EQ(row.trClass, r % 2 ? "own stripe" : "own");
    EXPECT_EQ(row.title, QStringLiteral("game %1").arg(r - 1, 2, 10, QChar('0')));
    EXPECT_EQ(row.link,
              "TJID_" + EncipherText(QString::number(999 + r)) + "_" + row.title + "_1_070205");
  }
}

TEST_F(LocalSearchTest, CategoryNameLosesOnlyItsFirstGameWord)
{
  const struct {
    const char *name, *shown;
  } cases[] = {
      {"益智游戏", "益智类"},
      {"游戏游戏", "类游戏"},
      {"小游戏集", "小类集"},
      {"休闲", "休闲"},
      {"", ""},
      {"游 戏", "游 戏"},
  };
  for (const auto &c : cases) {
    const QList<PageRow> rows =
        RowsOf(SearchResultPageText({{"1", "t", "070205", "游戏", QString::fromUtf8(c.name)}}));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].big, QString::fromUtf8(c.shown)) << c.name;
    EXPECT_EQ(rows[0].sub, "游戏") << "the channel's name is shown unchanged";
  }
}

TEST_F(LocalSearchTest, KeywordIsAPatternButCannotChangeTheQuery)
{
  ASSERT_TRUE(WriteSearchDb(db(), {},
                            {{"1", "Tom's Run", "070205"},
                             {"2", "abc", "070205"},
                             {"3", "100% fun", "070205"},
                             {"4", "other", "070205"}}));
  const struct {
    const char *keyword;
    QStringList titles;  // empty: no match
  } cases[] = {
      {"'s", {"Tom's Run"}},
      {"Tom'", {"Tom's Run"}},
      {"a%c", {"abc"}},
      {"a_c", {"abc"}},
      {"%", {"100% fun", "Tom's Run", "abc", "other"}},
      {"' or '1'='1", {}},
      {"x'); drop table content; --", {}},
      {"zzz", {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.keyword);
    const QString result = LocalSearch(QString::fromUtf8(c.keyword));
    if (c.titles.isEmpty()) {
      EXPECT_EQ(result, "0");
      continue;
    }
    ASSERT_EQ(result, page());
    QStringList titles;
    for (const PageRow &row : RowsOf(FromGbk(ReadAll(page()))))
      titles.append(row.title);
    QStringList expected;
    for (const QString &t : c.titles)
      expected.append(t.toHtmlEscaped());
    EXPECT_EQ(titles, expected);
  }
  // The table is still there.
  EXPECT_EQ(LocalSearch("other"), page());
}

TEST_F(LocalSearchTest, NoMatchGivesZeroAndKeepsThePreviousPage)
{
  ASSERT_TRUE(WriteSearchDb(db(), {}, {{"1", "接星星", "070205"}}));
  ASSERT_EQ(LocalSearch("星"), page());
  const QByteArray before = ReadAll(page());
  EXPECT_EQ(LocalSearch("月亮"), "0");
  EXPECT_EQ(ReadAll(page()), before);
}

TEST_F(LocalSearchTest, DatabaseIsOnlyReadAndFoundWhateverTheCaseOfItsFolders)
{
  // Folder spelled differently from the canonical name, file read-only.
  ASSERT_TRUE(QDir(AppDir + "Resource/html").removeRecursively());
  ASSERT_TRUE(QDir().mkpath(AppDir + "Resource/HTML/Search"));
  const QString path = AppDir + "Resource/HTML/Search/search.db";
  ASSERT_TRUE(WriteSearchDb(path, {}, {{"1", "接星星", "070205"}}));
  QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  const QByteArray before = ReadAll(path);
  EXPECT_EQ(SearchDatabasePath(), path);
  const QString result = LocalSearch("星");
  EXPECT_EQ(result, AppDir + "Resource/HTML/Search/search.html");
  EXPECT_TRUE(QFileInfo(result).isFile());
  EXPECT_EQ(ReadAll(path), before);
  EXPECT_EQ(QDir(AppDir + "Resource/HTML/Search").entryList(QDir::Files),
            QStringList({"search.db", "search.html"}));
}

TEST_F(LocalSearchTest, FailuresGiveEmptyTextAndCreateNothing)
{
  // No database: nothing is created, not even an empty file.
  EXPECT_EQ(LocalSearch("星"), "");
  EXPECT_FALSE(QFileInfo::exists(db()));
  EXPECT_FALSE(QFileInfo::exists(page()));

  // Not a database.
  {
    QFile f(db());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a database file, just some text that is long enough......");
  }
  EXPECT_EQ(LocalSearch("星"), "");
  ASSERT_TRUE(QFile::remove(db()));

  // A database without the class table.
  {
    sqlite3 *h = nullptr;
    ASSERT_EQ(sqlite3_open(db().toUtf8().constData(), &h), SQLITE_OK);
    sqlite3_exec(h, "CREATE TABLE content (id TEXT, title TEXT, contentclass TEXT);", nullptr,
                 nullptr, nullptr);
    sqlite3_close(h);
  }
  EXPECT_EQ(LocalSearch("星"), "");
  EXPECT_FALSE(QFileInfo::exists(page()));
}

TEST_F(LocalSearchTest, PageThatCannotBeWrittenFailsTheSearch)
{
  ASSERT_TRUE(WriteSearchDb(db(), {}, {{"1", "接星星", "070205"}}));
  // A folder where the page should be.
  ASSERT_TRUE(QDir().mkpath(page()));
  EXPECT_EQ(LocalSearch("星"), "");
}

TEST(SearchKeyword, TrimsBlanksAndControlCharactersOnly)
{
  const struct {
    QString in, out;
  } cases[] = {
      {"  星星 ", "星星"},
      {"\t\r\n接 星星\x01\x1f", "接 星星"},
      {"a b", "a b"},
      {"   ", ""},
      {"", ""},
      {QStringLiteral("\u3000星\u3000"), QStringLiteral("\u3000星\u3000")},
  };
  for (const auto &c : cases)
    EXPECT_EQ(TrimKeyword(c.in), c.out) << c.in.toStdString();
}

}  // namespace
