#include "base/gbk.h"
#include "base/globals.h"
#include "catalog/core/catalog.h"
#include "catalog/core/categories.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class CatalogTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp_.isValid());
    ResetGlobals();
    AppDir = tmp_.path() + u'/';
  }
  void TearDown() override { ResetGlobals(); }

  QString Write(const QString &relative, const QByteArray &bytes)
  {
    const QString path = AppDir + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    return path;
  }

  QTemporaryDir tmp_;
};

QByteArray Record(const char *id, const char *pid, const char *name, const char *num,
                  const char *type)
{
  QByteArray r = "<channel>";
  if (id)
    r += QByteArray("<id>") + id + "</id>";
  if (pid)
    r += QByteArray("<pid>") + pid + "</pid>";
  if (name)
    r += QByteArray("<name>") + name + "</name>";
  if (num)
    r += QByteArray("<num>") + num + "</num>";
  if (type)
    r += QByteArray("<type>") + type + "</type>";
  return r + "</channel>\n";
}

QByteArray Catalog(const QByteArray &records)
{
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root version=\"1\">\n" + records +
         "</root>\n";
}

QStringList Ids(const std::vector<CatalogChannel> &channels)
{
  QStringList ids;
  for (const CatalogChannel &c : channels)
    ids << c.record.id;
  return ids;
}

QStringList Texts(const std::vector<CatalogChannel> &channels)
{
  QStringList texts;
  for (const CatalogChannel &c : channels)
    texts << c.text;
  return texts;
}

}  // namespace

TEST_F(CatalogTest, VersionedFileWinsOverTheFallbackWhateverTheCase)
{
  CatalogVersion = QStringLiteral("100093");
  const QString fallback = Write(QStringLiteral("Resource/xml/Channel.xml"), Catalog(""));
  EXPECT_EQ(CatalogFilePath(), fallback);
  // The versioned file is found whatever the case of its name.
  const QString versioned = Write(QStringLiteral("Resource/xml/100093.XML"), Catalog(""));
  EXPECT_EQ(CatalogFilePath(), versioned);
  // The default version names the fallback itself.
  CatalogVersion = QStringLiteral("Channel");
  EXPECT_EQ(CatalogFilePath(), fallback);
}

TEST_F(CatalogTest, FallbackIsFoundInDifferentlySpeltFolders)
{
  CatalogVersion = QStringLiteral("100094");
  const QString fallback = Write(QStringLiteral("resource/XML/CHANNEL.xml"), Catalog(""));
  EXPECT_EQ(CatalogFilePath(), fallback);
}

TEST_F(CatalogTest, CategoryReaderKeepsFileOrderAndExactPid)
{
  const QString file = Write(
      QStringLiteral("c.xml"),
      Catalog(Record("0702", "07", "敏捷", "9", "0") + Record("070209", "0702", "跑酷", "3", "1") +
              "<!-- a comment between records -->\n" + Record("070201", "0702", "射击", "12", "1") +
              Record("070301", "0703", "塔防", "5", "1") +
              Record("070202", "0702 ", "空格", "5", "1") +
              Record("070203", "0702", "动作", "7", "4")));
  const auto channels = ReadCategoryChannels(file, QStringLiteral("0702"));
  ASSERT_TRUE(channels);
  EXPECT_EQ(Ids(*channels), (QStringList{"070209", "070201", "070203"}));
  EXPECT_EQ(Texts(*channels), (QStringList{"跑酷(3)", "射击(12)", "动作(7)"}));
  EXPECT_EQ(channels->at(2).record.type, QStringLiteral("4"));
  EXPECT_EQ(channels->at(2).record.pid, QStringLiteral("0702"));
  EXPECT_EQ(channels->at(2).record.linkIndex, -1);
}

