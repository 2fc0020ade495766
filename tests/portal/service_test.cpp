// The user web service, the engine's endpoints, state across restarts, the
// client's exported files and scale mode.
#include "harness.h"

#include "base/gbk.h"
#include "crypto/cipher.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtEndian>
#include <csignal>
#include <sqlite3.h>

namespace {

QByteArray ReadAll(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool IsFault(const HttpReply &r)
{
  return r.status == 500 && r.body.contains(":Fault>") && r.body.contains("faultstring");
}

HttpReply Login(const Portal &p, const QString &name, const QString &password)
{
  return Soap(p, Envelope(QStringLiteral("userLogin"),
                          {name, Md5Hex(password), UserCredential(), PasswordCredential()}));
}

// Rows of one query on an SQLite file, fields joined by "|".
QStringList Query(const QString &db, const char *sql)
{
  QStringList rows;
  sqlite3 *h = nullptr;
  if (sqlite3_open_v2(db.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(h, sql, -1, &s, nullptr) == SQLITE_OK) {
      while (sqlite3_step(s) == SQLITE_ROW) {
        QStringList f;
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
          const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(s, i));
          f.append(t ? QString::fromUtf8(t) : QString());
        }
        rows.append(f.join(u'|'));
      }
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(h);
  return rows;
}

}  // namespace

TEST_F(PortalTest, WsdlDescribesTwentySevenOperations)
{
  const HttpReply r = portal_->Get(QStringLiteral("/ksvWsUser/UserService?wsdl"));
  ASSERT_EQ(r.status, 200);
  QXmlStreamReader x(r.body);
  QStringList operations, types;
  QString portType, service, port, location, target, style;
  bool inPortType = false;
  while (!x.atEnd()) {
    x.readNext();
    if (x.isEndElement() && x.name() == u"portType")
      inPortType = false;
    if (!x.isStartElement())
      continue;
    const auto a = x.attributes();
    if (x.name() == u"definitions")
      target = a.value("targetNamespace").toString();
    if (x.name() == u"portType") {
      inPortType = true;
      portType = a.value("name").toString();
    }
    if (x.name() == u"operation" && inPortType)
      operations.append(a.value("name").toString());
    if (x.name() == u"complexType" && a.hasAttribute("name"))
      types.append(a.value("name").toString());
    if (x.name() == u"service")
      service = a.value("name").toString();
    if (x.name() == u"port")
      port = a.value("name").toString();
    if (x.name() == u"address")
      location = a.value("location").toString();
    if (x.name() == u"binding" && a.hasAttribute("style"))
      style = a.value("style").toString();
  }
  ASSERT_FALSE(x.hasError()) << x.errorString().toStdString();
  EXPECT_EQ(operations.size(), 27);
  EXPECT_EQ(operations.first(), "getSearchCntsNew");
  EXPECT_EQ(operations.last(), "saveBabyLog");
  for (const char *op : {"userLogin", "clientByVersion", "saveUserAdvice", "getSearchCntsClz"})
    EXPECT_TRUE(operations.contains(QLatin1String(op))) << op;
  for (const char *t : {"KsvUserCurPoint", "TChnlVersioninfo", "KsvUser", "KsvCity", "KsvProvince",
                        "ArrayOfKsvCity", "ArrayOfKsvProvince"})
    EXPECT_TRUE(types.contains(QLatin1String(t))) << t;
  EXPECT_EQ(portType, "UserServicePortType");
  EXPECT_EQ(service, "UserService");
  EXPECT_EQ(port, "UserServiceHttpPort");
  EXPECT_EQ(style, "document");
  EXPECT_EQ(target, "http://service.user.kestrova.net");
  EXPECT_EQ(location, portal_->base() + "/ksvWsUser/UserService");
  EXPECT_TRUE(r.body.contains("name=\"provicneId\"")) << "the field keeps its spelling";
}

TEST_F(PortalTest, UserLoginAnswersWithLevelAndPoints)
{
  struct Case {
    const char *name, *password;
    bool accepted;
    int user, level, points;
  };
  for (const Case &c :
       {Case{"xiaoming", "123456", true, 1001, 3, 120}, Case{"乐乐", "654321", true, 1002, 1, 10},
        Case{"xiaoming", "12345", false, 0, 0, 0}, Case{"nobody", "123456", false, 0, 0, 0},
        Case{"tingting", "888888", false, 0, 0, 0}}) {  // locked account
    const HttpReply r = Login(*portal_, QString::fromUtf8(c.name), QString::fromUtf8(c.password));
    ASSERT_EQ(r.status, 200) << r.body.toStdString();
    EXPECT_EQ(XmlValue(r.body, "curResult") == u"1", c.accepted) << c.name;
    if (c.accepted) {
      EXPECT_EQ(XmlValue(r.body, "userId").toInt(), c.user);
      EXPECT_EQ(XmlValue(r.body, "curLevel").toInt(), c.level);
      EXPECT_EQ(XmlValue(r.body, "usesValue").toInt(), c.points);
    }
  }
}

TEST_F(PortalTest, ClientByVersionReportsTheConfiguredUpdate)
{
  auto ask = [this](const QString &version) {
    return Soap(*portal_,
                Envelope(QStringLiteral("clientByVersion"),
                         {version, QStringLiteral("3"), UserCredential(), PasswordCredential()}));
  };
  HttpReply r = ask(QStringLiteral("1.0.23.15"));
  EXPECT_EQ(XmlValue(r.body, "curResult"), "1");
  EXPECT_EQ(XmlValue(r.body, "lastVersionID"), "100094");
  EXPECT_EQ(XmlValue(r.body, "versionFlag"), "0");
  EXPECT_EQ(XmlValue(r.body, "upVersionID"), "0");
  // The report is read from the data folder on every request.
  QFile ini(portal_->dataDir() + "/update.ini");
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ini.write("action=1460\ncatalog=100093\nservice=9\nupdater=5\nws_action=3\nws_updater=17\n");
  ini.close();
  r = ask(QStringLiteral("1.0.23.15"));
  EXPECT_EQ(XmlValue(r.body, "lastVersionID"), "100093");
  EXPECT_EQ(XmlValue(r.body, "versionFlag"), "3");
  EXPECT_EQ(XmlValue(r.body, "upVersionID"), "17");
  EXPECT_EQ(portal_->Get("/engine/version?version=16783119").body,
            "action=1460\ncatalog=100093\nservice=9\nupdater=5\n");
  EXPECT_NE(XmlValue(ask(QStringLiteral("1.0.x")).body, "curResult"), "1");
}

TEST_F(PortalTest, SaveUserAdviceStoresFeedback)
{
  auto advise = [this](const QString &user, const QString &contact, const QString &text) {
    return Soap(*portal_, Envelope(QStringLiteral("saveUserAdvice"),
                                   {UserCredential(), PasswordCredential(), user,
                                    QStringLiteral("1.0.23.15"), contact, text}));
  };
  EXPECT_EQ(XmlValue(advise("0", "", "[软件问题][程序缺陷][1234]第一行\n第二行").body, "out"), "1");
  EXPECT_EQ(XmlValue(advise("1001", "12345@qq.com", "[游戏问题]很好玩").body, "out"), "1");
  EXPECT_EQ(XmlValue(advise("0", "", "   ").body, "out"), "0")
      << "a blank description is not stored";
  EXPECT_TRUE(IsFault(advise("abc", "", "text")));
  const QStringList lines = QString::fromUtf8(ReadAll(portal_->dataDir() + "/feedback.tsv"))
                                .split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);  // header and two entries
  EXPECT_TRUE(lines[1].endsWith(
      QStringLiteral("\t0\t1.0.23.15\t\t[软件问题][程序缺陷][1234]第一行\\n第二行")));
  EXPECT_TRUE(
      lines[2].contains(QStringLiteral("\t1001\t1.0.23.15\t12345@qq.com\t[游戏问题]很好玩")));
}

