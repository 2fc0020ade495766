// The portal's addresses: pages, link commands in them, content files,
// catalog files, and refusal of bad paths.
#include "harness.h"

#include "base/gbk.h"
#include "crypto/cipher.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <QXmlStreamReader>

namespace {

QString ContentPath(int id, const char *ext, int folder = -1)
{
  return QStringLiteral("/%1/%2.%3")
      .arg(folder >= 0 ? folder : (id + 127) / 128)
      .arg(EncipherText(QString::number(id)), QLatin1String(ext));
}

struct CatalogRecord {
  QString id, pid, name, num, type;
};

QList<CatalogRecord> ParseCatalog(const QByteArray &xml)
{
  QList<CatalogRecord> out;
  QXmlStreamReader r(xml);
  r.readNextStartElement();  // document element
  while (r.readNextStartElement()) {
    CatalogRecord rec;
    while (r.readNextStartElement()) {
      const QString v = r.readElementText();
      if (r.name() == u"id")
        rec.id = v;
      else if (r.name() == u"pid")
        rec.pid = v;
      else if (r.name() == u"name")
        rec.name = v;
      else if (r.name() == u"num")
        rec.num = v;
      else if (r.name() == u"type")
        rec.type = v;
    }
    out.append(rec);
  }
  EXPECT_FALSE(r.hasError()) << r.errorString().toStdString();
  return out;
}

QStringList Hrefs(const QByteArray &html, const QString &prefix)
{
  QStringList out;
  static const QRegularExpression re(QStringLiteral("(?:href|value)=\"([^\"]*)\""));
  for (auto it = re.globalMatch(QString::fromUtf8(html)); it.hasNext();) {
    const QString h = it.next().captured(1).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    if (h.startsWith(prefix))
      out.append(h);
  }
  return out;
}

}  // namespace

TEST_F(PortalTest, OnlyRequestsForItselfAreAnswered)
{
  const int number = QUrl(portal_->base()).port();
  ASSERT_GT(number, 0);
  const QByteArray port = QByteArray::number(number);
  struct Case {
    QByteArray host;
    long status;
  };
  const Case cases[] = {
      {"127.0.0.1:" + port, 200},
      {"localhost:" + port, 200},
      {"evil.example:" + port, 400},  // a name that was pointed at this port
      {"127.0.0.1:1", 400},
  };
  for (const Case &c : cases) {
    HttpRequest r;
    r.headers = {"Host: " + c.host};
    EXPECT_EQ(portal_->Get("/", r).status, c.status) << c.host.toStdString();
  }
}

