// The user web service's proxy: the envelope and headers of each of the four
// calls, the answers read by name, every kind of failure raised, and the
// calls against the stand-in portal's service.
#include "portalprocess.h"
#include "searchdb.h"

#include "base/globals.h"
#include "crypto/cipher.h"
#include "service/core/soapuserservice.h"

#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QString kEnv = QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");
const QString kNs = QStringLiteral("http://service.user.kestrova.net");
const QString kTypes = QStringLiteral("http://model.user.kestrova.net");

// The operation element and its parameters as the service reads them.
struct Sent {
  QString operation, operationNs;
  QStringList paramNames, paramNs, values;
  bool wellFormed = false;
};
Sent ReadRequest(const QByteArray &body)
{
  Sent s;
  QXmlStreamReader r(body);
  if (!r.readNextStartElement() || r.name() != u"Envelope" || r.namespaceUri() != kEnv)
    return s;
  if (!r.readNextStartElement() || r.name() != u"Body" || r.namespaceUri() != kEnv)
    return s;
  if (!r.readNextStartElement())
    return s;
  s.operation = r.name().toString();
  s.operationNs = r.namespaceUri().toString();
  while (r.readNextStartElement()) {
    s.paramNames.append(r.name().toString());
    s.paramNs.append(r.namespaceUri().toString());
    s.values.append(r.readElementText());
  }
  while (!r.atEnd())
    r.readNext();
  s.wellFormed = !r.hasError();
  return s;
}

QByteArray Answer(const QString &operation, const QString &out)
{
  return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><soap:Envelope xmlns:soap=\"" + kEnv +
          "\"><soap:Body><ns1:" + operation + "Response xmlns:ns1=\"" + kNs + "\">" + out +
          "</ns1:" + operation + "Response></soap:Body></soap:Envelope>")
      .toUtf8();
}

// A proxy whose transport records the request and gives a canned answer.
struct Recorder {
  HttpRequest last;
  HttpResponse reply;
  TUserService service(bool charset = false)
  {
    TUserService::Options o;
    o.charsetInContentType = charset;
    o.transport = [this](const HttpRequest &r) {
      last = r;
      return reply;
    };
    return TUserService(o);
  }
  void answer(const QByteArray &body, long status = 200)
  {
    reply = HttpResponse{};
    reply.completed = true;
    reply.status = status;
    reply.body = body;
  }
};

QByteArray Header(const HttpRequest &r, const QByteArray &name)
{
  for (const auto &[n, v] : r.headers)
    if (n.compare(name, Qt::CaseInsensitive) == 0)
      return v;
  return "<absent>";
}

TEST(UserServiceProxy, CredentialsAreTheDigestsOfTheTwoServiceKeys)
{
  EXPECT_EQ(UserCredential(), Md5Hex(QString::fromLatin1(ServiceUserKey)));
  EXPECT_EQ(PasswordCredential(), Md5Hex(QString::fromLatin1(ServicePasswordKey)));
  EXPECT_NE(UserCredential(), PasswordCredential());
  for (const QString &c : {UserCredential(), PasswordCredential()}) {
    EXPECT_EQ(c.size(), 32);
    EXPECT_EQ(c, c.toLower());
  }
}