TEST_F(PortalTest, RemoteSearchWritesAResultPage)
{
  auto search = [this](const QString &cls, const QString &words) {
    return XmlValue(
        Soap(*portal_, Envelope(QStringLiteral("getSearchCntsClz"),
                                {UserCredential(), PasswordCredential(), cls, words, "", ""}))
            .body,
        "out");
  };
  const QString path = search("07", "星");
  ASSERT_TRUE(
      QRegularExpression(QStringLiteral("^search\\\\[0-9a-f]{32}\\.html$")).match(path).hasMatch())
      << path.toStdString();
  // The client turns "\" into "/" and puts the resource base in front.
  const HttpReply page = portal_->Get("/hl/" + QString(path).replace(u'\\', u'/'));
  ASSERT_EQ(page.status, 200);
  const QString html = FromGbk(page.body);
  EXPECT_TRUE(html.contains("charset=GB2312"));
  EXPECT_TRUE(html.contains("TJID_" + EncipherText("110") + "_接星星_1_070205"));
  EXPECT_TRUE(html.contains("<TD class=eight><SPAN>敏捷类</SPAN>")) << "the first 游戏 becomes 类";
  EXPECT_TRUE(html.contains("<TD class=seventh><SPAN>反应大挑战</SPAN>"));
  for (const char *file : {"playgame.png", "bg-titlebar.gif", "stripe.js"})
    EXPECT_EQ(portal_->Get(QStringLiteral("/hl/search/") + file).status, 200) << file;
  // The class narrows the search; the words are matched literally.
  const QString narrow = search("0705", "数");
  const QString narrowHtml =
      FromGbk(portal_->Get("/hl/" + QString(narrow).replace(u'\\', u'/')).body);
  EXPECT_TRUE(narrowHtml.contains(EncipherText("250")));
  EXPECT_FALSE(narrowHtml.contains(EncipherText("120"))) << "070205 is not in class 0705";
  // A name with a blank or "_" still splits into four fields when clicked.
  const QString spaced =
      FromGbk(portal_->Get("/hl/" + search("07", "猫").replace(u'\\', u'/')).body);
  EXPECT_TRUE(spaced.contains("TJID_" + EncipherText("111") + "_小猫%20钓鱼_1_070205\""));
  EXPECT_TRUE(spaced.contains("<EM>小猫 钓鱼</EM>"));
  const QString underscored =
      FromGbk(portal_->Get("/hl/" + search("07", "跳").replace(u'\\', u'/')).body);
  EXPECT_TRUE(underscored.contains("TJID_" + EncipherText("113") + "_跳-跳_1_070205\""));
  EXPECT_EQ(search("07", "没有这个游戏"), "");
  EXPECT_EQ(search("07", "%"), "");
  EXPECT_EQ(search("07", "'"), "");
  EXPECT_EQ(search("07", ""), "");
}