TEST_F(PortalTest, EachAddressClassAnswers)
{
  const QString channel = QStringLiteral("/hl/%1_DL/all/07/%2/%3/%4");
  struct Case {
    QString path;
    long status;
    const char *contains;
  };
  const QList<Case> cases = {
      {QStringLiteral("/index.htm"), 200, "TJID_"},
      {QStringLiteral("/"), 200, "TJID_"},
      {QStringLiteral("/index3.htm"), 200, "第 3 版"},
      // Games and videos have a column part (4 to 6), audio has none.
      {channel.arg(100093).arg("0702", "070205", "4/1.html"), 200, "反应大挑战"},
      {channel.arg(100093).arg("0702", "070205", "4/2.html"), 200, "共 25 个"},
      {channel.arg(100094).arg("0702", "070205", "6/2.html"), 200, "过河"},
      {channel.arg(100093).arg("0701", "070106", "1.html"), 200, "儿歌 一"},
      {channel.arg(100093).arg("0701", "070102", "5/1.html"), 200, "小动画 一"},
      {channel.arg(100093).arg("0702", "070206", "4/1.html"), 200, "还没有内容"},
      {channel.arg(100094).arg("0708", "070803", "5/1.html"), 200, "本周新游戏"},
      {channel.arg(100093).arg("0702", "070205", "1.html"), 404, nullptr},
      {channel.arg(100093).arg("0702", "070205", "7/1.html"), 404, nullptr},
      {channel.arg(100093).arg("0702", "070205", "4/3.html"), 404, nullptr},
      {channel.arg(100093).arg("0702", "070205", "4/0.html"), 404, nullptr},
      {channel.arg(100093).arg("0701", "070106", "4/1.html"), 404, nullptr},
      {channel.arg(100093).arg("0702", "070299", "4/1.html"), 404, nullptr},
      {channel.arg(100093).arg("0703", "070205", "4/1.html"), 404, nullptr},
      {channel.arg(100092).arg("0702", "070205", "4/1.html"), 404, nullptr},
      {channel.arg(100093).arg("0708", "070803", "5/1.html"), 404, nullptr},  // newer channel
      {QStringLiteral("/hl/100093/all/100093.XML"), 200, "<channels"},
      {QStringLiteral("/hl/100094/all/100094.XML"), 200, "<channels"},
      {QStringLiteral("/hl/100093/all/100094.XML"), 404, nullptr},
      {QStringLiteral("/hl/100095/all/100095.XML"), 404, nullptr},
      {QStringLiteral("/Mp3PageHtml/DownloadAds_0.html"), 200, "<body>"},
      {QStringLiteral("/Mp3PageHtml/Mp3PageHtml_2.html"), 200, "<body>"},
      {QStringLiteral("/Mp3PageHtml/ad/0/CommentAds_1.html"), 200, "<body>"},
      {QStringLiteral("/pvlt_mini_index.html"), 200, "最新消息"},
      {QStringLiteral("/ksvComment/userComment.do?contentid=110&userID="), 200, "接星星"},
      {QStringLiteral("/ksvComment/userComment.do?contentid=110&userID=1001"), 200, "xiaoming"},
      {QStringLiteral("/ksvComment/userComment.do?contentid=999&userID="), 404, nullptr},
      {QStringLiteral("/ksvComment/userComment.do?contentid=abc&userID="), 400, nullptr},
      {QStringLiteral("/ksvWsUser/UserService?wsdl"), 200, "UserServicePortType"},
      {QStringLiteral("/engine/signin?version=16783119&machine=0123abcd"), 200, "result=1\n"},
      {QStringLiteral("/engine/version?version=16783119"), 200, "catalog=100094\n"},
      {QStringLiteral("/engine/version"), 400, nullptr},
      {QStringLiteral("/nothing.html"), 404, nullptr},
  };
  for (const Case &c : cases) {
    const HttpReply r = portal_->Get(c.path);
    EXPECT_EQ(r.status, c.status) << c.path.toStdString();
    if (c.contains) {
      EXPECT_TRUE(r.body.contains(c.contains)) << c.path.toStdString() << " lacks " << c.contains;
    }
  }
  // The client's address check falls back to HEAD.
  HttpRequest head;
  head.method = "HEAD";
  EXPECT_EQ(portal_->Get(channel.arg(100093).arg("0702", "070205", "5/1.html"), head).status, 200);
}