TEST(UserServiceProxy, EachCallSendsItsParametersInOrderWithTheCredentialsInPlace)
{
  const QString user = UserCredential(), pass = PasswordCredential();
  const struct {
    const char *operation;
    std::function<void(TUserService &)> call;
    const char *out;
    QStringList values;
  } cases[] = {
      {"userLogin",
       [](TUserService &s) { s.userLogin(QStringLiteral(" 小明 <&> "), Md5Hex("123456")); },
       "<ns1:out/>",
       {QStringLiteral(" 小明 <&> "), Md5Hex("123456"), user, pass}},
      {"clientByVersion",
       [](TUserService &s) { s.clientByVersion("1.0.3.15", 7); },
       "<ns1:out/>",
       {"1.0.3.15", "7", user, pass}},
      {"saveUserAdvice",
       [](TUserService &s) { s.saveUserAdvice(0, "版本:1.0.3.15", "", "【建议】 更多游戏"); },
       "<ns1:out>1</ns1:out>",
       {user, pass, "0", "版本:1.0.3.15", "", "【建议】 更多游戏"}},
      {"saveUserAdvice",
       [](TUserService &s) { s.saveUserAdvice(1001, "1.0", "12345@qq.com", "x"); },
       "<ns1:out>1</ns1:out>",
       {user, pass, "1001", "1.0", "12345@qq.com", "x"}},
      {"getSearchCntsClz",
       [](TUserService &s) { s.getSearchCntsClz("接星星"); },
       "<ns1:out></ns1:out>",
       {user, pass, "07", "接星星", "", ""}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.operation);
    Recorder rec;
    rec.answer(Answer(c.operation, c.out));
    TUserService s = rec.service();
    UserServiceUrl = QStringLiteral("http://127.0.0.1:9/ksvWsUser/UserService");
    ASSERT_NO_THROW(c.call(s));
    UserServiceUrl.clear();
    EXPECT_EQ(rec.last.method, HttpRequest::Method::Post);
    EXPECT_EQ(rec.last.url, "http://127.0.0.1:9/ksvWsUser/UserService");
    const Sent sent = ReadRequest(rec.last.body);
    EXPECT_TRUE(sent.wellFormed) << rec.last.body.toStdString();
    EXPECT_EQ(sent.operation, c.operation);
    EXPECT_EQ(sent.operationNs, kNs);
    QStringList names, namespaces;
    for (int i = 0; i < c.values.size(); ++i) {
      names.append(QStringLiteral("in%1").arg(i));
      namespaces.append(kNs);
    }
    EXPECT_EQ(sent.paramNames, names);
    EXPECT_EQ(sent.paramNs, namespaces);
    EXPECT_EQ(sent.values, c.values);
  }
}