TEST_F(CatalogTest, RecommendedViewFollowsFileOrderNotTheIdList)
{
  const QString file =
      Write(QStringLiteral("c.xml"), Catalog(Record("070814", "0708", "专辑", "4", "1") +
                                             Record("070102", "0701", "空的", "0", "1") +
                                             Record("999999", "0701", "别的", "3", "1") +
                                             Record("070106", "0701", "名字(0)", "2", "2")));
  const auto channels = ReadChannelsById(file, RecommendedChannelIds);
  ASSERT_TRUE(channels);
  // Late in the file is late in the view; empty channels stay in this view.
  EXPECT_EQ(Ids(*channels), (QStringList{"070814", "070102", "070106"}));
  EXPECT_EQ(Texts(*channels), (QStringList{"专辑(4)", "空的(0)", "名字(0)(2)"}));
  // An id asked for twice still adds its record once.
  const auto twice = ReadChannelsById(file, {QStringLiteral("070814"), QStringLiteral("070814")});
  ASSERT_TRUE(twice);
  EXPECT_EQ(Ids(*twice), QStringList{"070814"});
}

TEST_F(CatalogTest, EmptyChannelRuleNeedsALiteralZeroInParentheses)
{
  struct Case {
    const char *name, *num;
    bool hidden;
  } cases[] = {
      {"甲", "0", true},   {"乙(0)", "5", true}, {"丙", "00", false},
      {"丁", "10", false}, {"戊", "", false},    {"己(0", "1", false},
  };
  QByteArray records;
  int n = 0;
  for (const Case &c : cases)
    records += Record(QByteArray::number(70200 + ++n).prepend("0").constData(), "0702", c.name,
                      c.num, "1");
  const QString file = Write(QStringLiteral("c.xml"), Catalog(records));
  auto channels = ReadCategoryChannels(file, QStringLiteral("0702"));
  ASSERT_TRUE(channels);
  ASSERT_EQ(channels->size(), std::size(cases));
  RemoveEmptyChannels(*channels);
  QStringList kept;
  for (const Case &c : cases)
    if (!c.hidden)
      kept << ChannelNodeText(QString::fromUtf8(c.name), QString::fromUtf8(c.num));
  EXPECT_EQ(Texts(*channels), kept);
}

TEST_F(CatalogTest, MissingValuesReadAsEmptyTextAndOtherChildrenAreIgnored)
{
  const QString file = Write(
      QStringLiteral("c.xml"),
      Catalog("<x extra=\"1\"><pid>0705</pid><id>070501</id><name>无数</name><type>1</type>"
              "<note>skip<id>999999</id></note></x>\n" +
              Record("070502", "0705", "无类", "2", nullptr) +
              "<y><pid>0705</pid><id>070503</id><id>070504</id><name>A</name><num>1</num></y>"));
  const auto channels = ReadCategoryChannels(file, QStringLiteral("0705"));
  ASSERT_TRUE(channels);
  EXPECT_EQ(Ids(*channels), (QStringList{"070501", "070502", "070503"}));
  EXPECT_EQ(channels->at(0).text, QStringLiteral("无数()"));
  EXPECT_EQ(channels->at(1).record.type, QString());
}

TEST_F(CatalogTest, UnreadableOrBrokenCatalogsFail)
{
  const QByteArray good = Catalog(Record("070201", "0702", "A", "1", "1"));
  struct Case {
    const char *what;
    QByteArray bytes;
  } cases[] = {
      {"empty file", ""},
      {"not XML", "just text"},
      {"cut off", good.left(good.size() - 12)},
      {"mismatched tag", "<root><channel><id>070201</pid></channel></root>"},
      {"garbage after the root", good + "<second/>"},
  };
  for (const Case &c : cases) {
    const QString file = Write(QStringLiteral("c.xml"), c.bytes);
    EXPECT_FALSE(ReadCategoryChannels(file, QStringLiteral("0702"))) << c.what;
    EXPECT_FALSE(ReadChannelsById(file, {QStringLiteral("070201")})) << c.what;
  }
  EXPECT_FALSE(
      ReadCategoryChannels(AppDir + QStringLiteral("missing.xml"), QStringLiteral("0702")));
  // A folder in place of the file.
  QDir().mkpath(AppDir + QStringLiteral("folder.xml"));
  EXPECT_FALSE(ReadCategoryChannels(AppDir + QStringLiteral("folder.xml"), QStringLiteral("0702")));
  // Well-formed but empty of records: success with nothing.
  const QString none = Write(QStringLiteral("none.xml"), "<root/>");
  const auto empty = ReadCategoryChannels(none, QStringLiteral("0702"));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
}

