// The play-list file: reading with header clamping and line checks, the
// limit trimming, and writing (GBK, CR LF, six fields, atomic replace).
#include "base/gbk.h"
#include "base/globals.h"
#include "lists/core/playlistfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QStringList ItemLines(int count, int firstId = 1)
{
  QStringList lines;
  for (int i = 0; i < count; ++i)
    lines << QStringLiteral("%1,7,game %1,,1,2024-1-1 10:00:00").arg(firstId + i);
  return lines;
}

QStringList Ids(const std::vector<TKsvPlayPtr> &items)
{
  QStringList ids;
  for (const auto &item : items)
    ids << item->id;
  return ids;
}

TEST(ListFile, HeaderIsClampedIntoTheFile)
{
  // Ten lines: the header and nine items (ids 1..9).
  const struct {
    const char *header;
    int selectedLine;
  } cases[] = {
      {"id=3", 3},   {"id=0", 1}, {"id=-5", 1}, {"id=abc", 1},  {"id=", 1},
      {"id=999", 9}, {"id=9", 9}, {"xid=4", 1}, {"id=4id=", 4},
  };
  for (const auto &c : cases) {
    QStringList lines = QStringList{QString::fromLatin1(c.header)} + ItemLines(9);
    const ParsedPlayList list = ParseListLines(lines);
    ASSERT_EQ(list.items.size(), 9u) << c.header;
    EXPECT_EQ(list.headerNumber, c.selectedLine) << c.header;
    EXPECT_EQ(list.selected, c.selectedLine - 1) << c.header;
  }
  // Without a header every line is an item and the first one is selected.
  const ParsedPlayList plain = ParseListLines(ItemLines(4));
  EXPECT_EQ(plain.items.size(), 4u);
  EXPECT_EQ(plain.selected, 0);
  EXPECT_EQ(plain.headerNumber, 0);
  // A lone header selects nothing.
  const ParsedPlayList lone = ParseListLines({"id=5"});
  EXPECT_TRUE(lone.items.empty());
  EXPECT_EQ(lone.selected, -1);
}

TEST(ListFile, ItemLinesThatFailTheChecksAreSkipped)
{
  const QStringList lines = {
      "id=2",
      "10,7,ok,,1,d",                 // kept
      "11,7,four,,",                  // five fields, empty type
      "12,7,short,1",                 // four fields
      "13,7,badtype,,x,d",            // type not a number
      ",7,noid,,1,d",                 // empty id
      "14,,nopid,,1,d",               // empty pid
      "1a,7,hexid,,1,d",              // id that is not decimal digits
      "../5,7,escape,,1,d",           // id that would leave the cache folder
      "15,7,addr,http://x/15.swf,4",  // five fields are enough; field 4 kept
      "",
  };
  const ParsedPlayList list = ParseListLines(lines);
  EXPECT_EQ(Ids(list.items), (QStringList{"10", "15"}));
  EXPECT_EQ(list.items.at(1)->address, "http://x/15.swf");
  EXPECT_EQ(list.items.at(1)->type, "4");
  // Line 2 (the selected line) was skipped, so nothing is selected.
  EXPECT_EQ(list.selected, -1);
}

TEST(ListFile, TrimmingKeepsTheLimitAroundTheSelection)
{
  struct Case {
    int items;
    int header;
    int kept;
    QString first;
    int newHeader;
  };
  const Case cases[] = {
      {150, 120, 100, "51", 70},  // fewer than 100 after the selection: keep the last 100
      {300, 11, 290, "11", 1},    // the selected item becomes the first
      {101, 1, 101, "1", 1},      // selection at the top: nothing before it to drop
      {100, 90, 100, "1", 90},    // not more than the limit: untouched
      {150, 0, 150, "1", 1},      // no header: never trimmed
  };
  for (const Case &c : cases) {
    QStringList lines = ItemLines(c.items);
    if (c.header > 0)
      lines.prepend(QStringLiteral("id=%1").arg(c.header));
    ParsedPlayList list = ParseListLines(lines);
    TrimParsedList(list, 100);
    EXPECT_EQ(int(list.items.size()), c.kept) << c.items << "/" << c.header;
    EXPECT_EQ(list.items.front()->id, c.first) << c.items << "/" << c.header;
    const QByteArray file = FormatListFile(list.items, list.selected);
    EXPECT_TRUE(file.startsWith(QStringLiteral("id=%1\r\n").arg(c.newHeader).toLatin1()))
        << c.items << "/" << c.header << ": " << file.left(10).toStdString();
  }
  // The organiser reads without a limit.
  ParsedPlayList all = ParseListLines(QStringList{"id=120"} + ItemLines(150));
  EXPECT_FALSE(TrimParsedList(all, -1));
  EXPECT_EQ(all.items.size(), 150u);
}

