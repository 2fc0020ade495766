#include "service/core/soapuserservice.h"

#include "base/globals.h"
#include "crypto/cipher.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

const QString kXsi = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");
const QString kXsd = QStringLiteral("http://www.w3.org/2001/XMLSchema");

[[noreturn]] void Fail(const QString &why) { throw UserServiceError(why.toStdString()); }

bool IsNil(const QXmlStreamReader &r)
{
  const auto v = r.attributes().value(kXsi, QStringLiteral("nil"));
  return v == u"true" || v == u"1";
}

// Reads the fault's code and text; the reader stands on the Fault element.
QString ReadFault(QXmlStreamReader &r)
{
  QString code, text;
  while (r.readNextStartElement()) {
    if (r.name() == u"faultcode")
      code = r.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
    else if (r.name() == u"faultstring")
      text = r.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
    else
      r.skipCurrentElement();
  }
  return code + QStringLiteral(": ") + text;
}

struct Parsed {
  bool fault = false;
  QString faultText;
  SoapAnswer answer;
};

Parsed Parse(const QByteArray &body)
{
  const QString envNs = QLatin1String(SoapEnvelopeNamespace);
  QXmlStreamReader r(body);
  Parsed out;
  if (!r.readNextStartElement() || r.name() != u"Envelope" || r.namespaceUri() != envNs)
    Fail(QStringLiteral("the answer is not a SOAP envelope: %1").arg(r.errorString()));
  bool sawBody = false;
  bool sawOut = false;
  while (r.readNextStartElement()) {
    if (r.name() != u"Body" || r.namespaceUri() != envNs) {
      r.skipCurrentElement();
      continue;
    }
    sawBody = true;
    // The body's first element: the fault or the operation's response.
    if (!r.readNextStartElement())
      break;
    if (r.name() == u"Fault" && r.namespaceUri() == envNs) {
      out.fault = true;
      out.faultText = ReadFault(r);
      return out;
    }
    while (r.readNextStartElement()) {
      if (r.name() != u"out" || sawOut) {
        r.skipCurrentElement();
        continue;
      }
      sawOut = true;
      if (IsNil(r)) {
        r.skipCurrentElement();
        continue;
      }
      QString text;
      while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::Characters) {
          text += r.text();
        } else if (token == QXmlStreamReader::StartElement) {
          const QString name = r.name().toString();
          const bool nil = IsNil(r);
          const QString value = r.readElementText(QXmlStreamReader::IncludeChildElements);
          out.answer.fields.append({name, nil ? QString() : value});
        } else if (token == QXmlStreamReader::EndElement) {
          break;
        }
      }
      if (out.answer.fields.isEmpty())
        out.answer.text = text;
    }
    break;
  }
  if (r.hasError())
    Fail(QStringLiteral("the answer is not well-formed XML: %1").arg(r.errorString()));
  if (!sawBody)
    Fail(QStringLiteral("the answer has no SOAP body"));
  if (!sawOut)
    Fail(QStringLiteral("the answer has no \"out\""));
  return out;
}

}  // namespace

QString UserCredential() { return Md5Hex(QString::fromLatin1(ServiceUserKey)); }
QString PasswordCredential() { return Md5Hex(QString::fromLatin1(ServicePasswordKey)); }

QByteArray BuildSoapRequest(const QString &operation, const QStringList &params)
{
  const QString envNs = QLatin1String(SoapEnvelopeNamespace);
  const QString ns = QLatin1String(UserServiceNamespace);
  QByteArray out;
  QXmlStreamWriter w(&out);
  w.writeStartDocument();
  w.writeNamespace(envNs, QStringLiteral("soap"));
  w.writeNamespace(kXsd, QStringLiteral("xsd"));
  w.writeNamespace(kXsi, QStringLiteral("xsi"));
  w.writeStartElement(envNs, QStringLiteral("Envelope"));
  w.writeStartElement(envNs, QStringLiteral("Body"));
  w.writeNamespace(ns, QStringLiteral("ns1"));
  w.writeStartElement(ns, operation);
  for (qsizetype i = 0; i < params.size(); ++i)
    w.writeTextElement(ns, QStringLiteral("in%1").arg(i), params[i]);
  w.writeEndDocument();
  return out;
}

QString SoapAnswer::field(const QString &name) const
{
  for (const SoapField &f : fields)
    if (f.name == name)
      return f.text;
  return {};
}

int SoapAnswer::intField(const QString &name) const
{
  const QString t = field(name).trimmed();
  if (t.isEmpty())
    return 0;
  bool ok = false;
  const int v = t.toInt(&ok);
  if (!ok)
    Fail(QStringLiteral("field %1 is not an integer: %2").arg(name, t));
  return v;
}

SoapAnswer ParseSoapAnswer(const QByteArray &body)
{
  Parsed p = Parse(body);
  if (p.fault)
    Fail(QStringLiteral("SOAP fault %1").arg(p.faultText));
  return p.answer;
}