TEST_F(PortalTest, PlatformIniPointsEveryKeyAtThePortal)
{
  QFile f(portal_->iniFile());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = FromGbk(f.readAll());
  QMap<QString, QString> keys;
  for (const QString &line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    if (line.contains(u'='))
      keys.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
  EXPECT_TRUE(text.startsWith(QStringLiteral("[Info]\r\n")));
  EXPECT_EQ(keys.keys(), (QStringList{"1", "10", "12", "17", "18", "2", "3", "4", "6", "9"}));
  const QString b = portal_->base();
  EXPECT_EQ(keys["1"], b);
  EXPECT_EQ(keys["2"], b + "/hl/");
  EXPECT_EQ(keys["3"], b + "/");
  // Each address as the client completes it.
  for (const QString &url :
       {keys["4"], keys["2"] + "100093/all/100093.XML", keys["9"] + "?wsdl", keys["10"] + "_0.html",
        keys["17"] + "_0.html", keys["18"] + "0/CommentAds_1.html",
        keys["6"] + "?contentid=110&userID=", keys["12"], b + "/pvlt_mini_index.html"}) {
    EXPECT_TRUE(url.startsWith(b)) << url.toStdString();
    EXPECT_EQ(Http(url).status, 200) << url.toStdString();
  }
}

TEST_F(PortalTest, ChannelPageCommandsDecipherToTheChannelsItems)
{
  QMap<int, QString> expected;
  for (const FixtureItem &it : FixtureItems())
    if (QLatin1String(it.channel) == u"070205")
      expected.insert(it.id, QString::fromUtf8(it.name));
  QMap<int, QString> seen;
  for (int page : {1, 2}) {
    const HttpReply r =
        portal_->Get(QStringLiteral("/hl/100093_DL/all/07/0702/070205/4/%1.html").arg(page));
    ASSERT_EQ(r.status, 200);
    QStringList single;
    for (const QString &h : Hrefs(r.body, QStringLiteral("ID_"))) {
      if (h.contains(u','))
        continue;  // "play all on this page", checked below
      const QString hex = h.mid(3).section(u'_', 0, 0);
      const QString name = h.mid(3).section(u'_', 1);  // the name runs to the end
      bool ok = false;
      const int id = DecipherText(hex).toInt(&ok);
      ASSERT_TRUE(ok) << h.toStdString();
      ASSERT_TRUE(expected.contains(id)) << id;
      EXPECT_EQ(name, QString(expected[id]).replace(u' ', QStringLiteral("%20")));
      if (!single.contains(h))
        single.append(h);
      seen.insert(id, name);
    }
    EXPECT_EQ(single.size(), page == 1 ? 16 : 9);
    // "play all on this page": every item of the page, in order.
    const QStringList all = Hrefs(r.body, QStringLiteral("ID_")).filter(QStringLiteral(","));
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0], single.join(u','));
    EXPECT_TRUE(r.body.contains("'ID_#'")) << "choosing nothing must send ID_#";
    EXPECT_EQ(r.body.contains("href=\"2.html\""), page == 1);
    // Download commands: DL, enciphered id, file name, type.
    const QStringList dl = Hrefs(r.body, QStringLiteral("DL_"));
    EXPECT_EQ(dl.size(), single.size());
    for (const QString &d : dl) {
      const QStringList f = d.split(u'_');
      ASSERT_EQ(f.size(), 4) << d.toStdString();
      const int id = DecipherText(f[1]).toInt();
      ASSERT_TRUE(expected.contains(id));
      EXPECT_EQ(f[2],
                QString(expected[id]).replace(u' ', QStringLiteral("%20")).replace(u'_', u'-'));
      EXPECT_EQ(f[3], QStringLiteral("1"));
    }
  }
  EXPECT_EQ(seen.keys(), expected.keys());
}

TEST_F(PortalTest, StartPageLinksCarryTypeAndChannel)
{
  const HttpReply r = portal_->Get(QStringLiteral("/index.htm"));
  const QStringList links = Hrefs(r.body, QStringLiteral("TJID_"));
  ASSERT_FALSE(links.isEmpty());
  for (const QString &l : links) {
    const QStringList f = l.mid(5).split(u'_');
    ASSERT_EQ(f.size(), 4) << l.toStdString();
    const int id = DecipherText(f[0]).toInt();
    const auto it = std::find_if(FixtureItems().begin(), FixtureItems().end(),
                                 [id](const FixtureItem &x) { return x.id == id; });
    ASSERT_NE(it, FixtureItems().end()) << l.toStdString();
    EXPECT_FALSE(f[1].contains(u' '));
    EXPECT_EQ(f[2], QLatin1String(it->type));
    EXPECT_EQ(f[3], QLatin1String(it->channel));
  }
}

