// Link commands: which addresses are commands, how their items and fields are
// cut, what a list command adds and plays, and what a download command asks.
#include "base/globals.h"
#include "catalog/core/linkcommand.h"
#include "crypto/cipher.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Enc(const QString &id) { return EncipherText(id, QString::fromLatin1(ContentKey)); }

const QString Page = QStringLiteral("http://127.0.0.1:8080/channel/0701/");

TEST(LinkClassify, FirstMatchingTestWinsWhateverTheCase)
{
  const struct {
    const char *address;
    LinkKind kind;
  } cases[] = {
      {"http://h/p/ID_#", LinkKind::EmptySelection},
      {"http://h/p/id_#", LinkKind::EmptySelection},
      {"http://h/p/TJID_#", LinkKind::EmptySelection},  // "ID_#" is tested first
      {"http://h/p/TJID_AB_n_1_0701", LinkKind::FullList},
      {"http://h/p/tjid_AB_n_1_0701", LinkKind::FullList},
      {"http://h/p/ID_AB_n", LinkKind::ChannelList},
      {"http://h/p/Id_AB_n", LinkKind::ChannelList},
      {"http://h/kid_x/page.html", LinkKind::ChannelList},  // any "id_" is a command
      {"http://h/p/DL_AB_n_1", LinkKind::Download},
      {"http://h/p/dl_AB_n_1", LinkKind::Download},
      {"http://h/p/ID_AB_DL_x", LinkKind::ChannelList},
      {"http://h/channel/0701.html", LinkKind::Ordinary},
      {"", LinkKind::Ordinary},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ClassifyLink(QString::fromUtf8(c.address)), c.kind) << c.address;
}