TUserService::TUserService() : TUserService(Options{}) {}

TUserService::TUserService(Options options) : m_options(std::move(options)) {}

SoapAnswer TUserService::Call(const QString &operation, const QStringList &params)
{
  HttpRequest req;
  req.method = HttpRequest::Method::Post;
  req.url = m_options.endpoint.isEmpty() ? UserServiceUrl : m_options.endpoint;
  if (req.url.isEmpty())
    Fail(QStringLiteral("no address for the user web service"));
  req.userAgent = "Borland SOAP 1.2";
  req.headers = {{"SOAPAction", "\"\""},
                 {"Content-Type",
                  m_options.charsetInContentType ? "text/xml; charset=\"utf-8\"" : "text/xml"}};
  req.body = BuildSoapRequest(operation, params);
  req.maxBodyBytes = 4ll * 1024 * 1024;
  const HttpResponse res = m_options.transport ? m_options.transport(req) : HttpPerform(req);
  if (!res.completed)
    Fail(QStringLiteral("%1: no answer from %2: %3").arg(operation, req.url, res.error));
  // A fault usually comes with status 500; its text says more than the status.
  Parsed parsed;
  try {
    parsed = Parse(res.body);
  } catch (const UserServiceError &) {
    if (!res.ok())
      Fail(QStringLiteral("%1: HTTP status %2").arg(operation).arg(res.status));
    throw;
  }
  if (parsed.fault)
    Fail(QStringLiteral("%1: SOAP fault %2").arg(operation, parsed.faultText));
  if (!res.ok())
    Fail(QStringLiteral("%1: HTTP status %2").arg(operation).arg(res.status));
  return parsed.answer;
}

KsvUserCurPoint TUserService::userLogin(const QString &userName, const QString &passwordMd5)
{
  const SoapAnswer a = Call(QStringLiteral("userLogin"),
                            {userName, passwordMd5, UserCredential(), PasswordCredential()});
  KsvUserCurPoint p;
  p.curLevel = a.intField(QStringLiteral("curLevel"));
  p.curResult = a.intField(QStringLiteral("curResult"));
  p.exHaltValue = a.intField(QStringLiteral("exHaltValue"));
  p.getExpValue = a.intField(QStringLiteral("getExpValue"));
  p.getPointValue = a.intField(QStringLiteral("getPointValue"));
  p.lastVersionID = a.intField(QStringLiteral("lastVersionID"));
  p.remark = a.field(QStringLiteral("remark"));
  p.upVersionID = a.field(QStringLiteral("upVersionID"));
  p.userId = a.intField(QStringLiteral("userId"));
  p.usesValue = a.intField(QStringLiteral("usesValue"));
  p.versionFlag = a.intField(QStringLiteral("versionFlag"));
  return p;
}

TChnlVersioninfo TUserService::clientByVersion(const QString &versionText, int serviceNumber)
{
  const SoapAnswer a =
      Call(QStringLiteral("clientByVersion"),
           {versionText, QString::number(serviceNumber), UserCredential(), PasswordCredential()});
  TChnlVersioninfo v;
  v.buildNum = a.intField(QStringLiteral("buildNum"));
  v.curResult = a.intField(QStringLiteral("curResult"));
  v.id = a.intField(QStringLiteral("id"));
  v.lastVersionID = a.intField(QStringLiteral("lastVersionID"));
  v.servercrc = a.field(QStringLiteral("servercrc"));
  v.streamcrc = a.field(QStringLiteral("streamcrc"));
  v.upVersionID = a.field(QStringLiteral("upVersionID"));
  v.updateVer = a.field(QStringLiteral("updateVer"));
  v.updateflag = a.intField(QStringLiteral("updateflag"));
  v.version = a.field(QStringLiteral("version"));
  v.versionFlag = a.intField(QStringLiteral("versionFlag"));
  return v;
}

int TUserService::saveUserAdvice(int userId, const QString &versionText, const QString &contact,
                                 const QString &text)
{
  const SoapAnswer a =
      Call(QStringLiteral("saveUserAdvice"), {UserCredential(), PasswordCredential(),
                                              QString::number(userId), versionText, contact, text});
  const QString t = a.text.trimmed();
  bool ok = false;
  const int v = t.toInt(&ok);
  if (!ok)
    Fail(QStringLiteral("saveUserAdvice: \"out\" is not an integer: %1").arg(t));
  return v;
}

QString TUserService::getSearchCntsClz(const QString &words)
{
  return Call(QStringLiteral("getSearchCntsClz"),
              {UserCredential(), PasswordCredential(), QStringLiteral("07"), words, QString(),
               QString()})
      .text;
}

IUserService &SharedUserService()
{
  static TUserService service;
  return service;
}

QString RemoteSearchPage(const QString &words)
{
  return RemoteSearchPage(SharedUserService(), words);
}

QString RemoteSearchPage(IUserService &service, const QString &words)
{
  return service.getSearchCntsClz(words);
}