TEST(UserServiceProxy, HeadersOfTheSharedAndTheFeedbackProxy)
{
  for (const bool charset : {false, true}) {
    Recorder rec;
    rec.answer(Answer("getSearchCntsClz", "<ns1:out/>"));
    TUserService s = rec.service(charset);
    UserServiceUrl = "http://127.0.0.1:9/s";
    s.getSearchCntsClz("a");
    UserServiceUrl.clear();
    EXPECT_EQ(Header(rec.last, "SOAPAction"), "\"\"");
    EXPECT_EQ(rec.last.userAgent, "Borland SOAP 1.2");
    EXPECT_EQ(Header(rec.last, "Content-Type"),
              charset ? QByteArray("text/xml; charset=\"utf-8\"") : QByteArray("text/xml"));
    // The body is UTF-8 with its declaration.
    EXPECT_TRUE(rec.last.body.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
  }
}

TEST(UserServiceProxy, AnswersAreReadByFieldNameWhateverThePrefixOrOrder)
{
  Recorder rec;
  TUserService s = rec.service();
  UserServiceUrl = "http://127.0.0.1:9/s";
  rec.answer(Answer("userLogin",
                    "<ns1:out><t:usesValue xmlns:t=\"" + kTypes +
                        "\">120</t:usesValue><userId>1001</userId><remark>欢迎 &amp; "
                        "回来</remark><curResult> 1 </curResult><curLevel>3</curLevel>"
                        "<upVersionID xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                        "xsi:nil=\"true\"/><unknownField>9</unknownField></ns1:out>"));
  const KsvUserCurPoint p = s.userLogin("xiaoming", Md5Hex("123456"));
  EXPECT_EQ(p.curResult, 1);
  EXPECT_EQ(p.userId, 1001);
  EXPECT_EQ(p.curLevel, 3);
  EXPECT_EQ(p.usesValue, 120);
  EXPECT_EQ(p.remark, "欢迎 & 回来");
  EXPECT_EQ(p.upVersionID, "");
  EXPECT_EQ(p.versionFlag, 0);

  rec.answer(Answer("clientByVersion",
                    "<ns1:out><ns2:curResult xmlns:ns2=\"" + kTypes +
                        "\">1</ns2:curResult><ns2:versionFlag xmlns:ns2=\"" + kTypes +
                        "\">2</ns2:versionFlag><ns2:lastVersionID xmlns:ns2=\"" + kTypes +
                        "\">100094</ns2:lastVersionID><ns2:upVersionID xmlns:ns2=\"" + kTypes +
                        "\">16783120</ns2:upVersionID></ns1:out>"));
  const TChnlVersioninfo v = s.clientByVersion("1.0.0.1", 1);
  EXPECT_EQ(v.curResult, 1);
  EXPECT_EQ(v.versionFlag, 2);
  EXPECT_EQ(v.lastVersionID, 100094);
  EXPECT_EQ(v.upVersionID, "16783120");

  rec.answer(Answer("saveUserAdvice", "<ns1:out>0</ns1:out>"));
  EXPECT_EQ(s.saveUserAdvice(0, "1", "", "x"), 0);
  rec.answer(Answer("getSearchCntsClz", "<ns1:out>search\\ab12.html</ns1:out>"));
  EXPECT_EQ(RemoteSearchPage(s, "星"), "search\\ab12.html");
  rec.answer(Answer("getSearchCntsClz",
                    "<out xsi:nil=\"true\" "
                    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"/>"));
  EXPECT_EQ(s.getSearchCntsClz("星"), "");
  UserServiceUrl.clear();
}

TEST(UserServiceProxy, EveryFailureRaisesUserServiceError)
{
  const QByteArray fault =
      ("<soap:Envelope xmlns:soap=\"" + kEnv +
       "\"><soap:Body><soap:Fault><faultcode>soap:Client</faultcode><faultstring>服务凭证无效"
       "</faultstring></soap:Fault></soap:Body></soap:Envelope>")
          .toUtf8();
  const struct {
    const char *what;
    bool completed;
    long status;
    QByteArray body;
    const char *inMessage;
  } cases[] = {
      {"transport", false, 0, "", "no answer"},
      {"fault with 500", true, 500, fault, "服务凭证无效"},
      {"fault with 200", true, 200, fault, "soap:Client"},
      {"HTTP error page", true, 404, "<html><body>not found</body></html>", "404"},
      {"HTTP error, empty", true, 503, "", "503"},
      {"not XML", true, 200, "hello", "not a SOAP envelope"},
      {"truncated", true, 200, Answer("userLogin", "<ns1:out><curResult>1</curResult>").left(120),
       ""},
      {"no out", true, 200, Answer("userLogin", "<ns1:result>1</ns1:result>"), "out"},
      {"empty body", true, 200,
       ("<soap:Envelope xmlns:soap=\"" + kEnv + "\"><soap:Body/></soap:Envelope>").toUtf8(), "out"},
      {"not an integer", true, 200,
       Answer("userLogin", "<ns1:out><curResult>yes</curResult></ns1:out>"), "curResult"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    Recorder rec;
    rec.answer(c.body, c.status);
    rec.reply.completed = c.completed;
    rec.reply.error = c.completed ? QString() : QStringLiteral("connection refused");
    TUserService s = rec.service();
    UserServiceUrl = "http://127.0.0.1:9/s";
    try {
      s.userLogin("a", "b");
      ADD_FAILURE() << "no error raised";
    } catch (const UserServiceError &e) {
      EXPECT_NE(QString::fromStdString(e.what()).indexOf(QString::fromUtf8(c.inMessage)), -1)
          << e.what();
    }
    UserServiceUrl.clear();
  }
  // No address at all.
  Recorder rec;
  TUserService s = rec.service();
  EXPECT_THROW(s.getSearchCntsClz("a"), UserServiceError);
  // saveUserAdvice's "out" must be a number.
  rec.answer(Answer("saveUserAdvice", "<ns1:out>ok</ns1:out>"));
  UserServiceUrl = "http://127.0.0.1:9/s";
  EXPECT_THROW(s.saveUserAdvice(0, "1", "", "x"), UserServiceError);
  UserServiceUrl.clear();
}

TEST(UserServiceProxy, RealTransportFailsWithinItsTimeOutWhenNothingListens)
{
  TUserService::Options o;
  o.endpoint = QStringLiteral("http://127.0.0.1:9/ksvWsUser/UserService");
  TUserService s(o);
  EXPECT_THROW(s.getSearchCntsClz("a"), UserServiceError);
}

class PortalServiceTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(data.isValid() && ini.isValid());
    ASSERT_TRUE(portal.start(QStringLiteral(KESTROVA_PORTAL_EXE), data.path(),
                             ini.path() + "/platform.ini"))
        << portal.error().toStdString();
    TUserService::Options o;
    o.endpoint = portal.base() + "/ksvWsUser/UserService";
    service = std::make_unique<TUserService>(o);
    o.charsetInContentType = true;
    feedback = std::make_unique<TUserService>(o);
  }
  QTemporaryDir data, ini;
  PortalProcess portal;
  std::unique_ptr<TUserService> service, feedback;
};