TEST_F(CatalogTest, GbkDeclaredCatalogIsDecodedThroughTheSeam)
{
  const QByteArray body = "<root><c><id>070201</id><pid>0702</pid><name>" +
                          ToGbk(QStringLiteral("小游戏")) + "</name><num>3</num></c></root>";
  const QString file =
      Write(QStringLiteral("c.xml"), "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n" + body);
  const auto channels = ReadCategoryChannels(file, QStringLiteral("0702"));
  ASSERT_TRUE(channels);
  ASSERT_EQ(channels->size(), 1u);
  EXPECT_EQ(channels->at(0).text, QStringLiteral("小游戏(3)"));
}

TEST_F(CatalogTest, PageAddressFollowsTheIdAndTheColumnRule)
{
  ResourceBaseUrl = QStringLiteral("http://res.example/hl/");
  CatalogVersion = QStringLiteral("100093");
  const QString base = QStringLiteral("http://res.example/hl/100093_DL/all/");
  struct Case {
    const char *id, *type;
    int width;
    const char *tail;
  } cases[] = {
      {"070102", "1", 779, "07/0701/070102/5/1.html"},
      {"070102", "2", 779, "07/0701/070102/1.html"},
      {"070102", "4", 500, "07/0701/070102/4/1.html"},
      {"070102", "1", 750, "07/0701/070102/5/1.html"},
      {"070102", "1", 1200, "07/0701/070102/6/1.html"},
      {"070102", "1", 0, "07/0701/070102/4/1.html"},
      {"070102", "0", 1200, "07/0701/070102/1.html"},
      {"070102", "", 1200, "07/0701/070102/1.html"},
      {"070102", "11", 1200, "07/0701/070102/1.html"},
      {"07010", "1", 900, "6/1.html"},
      {"0701020", "2", 900, "1.html"},
      {"", "4", 600, "4/1.html"},
  };
  for (const Case &c : cases) {
    TC channel;
    channel.id = QString::fromLatin1(c.id);
    channel.type = QString::fromLatin1(c.type);
    EXPECT_EQ(ChannelPageAddress(channel, c.width), base + QString::fromLatin1(c.tail))
        << c.id << " type " << c.type << " width " << c.width;
  }
  EXPECT_EQ(ChannelPageColumns(599), 4);
  EXPECT_EQ(ChannelPageColumns(900), 6);
  EXPECT_EQ(ChannelPageColumns(-300), 4);
}

TEST_F(CatalogTest, LinkNodesNeverReachOutsideTheirTable)
{
  TC node;
  node.type = QStringLiteral("5=http://x");
  EXPECT_TRUE(IsLinkChannel(node));
  const QStringList table{QStringLiteral("http://a/"), QStringLiteral("http://b/")};
  for (int index : {-1, 2, 100, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
    node.linkIndex = index;
    EXPECT_EQ(LinkChannelAddress(node, table), QString()) << index;
    EXPECT_EQ(LinkChannelAddress(node, {}), QString()) << index;
  }
  node.linkIndex = 1;
  EXPECT_EQ(LinkChannelAddress(node, table), QStringLiteral("http://b/"));
  node.type = QStringLiteral("1");
  EXPECT_FALSE(IsLinkChannel(node));
}

TEST(CategoryBarTest, CodesAndPicturesInBarOrder)
{
  const QStringList codes = {"", "0702", "0703", "0703", "0704", "0705", "0706", "0708", "0707"};
  for (int n = 1; n <= 9; ++n) {
    EXPECT_EQ(CategoryBar[n - 1].number, n);
    EXPECT_EQ(CategoryCode(n), codes.at(n - 1)) << n;
  }
  EXPECT_FALSE(codes.contains(QStringLiteral("0701")));
  EXPECT_EQ(CategoryCode(0), QString());
  EXPECT_EQ(CategoryCode(10), QString());
  EXPECT_EQ(ChannelTabPicture(1, 3), QStringLiteral("Tuijian3"));
  EXPECT_EQ(ChannelTabPicture(3, 2), QStringLiteral("SmallCelue2"));
  EXPECT_EQ(ChannelTabPicture(4, 2), QStringLiteral("SmallTiyu2"));
  EXPECT_EQ(ChannelTabPicture(8, 1), QStringLiteral("SmallZhuanji1"));
  EXPECT_EQ(ChannelTabPicture(9, 3), QStringLiteral("SmallZhezhi3"));
  EXPECT_EQ(ChannelTabPicture(0, 1), QString());
}