TEST_F(PortalTest, ContentFilesServeTheirBytesAndRanges)
{
  struct Case {
    int id;
    const char *ext;
  };
  for (const Case &c :
       {Case{110, "swf"}, Case{128, "swf"}, Case{129, "swf"}, Case{300, "flv"}, Case{301, "mp3"}}) {
    const QString path = ContentPath(c.id, c.ext);
    const HttpReply whole = portal_->Get(path);
    EXPECT_EQ(whole.status, 200) << path.toStdString();
    EXPECT_EQ(whole.body, MediaBytes(c.id)) << path.toStdString();
    HttpRequest part;
    part.range = "100-199";
    const HttpReply r = portal_->Get(path, part);
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.body, MediaBytes(c.id).mid(100, 100));
    EXPECT_EQ(r.header("Content-Range"),
              QByteArray("bytes 100-199/") + QByteArray::number(MediaBytes(c.id).size()));
  }
  EXPECT_EQ(portal_->Get(ContentPath(110, "swf").toLower()).body, MediaBytes(110))
      << "hex in lower case";
  // Wrong folder, wrong extension, unknown id, text that is not an id, bad cipher text.
  for (const QString &bad :
       {ContentPath(128, "swf", 2), ContentPath(129, "swf", 1), ContentPath(110, "flv"),
        ContentPath(999, "swf"), QStringLiteral("/1/%1.swf").arg(EncipherText("abc")),
        QStringLiteral("/1/FFFFFFFFFFFFFFFF.swf"), QStringLiteral("/1/439D5BAD4862294.swf")}) {
    EXPECT_EQ(portal_->Get(bad).status, 404) << bad.toStdString();
  }
}

TEST_F(PortalTest, ContentFilesAnswerBadRangesSoundly)
{
  const QString path = ContentPath(300, "flv");
  const QByteArray bytes = MediaBytes(300);
  const qsizetype n = bytes.size();
  const QByteArray size = QByteArray::number(n);
  struct Case {
    QByteArray range;  // after "bytes="
    long status;
    qsizetype first, length;
    QByteArray contentRange;  // "-": not looked at (refused before the portal's code runs)
  };
  const Case cases[] = {
      {"0-0", 206, 0, 1, "bytes 0-0/" + size},
      {"-100", 206, n - 100, 100,
       "bytes " + QByteArray::number(n - 100) + '-' + QByteArray::number(n - 1) + '/' + size},
      {QByteArray::number(n - 10) + '-', 206, n - 10, 10,
       "bytes " + QByteArray::number(n - 10) + '-' + QByteArray::number(n - 1) + '/' + size},
      {"100-99999999999", 206, 100, n - 100, "bytes 100-" + QByteArray::number(n - 1) + '/' + size},
      {"-" + QByteArray::number(n + 50), 206, 0, n,
       "bytes 0-" + QByteArray::number(n - 1) + '/' + size},
      {"5-2", 416, 0, 0, "-"},
      {"5-2,7-9", 416, 0, 0, "-"},
      {size + '-', 416, 0, 0, "bytes */" + size},
      {QByteArray::number(n + 10) + '-' + QByteArray::number(n + 20), 416, 0, 0, "bytes */" + size},
      {"-0", 416, 0, 0, "bytes */" + size},
      {"0-1,5-9", 200, 0, n, ""},
      {"10-20, 30-40, 50-", 200, 0, n, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.range.toStdString());
    HttpRequest r;
    r.range = c.range;
    const HttpReply reply = portal_->Get(path, r);
    EXPECT_EQ(reply.status, c.status);
    if (c.contentRange != "-") {
      EXPECT_EQ(reply.header("Content-Range"), c.contentRange);
    }
    if (c.status == 416)
      continue;
    EXPECT_EQ(reply.header("Content-Length"), QByteArray::number(c.length));
    EXPECT_EQ(reply.body, bytes.mid(c.first, c.length));
  }
}