TEST(LinkSplit, DelimitedTextRule)
{
  const struct {
    const char *text;
    QStringList fields;
  } cases[] = {
      {"a_b_c", {"a", "b", "c"}},
      {"a__c", {"a", "", "c"}},
      {"a_b_", {"a", "b", ""}},  // a last separator adds one empty field
      {"_a", {"", "a"}},
      {"", {}},
      {"   ", {}},
      {"  a_b", {"a", "b"}},       // blanks before a field are skipped
      {"a b_c", {"a", "b", "c"}},  // a blank ends a field
      {"a\tb", {"a", "b"}},        // so does a control character
      {"a _ b", {"a", "b"}},
      {"a\x01_b", {"a", "b"}},
      {"\"a b\"_c", {"a b", "c"}},  // quoted fields keep blanks
      {"\"a_b\"_c", {"a_b", "c"}},  // and separators
      {"\"say \"\"hi\"\"\"_x", {"say \"hi\"", "x"}},
      {"\"open", {"open"}},           // an unclosed quote runs to the end
      {"x\"y\"_z", {"x\"y\"", "z"}},  // a quote inside a field is plain text
      {"a^b^", {"a^b^"}},             // other separators are plain text
      {"游戏%20一_二", {"游戏%20一", "二"}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(SplitDelimited(QString::fromUtf8(c.text), u'_'), c.fields) << c.text;
}

struct Item {
  QString id, name, pid, type;  // empty id: the item failed
};

std::vector<Item> Items(const QList<TKsvPlayPtr> &records)
{
  std::vector<Item> out;
  for (const auto &r : records)
    out.push_back(r ? Item{r->id, r->name, r->pid, r->type} : Item{});
  return out;
}

bool operator==(const Item &a, const Item &b)
{
  return a.id == b.id && a.name == b.name && a.pid == b.pid && a.type == b.type;
}

void PrintTo(const Item &i, std::ostream *os)
{
  *os << "{" << i.id.toStdString() << "," << i.name.toStdString() << "," << i.pid.toStdString()
      << "," << i.type.toStdString() << "}";
}

TEST(LinkItems, ChannelListItems)
{
  const QString a = Enc("100"), b = Enc("205");
  const struct {
    QString address;
    std::vector<Item> items;
  } cases[] = {
      // The name is everything after the item's first "_".
      {Page + "ID_" + a + "_abc_def", {{"100", "abc_def", "0701", "1"}}},
      // A last "," is dropped and not part of the second name.
      {Page + "ID_" + a + "_one,ID_" + b + "_two,",
       {{"100", "one", "0701", "1"}, {"205", "two", "0701", "1"}}},
      // Lower-case separator: one item whose name runs to the end.
      {Page + "id_" + a + "_one,id_" + b + "_two", {{"100", "one,id_" + b + "_two", "0701", "1"}}},
      // A raw blank ends the item; the rest (no "_", no id) fails.
      {Page + "ID_" + a + "_big game", {{"100", "big", "0701", "1"}, {}}},
      {Page + "ID_" + a + "_big%20game", {{"100", "big%20game", "0701", "1"}}},
      // Chinese names as the page holds them.
      {Page + "ID_" + a + "_小兔%20跳跳", {{"100", "小兔%20跳跳", "0701", "1"}}},
      // Ids that are not cipher text of a content id fail.
      {Page + "ID_XYZ_bad,ID_" + b + "_good", {{}, {"205", "good", "0701", "1"}}},
      {Page + "ID_" + Enc("../../etc/passwd") + "_x", {{}}},
      {Page + "ID_" + Enc("12a") + "_x", {{}}},
      {Page + "ID_" + Enc("-5") + "_x", {{}}},
      {Page + "ID_" + Enc("99999999999") + "_x", {{}}},
      {Page + "ID_", {}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Items(ParseListCommand(ClassifyLink(c.address), c.address, "0701", "1")), c.items)
        << c.address.toStdString();
}

TEST(LinkItems, FullListItems)
{
  const QString a = Enc("100"), b = Enc("205");
  const struct {
    QString address;
    std::vector<Item> items;
  } cases[] = {
      {Page + "TJID_" + a + "_one_1_0702", {{"100", "one", "0702", "1"}}},
      {Page + "TJID_" + a + "_one_1_0702,TJID_" + b + "_two_4_0705,",
       {{"100", "one", "0702", "1"}, {"205", "two", "0705", "4"}}},
      // Fewer than four fields: that item fails, the others go on.
      {Page + "TJID_" + a + "_one_1,TJID_" + b + "_two_4_0705", {{}, {"205", "two", "0705", "4"}}},
      {Page + "TJID_" + a + "_one_1_0702,TJID_" + b, {{"100", "one", "0702", "1"}, {}}},
      // Extra fields are ignored.
      {Page + "TJID_" + a + "_one_1_0702_x", {{"100", "one", "0702", "1"}}},
      {Page + "tjid_" + a + "_游戏_2_0703", {{"100", "游戏", "0703", "2"}}},
      {Page + "TJID_ZZ_one_1_0702", {{}}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Items(ParseListCommand(ClassifyLink(c.address), c.address, "0701", "1")), c.items)
        << c.address.toStdString();
}

// A play list of ids.
class FakeList : public ILinkPlayList {
public:
  explicit FakeList(QStringList ids = {}) : ids(std::move(ids)) {}
  QString Find(const QString &id) const override { return QString::number(ids.indexOf(id)); }
  bool Append(const TKsvPlayPtr &r) override
  {
    ids << r->id;
    return true;
  }
  int Count() const override { return int(ids.size()); }
  QStringList ids;
};

TEST(LinkListCommand, PlayModesDecideWhatPlays)
{
  const QString a = Enc("100"), b = Enc("205"), c3 = Enc("300");
  const QStringList five = {"1", "2", "3", "4", "5", "100"};  // "100" at 5
  const struct {
    const char *what;
    QString mode;
    QStringList list;
    QString address;
    QStringList after;
    bool page;
    int play;
    QString message;
  } cases[] = {
      {"mode 0, first present at 5, second new", "0", five, "ID_" + a + "_x,ID_" + b + "_y",
       five + QStringList{"205"}, true, 5, ""},
      {"mode 0, both new",
       "0",
       {"7"},
       "ID_" + a + "_x,ID_" + b + "_y",
       {"7", "100", "205"},
       true,
       1,
       ""},
      {"mode 0, first fails: added, nothing plays",
       "0",
       {},
       "TJID_" + a + "_x_1,TJID_" + b + "_y_1_07",
       {"205"},
       false,
       -1,
       ""},
      {"mode 0, last fails: the first still plays",
       "0",
       {},
       "ID_" + a + "_big game",
       {"100"},
       true,
       0,
       ""},
      {"mode 1, empty list, three items",
       "1",
       {},
       "ID_" + a + "_x,ID_" + b + "_y,ID_" + c3 + "_z",
       {"100", "205", "300"},
       true,
       0,
       ""},
      {"mode 1, one present in a five-node list (ID_)",
       "1",
       {"1", "2", "205", "4", "5"},
       "ID_" + a + "_x,ID_" + b + "_y,ID_" + c3 + "_z",
       {"1", "2", "205", "4", "5", "100", "300"},
       true,
       -1,
       "已加入列表"},
      {"mode 1, one present in a five-node list (TJID_)",
       "1",
       {"1", "2", "205", "4", "5"},
       "TJID_" + a + "_x_1_07,TJID_" + b + "_y_1_07,TJID_" + c3 + "_z_1_07",
       {"1", "2", "205", "4", "5", "100", "300"},
       false,
       -1,
       "已加入列表"},
      {"mode 9 is any other mode", "9", {}, "ID_" + a + "_x", {"100"}, true, 0, ""},
  };
  for (const auto &c : cases) {
    FakeList list(c.list);
    const QString address = Page + c.address;
    const LinkKind kind = ClassifyLink(address);
    const auto out = RunListCommand(kind, ParseListCommand(kind, address, "07", "1"), c.mode, list);
    EXPECT_EQ(list.ids, c.after) << c.what;
    EXPECT_EQ(out.showPlayPage, c.page) << c.what;
    EXPECT_EQ(out.playPosition, c.play) << c.what;
    EXPECT_EQ(out.message, c.message) << c.what;
  }
}

class LinkDownload : public ::testing::Test {
protected:
  void SetUp() override
  {
    ResetGlobals();
    DownloadServerUrl = "http://127.0.0.1:9/files/";
  }
  void TearDown() override { ResetGlobals(); }
};

TEST_F(LinkDownload, RecordOfACommand)
{
  const auto r = ParseDownloadCommand(Page + "DL_" + Enc("129") + "_小兔%20跳跳_1");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->id, "129");
  EXPECT_EQ(r->type, "1");
  EXPECT_EQ(r->name, "小兔%20跳跳.swf");
  EXPECT_EQ(DownloadFileName(*r), "小兔 跳跳.swf");
  EXPECT_EQ(r->address, DownloadServerUrl + "2/" + Enc("129") + ".swf");
  // Folders: ceil(id / 128).
  for (auto [id, folder] : {std::pair{"1", "1/"}, {"128", "1/"}, {"129", "2/"}}) {
    const auto f = ParseDownloadCommand("DL_" + Enc(id) + "_n_4");
    ASSERT_TRUE(f) << id;
    EXPECT_EQ(f->address, DownloadServerUrl + folder + Enc(id) + ".flv");
  }
  // An unknown type has no extension.
  const auto t = ParseDownloadCommand("DL_" + Enc("5") + "_n_7");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->name, "n");
}

TEST_F(LinkDownload, RefusedCommands)
{
  const QString a = Enc("100");
  const QString refused[] = {
      Page + "dl_" + a + "_n_1",  // a download command, but "DL_" is exact case here
      Page + "DL_" + a + "_n",    // too few fields
      Page + "DL_" + Enc("1x") + "_n_1", Page + "DL_ZZZ_n_1",
      Page + "DL_" + a + "__1",     // no name
      Page + "DL_" + a + "_%20_1",  // only a blank
      Page + "DL_" + a + "_.._1",        Page + "DL_" + a + "_a..b_1",
      Page + "DL_" + a + "_a\\b_1",      "DL_" + a + "_a/b_1",
      "DL_" + a + "_\"a/b\"_1",          "DL_" + a + "_\"a\x7f\"_1",
      "DL_" + a + "_\"a\nb\"_1",
  };
  for (const QString &address : refused) {
    EXPECT_EQ(ClassifyLink(address), LinkKind::Download) << address.toStdString();
    EXPECT_FALSE(ParseDownloadCommand(address)) << address.toStdString();
  }
}

TEST(LinkAddress, OnlyNonAsciiEscapesAreDecoded)
{
  const struct {
    const char *in, *out;
  } cases[] = {
      {"http://h/ID_AB_%E5%B0%8F%E5%85%94", "http://h/ID_AB_小兔"},
      {"http://h/ID_AB_%E5%B0%8F%20%E5%85%94", "http://h/ID_AB_小%20兔"},
      {"http://h/a%20b%23c%25", "http://h/a%20b%23c%25"},
      {"http://h/ID_AB_%D0%A1%CD%C3", "http://h/ID_AB_小兔"},  // GBK bytes
      {"http://h/ID_AB_%FF", "http://h/ID_AB_%FF"},            // neither
      {"http://h/x%E5", "http://h/x%E5"},
      {"%", "%"},
      {"%%E5%B0%8F", "%小"},
      {"http://h/ID_#", "http://h/ID_#"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(DecodeNonAsciiEscapes(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

}  // namespace