TEST(ListFile, WrittenAsGbkWithCrLfAndSixFields)
{
  std::vector<TKsvPlayPtr> items = {MakeKsvPlay("1000", "0701", "小猫%20钓鱼", "1", "http://x"),
                                    MakeKsvPlay("77", "0702", "儿歌", "2")};
  const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
  const QByteArray bytes = FormatListFile(items, 1, when);
  const QList<QByteArray> lines = bytes.split('\n');
  ASSERT_EQ(lines.size(), 4);  // three lines and the empty rest after the last line end
  EXPECT_TRUE(lines.last().isEmpty());
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(lines.at(i).endsWith('\r')) << i;
  EXPECT_EQ(lines.at(0), "id=2\r");
  // The name is stored with a space, in GBK; field 4 is written empty.
  EXPECT_TRUE(lines.at(1).startsWith(ToGbk("1000,0701,小猫 钓鱼,,1,")))
      << lines.at(1).toStdString();
  EXPECT_TRUE(lines.at(1).contains("14:07:09"));
  EXPECT_EQ(lines.at(1).count(','), 5);
  EXPECT_TRUE(lines.at(2).startsWith(ToGbk("77,0702,儿歌,,2,")));
  EXPECT_EQ(ToGbk("儿歌"), QByteArray("\xb6\xf9\xb8\xe8"));

  EXPECT_TRUE(FormatListFile({}, -1).isEmpty());
  EXPECT_TRUE(FormatListFile(items, -1).startsWith("id=1\r\n"));
}

TEST(ListFile, NamesWithSpacesAndCommasSurvive)
{
  QTemporaryDir dir;
  const QString path = dir.path() + "/pvlt_last.dat";
  std::vector<TKsvPlayPtr> items = {MakeKsvPlay("1", "7", "Tom and  Jerry ", "1"),
                                    MakeKsvPlay("2", "7", "a,b", "1"),
                                    MakeKsvPlay("3", "7", "熊猫 滑雪", "4")};
  ASSERT_TRUE(WriteFileAtomically(path, FormatListFile(items, 2)));
  const auto lines = ReadListLines(path);
  ASSERT_TRUE(lines.has_value());
  ASSERT_EQ(lines->size(), 4);
  const ParsedPlayList back = ParseListLines(*lines);
  // A comma in a name would shift the fields after it: it is written as a
  // full-width comma, so the line stays an item and nothing reads as damaged.
  EXPECT_EQ(Ids(back.items), (QStringList{"1", "2", "3"}));
  EXPECT_EQ(back.damagedLines, 0);
  EXPECT_EQ(back.items.at(0)->name, "Tom and  Jerry ");
  EXPECT_EQ(back.items.at(1)->name, QString::fromUtf8("a，b"));
  EXPECT_EQ(back.items.at(2)->name, "熊猫 滑雪");
  EXPECT_EQ(back.selected, 2);
}

TEST(ListFile, SaveReplacesTheFileAtomically)
{
  QTemporaryDir dir;
  const QString path = dir.path() + "/pvlt_last.dat";
  const QString link = dir.path() + "/old-view";
  ASSERT_TRUE(WriteFileAtomically(path, "id=1\r\nold\r\n"));
  // A second name for the old file: writing in place would change what it
  // shows; a new file renamed onto the path leaves it as it was.
  ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
  ASSERT_TRUE(WriteFileAtomically(path, "id=1\r\nnew\r\n"));
  QFile oldView(link), current(path);
  ASSERT_TRUE(oldView.open(QIODevice::ReadOnly));
  ASSERT_TRUE(current.open(QIODevice::ReadOnly));
  EXPECT_EQ(oldView.readAll(), "id=1\r\nold\r\n");
  EXPECT_EQ(current.readAll(), "id=1\r\nnew\r\n");
  // Nothing is left beside the file.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
  // A folder that does not exist: false, nothing created.
  EXPECT_FALSE(WriteFileAtomically(dir.path() + "/missing/pvlt_last.dat", "x"));
  // Unreadable: no lines.
  EXPECT_FALSE(ReadListLines(dir.path() + "/missing/pvlt_last.dat").has_value());
}

}  // namespace