TEST_F(PortalTest, CatalogsHoldTheChannelsInTheirFileOrder)
{
  const QList<CatalogRecord> old =
      ParseCatalog(portal_->Get(QStringLiteral("/hl/100093/all/100093.XML")).body);
  const QList<CatalogRecord> now =
      ParseCatalog(portal_->Get(QStringLiteral("/hl/100094/all/100094.XML")).body);
  QStringList ids;
  QMap<QString, CatalogRecord> byId;
  int channels = 0, empty = 0;
  for (const CatalogRecord &r : old) {
    ids.append(r.id);
    byId.insert(r.id, r);
    if (r.id.size() == 6) {
      ++channels;
      EXPECT_EQ(r.pid, r.id.left(4));
      empty += r.num == u"0";
    }
  }
  EXPECT_GE(channels, 40);
  EXPECT_GE(empty, 2);
  for (const char *cat : {"0702", "0703", "0704", "0705", "0706", "0707", "0708"})
    EXPECT_TRUE(byId.contains(QLatin1String(cat))) << cat;
  const QStringList recommended = {"070102", "070106", "070205", "070307", "070308", "070309",
                                   "070401", "070407", "070501", "070507", "070513", "070814"};
  for (const QString &id : recommended)
    EXPECT_TRUE(byId.contains(id)) << id.toStdString();
  // File order is not the order of the recommended list.
  EXPECT_LT(ids.indexOf("070814"), ids.indexOf("070205"));
  EXPECT_LT(ids.indexOf("070106"), ids.indexOf("070102"));
  EXPECT_EQ(byId["070205"].num, "25");
  EXPECT_EQ(byId["070102"].type, "4");
  EXPECT_EQ(byId["070106"].type, "2");
  // A category counts its channels' items.
  int sum = 0;
  for (const CatalogRecord &r : old)
    if (r.pid == u"0702")
      sum += r.num.toInt();
  EXPECT_EQ(byId["0702"].num.toInt(), sum);
  // The newer catalog adds channels.
  EXPECT_GT(now.size(), old.size());
  EXPECT_FALSE(byId.contains("070803"));
  EXPECT_TRUE(std::any_of(now.begin(), now.end(),
                          [](const CatalogRecord &r) { return r.id == u"070803"; }));
}

TEST_F(PortalTest, BadPathsAreRefusedWithoutLeakingFiles)
{
  const QString hex = EncipherText(QStringLiteral("110"));
  for (const QString &path : {
           QStringLiteral("/../../../../etc/passwd"),
           QStringLiteral("/%2e%2e/%2e%2e/%2e%2e/etc/passwd"),
           QStringLiteral("/hl/..%2F..%2Faccounts.tsv"),
           QStringLiteral("/hl/100093/all/../../../accounts.tsv"),
           QStringLiteral("/hl/search/../../accounts.tsv"),
           QStringLiteral("/hl/search/..%2f..%2faccounts.tsv"),
           QStringLiteral("/accounts.tsv"),
           QStringLiteral("/search.db"),
           QStringLiteral("/1/../accounts.tsv"),
           QStringLiteral("/1/%1.swf/../../accounts.tsv").arg(hex),
           QStringLiteral("/hl/100093_DL/all/07/0702/070205/4/../../../../../../accounts.tsv"),
           QStringLiteral("/hl/100093_DL/all/07/0702/070205/4/99999999999999999999.html"),
           QStringLiteral("/index99999999.htm"),
           QStringLiteral("/") + QString(9000, u'a'),
       }) {
    const HttpReply r = portal_->Get(path);
    EXPECT_GE(r.status, 400) << path.left(80).toStdString();
    EXPECT_LT(r.status, 500) << path.left(80).toStdString();
    EXPECT_FALSE(r.body.contains("passwordMd5") || r.body.contains("root:"))
        << path.left(80).toStdString();
  }
  EXPECT_EQ(portal_->Get(QStringLiteral("/index.htm")).status, 200)
      << "the portal must still serve";
}