TEST_F(PortalTest, BadRequestsGetSoapFaults)
{
  const QString u = UserCredential(), p = PasswordCredential();
  const QStringList login = {"xiaoming", Md5Hex("123456"), u, p};
  QByteArray oversized = Envelope("saveUserAdvice", {u, p, "0", "1", "", QString(70 * 1024, u'x')});
  const QList<std::pair<const char *, QByteArray>> cases = {
      {"wrong user credential",
       Envelope("userLogin", {"xiaoming", Md5Hex("123456"), Md5Hex("x"), p})},
      {"wrong password credential",
       Envelope("userLogin", {"xiaoming", Md5Hex("123456"), u, Md5Hex("x")})},
      {"credentials at the wrong end", Envelope("getSearchCntsClz", {"07", "星", u, p, "", ""})},
      {"malformed XML",
       "<soap:Envelope "
       "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><userLogin>"},
      {"not XML", "hello"},
      {"empty body", ""},
      {"document type with an entity",
       "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"zzzz\">]>" +
           Envelope("userLogin", login).mid(38)},
      {"oversized", oversized},
      {"unknown operation", Envelope("dropTables", login)},
      {"wrong namespace", Envelope("userLogin", login, "http://example.invalid/ns")},
      {"missing parameter", Envelope("userLogin", login.mid(0, 3))},
      {"integer parameter not a number", Envelope("clientByVersion", {"1.0.23.15", "x", u, p})},
      {"operation not offered", Envelope("getCity", {"a", "b", "c"})},
      {"SOAP 1.2 envelope", QString::fromUtf8(Envelope("userLogin", login))
                                .replace("http://schemas.xmlsoap.org/soap/envelope/",
                                         "http://www.w3.org/2003/05/soap-envelope")
                                .toUtf8()},
      {"no Body", "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"/>"},
  };
  for (const auto &[what, body] : cases)
    EXPECT_TRUE(IsFault(Soap(*portal_, body))) << what;
  // Beyond the server's whole-request limit: refused before parsing.
  const HttpReply huge = Soap(*portal_, QByteArray(2 * 1024 * 1024, 'x'));
  EXPECT_GE(huge.status, 400);
  EXPECT_EQ(XmlValue(Login(*portal_, "xiaoming", "123456").body, "curResult"), "1")
      << "still serving";
}

TEST_F(PortalTest, EngineSignInFollowsMachineBindings)
{
  auto signin = [this](const QString &machine) {
    return portal_->Get("/engine/signin?version=16783119&machine=" + machine);
  };
  EXPECT_EQ(signin("a1b2c3").body, "result=1\nuser=0\npoints=0\nlevel=0\n");
  const QString data = portal_->dataDir();
  ASSERT_EQ(Portal::RunOnce({"--data", data, "--bind", "a1b2c3=xiaoming"}), 0);
  ASSERT_EQ(Portal::RunOnce({"--data", data, "--bind", "locked1=tingting"}), 0);
  ASSERT_EQ(Portal::RunOnce({"--data", data, "--bind", "ghost1=nobody"}), 0);
  EXPECT_NE(Portal::RunOnce({"--data", data, "--bind", "../x=xiaoming"}), 0);
  EXPECT_EQ(signin("a1b2c3").body, "result=0\nuser=1001\npoints=120\nlevel=3\n");
  EXPECT_EQ(signin("A1B2C3").body, "result=0\nuser=1001\npoints=120\nlevel=3\n");
  EXPECT_TRUE(signin("locked1").body.startsWith("result=-1006\n"));
  EXPECT_TRUE(signin("ghost1").body.startsWith("result=-1004\n"));
  EXPECT_EQ(signin("..%2Fx").status, 400);
  EXPECT_EQ(portal_->Get("/engine/signin?machine=a1b2c3").status, 400);
  // A user added from the command line signs in through the service too.
  ASSERT_EQ(Portal::RunOnce({"--data", data, "--add-user", "新朋友:pw123:2:30"}), 0);
  EXPECT_EQ(XmlValue(Login(*portal_, "新朋友", "pw123").body, "usesValue"), "30");
}

TEST(PortalRestart, StateSurvivesARestart)
{
  QTemporaryDir tmp;
  Portal p(tmp.path());
  ASSERT_TRUE(p.Start());
  HttpRequest post;
  post.method = "POST";
  post.body = "contentid=110&userID=1001&content=" + QUrl::toPercentEncoding("太好玩了 <b>!");
  post.headers = {"Content-Type: application/x-www-form-urlencoded"};
  const HttpReply added = p.Get("/ksvComment/userComment.do?contentid=110&userID=1001", post);
  EXPECT_EQ(added.status, 303);
  post.body = "contentid=110&userID=&content=";
  EXPECT_EQ(p.Get("/ksvComment/userComment.do?contentid=110&userID=", post).status, 400)
      << "empty comment";
  EXPECT_EQ(XmlValue(Soap(p, Envelope("saveUserAdvice", {UserCredential(), PasswordCredential(),
                                                         "0", "1.0.23.15", "", "记住我"}))
                         .body,
                     "out"),
            "1");
  EXPECT_EQ(XmlValue(Login(p, "xiaoming", "123456").body, "getExpValue"), "1");
  const QDateTime built = QFileInfo(p.dataDir() + "/search.db").lastModified();
  ASSERT_TRUE(p.Stop()) << "SIGTERM ends the portal cleanly";

  ASSERT_TRUE(p.Start());
  const QString page =
      QString::fromUtf8(p.Get("/ksvComment/userComment.do?contentid=110&userID=").body);
  EXPECT_TRUE(page.contains("太好玩了 &lt;b&gt;!")) << "stored and shown escaped";
  EXPECT_TRUE(page.contains("xiaoming"));
  EXPECT_TRUE(ReadAll(p.dataDir() + "/feedback.tsv").contains("记住我"));
  EXPECT_EQ(XmlValue(Login(p, "xiaoming", "123456").body, "getExpValue"), "2")
      << "the login count persists";
  EXPECT_EQ(QFileInfo(p.dataDir() + "/search.db").lastModified(), built)
      << "derived data is reused";
  EXPECT_TRUE(p.Stop());

  // Started as a shell starts a background job (SIGINT ignored), an
  // interrupt still ends it cleanly.
  auto *previous = std::signal(SIGINT, SIG_IGN);
  const bool started = p.Start();
  std::signal(SIGINT, previous);
  ASSERT_TRUE(started);
  EXPECT_TRUE(p.Stop(SIGINT));
}

TEST(PortalExport, ClientFilesMatchWhatThePortalServes)
{
  QTemporaryDir tmp;
  Portal p(tmp.path());
  const QString out = tmp.path() + "/appdir";
  ASSERT_EQ(Portal::RunOnce({"--export-client", out, "--seed", p.seedDir()}), 0);
  ASSERT_TRUE(p.Start());
  EXPECT_EQ(ReadAll(out + "/Resource/xml/100093.xml"), p.Get("/hl/100093/all/100093.XML").body);
  const QString dir = out + "/Resource/html/search/";
  EXPECT_TRUE(ReadAll(dir + "playgame.png").startsWith("\x89PNG\r\n\x1a\n"));
  EXPECT_TRUE(ReadAll(dir + "bg-titlebar.gif").startsWith("GIF89a"));
  EXPECT_TRUE(ReadAll(dir + "stripe.js").contains("tr-hover"));
  // The client's own query runs on the shipped database; only games are in it.
  const QStringList rows = Query(
      dir + "search.db",
      "select g.id, g.title, g.contentclass,  c.classname as sub_nm, s.classname as big_nm from "
      "content g  "
      "left join contentclass c on g.contentclass=c.contentclass  left join contentclass s on "
      "substr(g.contentclass,1,4)=s.contentclass where g.title like '%星%' order by title limit "
      "0,50");
  EXPECT_EQ(rows, QStringList{"110|接星星|070205|反应大挑战|敏捷游戏"});
  EXPECT_EQ(Query(dir + "search.db", "select count(*) from content"), QStringList{"27"});
  EXPECT_TRUE(
      Query(dir + "search.db", "select id from content where id in ('300','301')").isEmpty());
  EXPECT_TRUE(p.Stop());
}

TEST(PortalScale, GeneratesChannelsTitlesAndContent)
{
  QTemporaryDir tmp;
  Portal p(tmp.path(), {"--scale", "30"});
  ASSERT_TRUE(p.Start());
  const QByteArray xml = p.Get("/hl/100093/all/100093.XML").body;
  EXPECT_EQ(QString::fromUtf8(xml).count(QRegularExpression("<id>\\d{6}</id>")), 30);
  EXPECT_EQ(Query(p.dataDir() + "/search.db", "select count(*) from content"), QStringList{"1500"});
  // 50 games a channel: four pages of 16 at four columns.
  EXPECT_EQ(p.Get("/hl/100093_DL/all/07/0702/070201/4/4.html").status, 200);
  EXPECT_EQ(p.Get("/hl/100093_DL/all/07/0702/070201/4/5.html").status, 404);
  const HttpReply movie = p.Get("/1/" + EncipherText("1") + ".swf");
  EXPECT_EQ(movie.status, 200);
  EXPECT_TRUE(movie.body.startsWith("FWS"));
  EXPECT_EQ(movie.body.size(), qFromLittleEndian<quint32>(movie.body.constData() + 4));
  EXPECT_TRUE(p.Stop());
}