TEST_F(PortalServiceTest, TheFourCallsAgainstTheStandInService)
{
  const KsvUserCurPoint ok = service->userLogin("xiaoming", Md5Hex("123456"));
  EXPECT_EQ(ok.curResult, 1);
  EXPECT_EQ(ok.userId, 1001);
  EXPECT_EQ(ok.curLevel, 3);
  EXPECT_EQ(ok.usesValue, 120);
  EXPECT_EQ(service->userLogin("xiaoming", Md5Hex("12345")).curResult, 2);
  EXPECT_EQ(service->userLogin("nobody", Md5Hex("1")).curResult, 0);
  EXPECT_EQ(service->userLogin(QStringLiteral("乐乐"), Md5Hex("654321")).curResult, 1);

  const TChnlVersioninfo v = service->clientByVersion("1.0.3.15", 3);
  EXPECT_EQ(v.curResult, 1);
  EXPECT_GT(v.lastVersionID, 0);
  EXPECT_EQ(service->clientByVersion("garbage", 3).curResult, 0);

  EXPECT_EQ(feedback->saveUserAdvice(0, "1.0.3.15", "", "【建议】 请多加游戏"), 1);
  EXPECT_EQ(feedback->saveUserAdvice(1001, "1.0.3.15", "12345", "好玩"), 1);
  EXPECT_EQ(feedback->saveUserAdvice(0, "1.0.3.15", "", "   "), 0);

  const QString found = RemoteSearchPage(*service, "星星");
  EXPECT_TRUE(found.startsWith("search\\")) << found.toStdString();
  EXPECT_TRUE(found.endsWith(".html")) << found.toStdString();
  EXPECT_EQ(RemoteSearchPage(*service, "没有这样的游戏名"), "");
}

TEST_F(PortalServiceTest, FaultsOfTheServiceReachTheCaller)
{
  // An operation the service describes but does not serve, and one it does
  // not know.
  EXPECT_THROW(service->Call("getCity", {"a", UserCredential(), PasswordCredential()}),
               UserServiceError);
  EXPECT_THROW(service->Call("noSuchCall", {}), UserServiceError);
  // Wrong credentials.
  try {
    service->Call("getSearchCntsClz", {"x", "y", "07", "星", "", ""});
    ADD_FAILURE() << "no fault";
  } catch (const UserServiceError &e) {
    EXPECT_NE(QString::fromStdString(e.what()).indexOf("服务凭证无效"), -1) << e.what();
  }
  // Nothing listens any more.
  portal.stop();
  EXPECT_THROW(service->userLogin("xiaoming", Md5Hex("123456")), UserServiceError);
}

}  // namespace
