#include "soap.h"

#include "crypto/cipher.h"
#include "derived.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <functional>

namespace portal {

namespace {

const QString kEnvelopeNs = QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");
const QString kXsd = QStringLiteral("http://www.w3.org/2001/XMLSchema");
const QString kXsi = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");
const QString kWsdl = QStringLiteral("http://schemas.xmlsoap.org/wsdl/");
const QString kWsdlSoap = QStringLiteral("http://schemas.xmlsoap.org/wsdl/soap/");

// Parameters: s text, i Integer, U KsvUser.  Results: s text, i Integer,
// P KsvUserCurPoint, T TChnlVersioninfo, U KsvUser, C ArrayOfKsvCity,
// V ArrayOfKsvProvince, 0 nothing.
struct Operation {
  const char *name;
  const char *params;
  char result;
};

constexpr Operation kOperations[] = {
    {"getSearchCntsNew", "sssss", 's'},
    {"userLogin", "ssss", 'P'},
    {"UserExists", "sss", 'i'},
    {"getCity", "sss", 'C'},
    {"getUserCurPoint", "iiss", 'P'},
    {"regUser", "U", 'i'},
    {"getRegion", "sss", 'V'},
    {"saveUserViewPoints", "ssiiii", 'i'},
    {"changeUsrInfos", "U", 'i'},
    {"smsToFriend", "isssss", 'i'},
    {"getUserNames", "sss", 'U'},
    {"getUserPwd", "sss", 'i'},
    {"getCitys", "ss", 'C'},
    {"EmailLegel", "sss", 'i'},
    {"getIsUsePoints", "iss", 'i'},
    {"saveUserViews", "ssiii", 'i'},
    {"getUser", "iss", 'U'},
    {"getSearchCntsClz", "ssssss", 's'},
    {"saveUser", "U", '0'},
    {"userLoginByVersion", "sssss", 'P'},
    {"getProvince", "ss", 'V'},
    {"clientByVersion", "siss", 'T'},
    {"getRegions", "ss", 'V'},
    {"changeUsrPwd", "issss", 'i'},
    {"saveUserAdvice", "ssisss", 'i'},
    {"getSearchCnts", "ssss", 's'},
    {"saveBabyLog", "isss", 'i'},
};

// Fields of the complex types, in element order: name and s/i/d (dateTime).
struct Field {
  const char *name;
  char type;
};
struct ComplexType {
  const char *name;
  std::initializer_list<Field> fields;
};

const ComplexType kTypes[] = {
    {"KsvUserCurPoint",
     {{"curLevel", 'i'},
      {"curResult", 'i'},
      {"exHaltValue", 'i'},
      {"getExpValue", 'i'},
      {"getPointValue", 'i'},
      {"lastVersionID", 'i'},
      {"remark", 's'},
      {"upVersionID", 's'},
      {"userId", 'i'},
      {"usesValue", 'i'},
      {"versionFlag", 'i'}}},
    {"TChnlVersioninfo",
     {{"buildNum", 'i'},
      {"curResult", 'i'},
      {"id", 'i'},
      {"lastVersionID", 'i'},
      {"servercrc", 's'},
      {"streamcrc", 's'},
      {"upVersionID", 's'},
      {"updateVer", 's'},
      {"updateflag", 'i'},
      {"version", 's'},
      {"versionFlag", 'i'}}},
    {"KsvUser",
     {{"birthday", 'd'},    {"checkUserName", 's'}, {"checkUserPwd", 's'}, {"cityId", 's'},
      {"email", 's'},       {"isvip", 's'},         {"lastLoginIp", 's'},  {"lastLoginTime", 'd'},
      {"loginName", 's'},   {"loginPwd", 's'},      {"photoUrl", 's'},     {"provinceId", 's'},
      {"recommender", 's'}, {"regTime", 'd'},       {"regionid", 's'},     {"remark", 's'},
      {"sex", 's'},         {"userId", 'i'},        {"userMsn", 's'},      {"userName", 's'},
      {"userQq", 's'}}},
    {"KsvCity",
     {{"cityId", 's'},
      {"cityName", 's'},
      {"creDate", 'd'},
      {"creUserId", 'i'},
      {"provicneId", 's'}}},
    {"KsvProvince",
     {{"creDate", 'd'},
      {"creUserId", 'i'},
      {"parentId", 's'},
      {"provinceId", 's'},
      {"provinceName", 's'}}},
};

QString XsdType(char t)
{
  switch (t) {
  case 'i':
    return QStringLiteral("xsd:int");
  case 'd':
    return QStringLiteral("xsd:dateTime");
  case 'U':
    return QStringLiteral("ns1:KsvUser");
  case 'P':
    return QStringLiteral("ns1:KsvUserCurPoint");
  case 'T':
    return QStringLiteral("ns1:TChnlVersioninfo");
  case 'C':
    return QStringLiteral("ns1:ArrayOfKsvCity");
  case 'V':
    return QStringLiteral("ns1:ArrayOfKsvProvince");
  default:
    return QStringLiteral("xsd:string");
  }
}

struct Fault {
  QString code;  // "Client" or "Server"
  QString text;
};

QByteArray FaultEnvelope(const Fault &f)
{
  QByteArray out;
  QXmlStreamWriter w(&out);
  w.writeStartDocument();
  w.writeNamespace(kEnvelopeNs, QStringLiteral("soap"));
  w.writeStartElement(kEnvelopeNs, QStringLiteral("Envelope"));
  w.writeStartElement(kEnvelopeNs, QStringLiteral("Body"));
  w.writeStartElement(kEnvelopeNs, QStringLiteral("Fault"));
  w.writeTextElement(QStringLiteral("faultcode"), QStringLiteral("soap:") + f.code);
  w.writeTextElement(QStringLiteral("faultstring"), f.text);
  w.writeEndDocument();
  return out;
}

using Values = QList<std::pair<QString, QString>>;  // field name, value

QByteArray AnswerEnvelope(const QString &operation, std::optional<QString> simple,
                          const Values &fields)
{
  QByteArray out;
  QXmlStreamWriter w(&out);
  w.writeStartDocument();
  w.writeNamespace(kEnvelopeNs, QStringLiteral("soap"));
  w.writeNamespace(kXsd, QStringLiteral("xsd"));
  w.writeNamespace(kXsi, QStringLiteral("xsi"));
  w.writeStartElement(kEnvelopeNs, QStringLiteral("Envelope"));
  w.writeStartElement(kEnvelopeNs, QStringLiteral("Body"));
  w.writeNamespace(QLatin1String(kServiceNamespace), QStringLiteral("ns1"));
  w.writeStartElement(QLatin1String(kServiceNamespace), operation + QStringLiteral("Response"));
  w.writeStartElement(QLatin1String(kServiceNamespace), QStringLiteral("out"));
  if (simple) {
    w.writeCharacters(*simple);
  } else {
    w.writeNamespace(QLatin1String(kTypeNamespace), QStringLiteral("ns2"));
    for (const auto &[name, value] : fields)
      w.writeTextElement(QLatin1String(kTypeNamespace), name, value);
  }
  w.writeEndDocument();
  return out;
}

const Operation *FindOperation(const QString &name)
{
  for (const Operation &op : kOperations)
    if (name == QLatin1String(op.name))
      return &op;
  return nullptr;
}

}  // namespace

UserService::UserService(const Model &model, Store &store, QString searchDb, QString resourceDir)
    : model_(model), store_(store), searchDb_(std::move(searchDb)),
      resourceDir_(std::move(resourceDir))
{
}

QString UserService::UserCredential() { return Md5Hex(QString::fromLatin1(ServiceUserKey)); }

QString UserService::PasswordCredential()
{
  return Md5Hex(QString::fromLatin1(ServicePasswordKey));
}

QByteArray UserService::Wsdl(const QString &endpoint) const
{
  const QString sns = QLatin1String(kServiceNamespace);
  const QString tns = QLatin1String(kTypeNamespace);
  QByteArray out;
  QXmlStreamWriter w(&out);
  w.setAutoFormatting(true);
  w.writeStartDocument();
  w.writeNamespace(kWsdl, QStringLiteral("wsdl"));
  w.writeNamespace(kWsdlSoap, QStringLiteral("wsdlsoap"));
  w.writeNamespace(kXsd, QStringLiteral("xsd"));
  w.writeNamespace(sns, QStringLiteral("tns"));
  w.writeNamespace(tns, QStringLiteral("ns1"));
  w.writeStartElement(kWsdl, QStringLiteral("definitions"));
  w.writeAttribute(QStringLiteral("targetNamespace"), sns);

  w.writeStartElement(kWsdl, QStringLiteral("types"));
  // Type namespace: the complex types.
  w.writeStartElement(kXsd, QStringLiteral("schema"));
  w.writeAttribute(QStringLiteral("targetNamespace"), tns);
  w.writeAttribute(QStringLiteral("elementFormDefault"), QStringLiteral("qualified"));
  w.writeAttribute(QStringLiteral("attributeFormDefault"), QStringLiteral("qualified"));
  for (const ComplexType &t : kTypes) {
    w.writeStartElement(kXsd, QStringLiteral("complexType"));
    w.writeAttribute(QStringLiteral("name"), QLatin1String(t.name));
    w.writeStartElement(kXsd, QStringLiteral("sequence"));
    for (const Field &f : t.fields) {
      w.writeEmptyElement(kXsd, QStringLiteral("element"));
      w.writeAttribute(QStringLiteral("minOccurs"), QStringLiteral("0"));
      w.writeAttribute(QStringLiteral("name"), QLatin1String(f.name));
      if (f.type != 'i')
        w.writeAttribute(QStringLiteral("nillable"), QStringLiteral("true"));
      w.writeAttribute(QStringLiteral("type"), XsdType(f.type));
    }
    w.writeEndElement();
    w.writeEndElement();
  }
  for (const auto &[array, item] :
       {std::pair{"ArrayOfKsvCity", "KsvCity"}, std::pair{"ArrayOfKsvProvince", "KsvProvince"}}) {
    w.writeStartElement(kXsd, QStringLiteral("complexType"));
    w.writeAttribute(QStringLiteral("name"), QLatin1String(array));
    w.writeStartElement(kXsd, QStringLiteral("sequence"));
    w.writeEmptyElement(kXsd, QStringLiteral("element"));
    w.writeAttribute(QStringLiteral("maxOccurs"), QStringLiteral("unbounded"));
    w.writeAttribute(QStringLiteral("minOccurs"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("name"), QLatin1String(item));
    w.writeAttribute(QStringLiteral("nillable"), QStringLiteral("true"));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("ns1:") + QLatin1String(item));
    w.writeEndElement();
    w.writeEndElement();
  }
  w.writeEndElement();
  // Service namespace: one request and one response element per operation.
  w.writeStartElement(kXsd, QStringLiteral("schema"));
  w.writeAttribute(QStringLiteral("targetNamespace"), sns);
  w.writeAttribute(QStringLiteral("elementFormDefault"), QStringLiteral("qualified"));
  w.writeAttribute(QStringLiteral("attributeFormDefault"), QStringLiteral("qualified"));
  for (const Operation &op : kOperations) {
    auto element = [&](const QString &name, const QList<std::pair<QString, char>> &children) {
      w.writeStartElement(kXsd, QStringLiteral("element"));
      w.writeAttribute(QStringLiteral("name"), name);
      w.writeStartElement(kXsd, QStringLiteral("complexType"));
      w.writeStartElement(kXsd, QStringLiteral("sequence"));
      for (const auto &[child, type] : children) {
        w.writeEmptyElement(kXsd, QStringLiteral("element"));
        w.writeAttribute(QStringLiteral("maxOccurs"), QStringLiteral("1"));
        w.writeAttribute(QStringLiteral("minOccurs"), QStringLiteral("1"));
        w.writeAttribute(QStringLiteral("name"), child);
        w.writeAttribute(QStringLiteral("nillable"),
                         type == 'i' ? QStringLiteral("false") : QStringLiteral("true"));
        w.writeAttribute(QStringLiteral("type"), XsdType(type));
      }
      w.writeEndElement();
      w.writeEndElement();
      w.writeEndElement();
    };
    QList<std::pair<QString, char>> in;
    for (int i = 0; op.params[i]; ++i)
      in.append({QStringLiteral("in%1").arg(i), op.params[i]});
    element(QLatin1String(op.name), in);
    QList<std::pair<QString, char>> outs;
    if (op.result != '0')
      outs.append({QStringLiteral("out"), op.result});
    element(QLatin1String(op.name) + QStringLiteral("Response"), outs);
  }
  w.writeEndElement();
  w.writeEndElement();  // types

  for (const Operation &op : kOperations) {
    for (const QString &suffix : {QStringLiteral("Request"), QStringLiteral("Response")}) {
      w.writeStartElement(kWsdl, QStringLiteral("message"));
      w.writeAttribute(QStringLiteral("name"), QLatin1String(op.name) + suffix);
      w.writeEmptyElement(kWsdl, QStringLiteral("part"));
      w.writeAttribute(QStringLiteral("name"), QStringLiteral("parameters"));
      w.writeAttribute(QStringLiteral("element"), QStringLiteral("tns:") + QLatin1String(op.name) +
                                                      (suffix == u"Response" ? suffix : QString()));
      w.writeEndElement();
    }
  }
  w.writeStartElement(kWsdl, QStringLiteral("portType"));
  w.writeAttribute(QStringLiteral("name"), QStringLiteral("UserServicePortType"));
  for (const Operation &op : kOperations) {
    const QString name = QLatin1String(op.name);
    w.writeStartElement(kWsdl, QStringLiteral("operation"));
    w.writeAttribute(QStringLiteral("name"), name);
    w.writeEmptyElement(kWsdl, QStringLiteral("input"));
    w.writeAttribute(QStringLiteral("name"), name + QStringLiteral("Request"));
    w.writeAttribute(QStringLiteral("message"),
                     QStringLiteral("tns:") + name + QStringLiteral("Request"));
    w.writeEmptyElement(kWsdl, QStringLiteral("output"));
    w.writeAttribute(QStringLiteral("name"), name + QStringLiteral("Response"));
    w.writeAttribute(QStringLiteral("message"),
                     QStringLiteral("tns:") + name + QStringLiteral("Response"));
    w.writeEndElement();
  }
  w.writeEndElement();
  w.writeStartElement(kWsdl, QStringLiteral("binding"));
  w.writeAttribute(QStringLiteral("name"), QStringLiteral("UserServiceHttpBinding"));
  w.writeAttribute(QStringLiteral("type"), QStringLiteral("tns:UserServicePortType"));
  w.writeEmptyElement(kWsdlSoap, QStringLiteral("binding"));
  w.writeAttribute(QStringLiteral("style"), QStringLiteral("document"));
  w.writeAttribute(QStringLiteral("transport"),
                   QStringLiteral("http://schemas.xmlsoap.org/soap/http"));
  for (const Operation &op : kOperations) {
    const QString name = QLatin1String(op.name);
    w.writeStartElement(kWsdl, QStringLiteral("operation"));
    w.writeAttribute(QStringLiteral("name"), name);
    w.writeEmptyElement(kWsdlSoap, QStringLiteral("operation"));
    w.writeAttribute(QStringLiteral("soapAction"), QString());
    for (const QString &dir : {QStringLiteral("input"), QStringLiteral("output")}) {
      w.writeStartElement(kWsdl, dir);
      w.writeAttribute(
          QStringLiteral("name"),
          name + (dir == u"input" ? QStringLiteral("Request") : QStringLiteral("Response")));
      w.writeEmptyElement(kWsdlSoap, QStringLiteral("body"));
      w.writeAttribute(QStringLiteral("use"), QStringLiteral("literal"));
      w.writeEndElement();
    }
    w.writeEndElement();
  }
  w.writeEndElement();
  w.writeStartElement(kWsdl, QStringLiteral("service"));
  w.writeAttribute(QStringLiteral("name"), QStringLiteral("UserService"));
  w.writeStartElement(kWsdl, QStringLiteral("port"));
  w.writeAttribute(QStringLiteral("name"), QStringLiteral("UserServiceHttpPort"));
  w.writeAttribute(QStringLiteral("binding"), QStringLiteral("tns:UserServiceHttpBinding"));
  w.writeEmptyElement(kWsdlSoap, QStringLiteral("address"));
  w.writeAttribute(QStringLiteral("location"), endpoint);
  w.writeEndDocument();
  return out;
}

UserService::Reply UserService::Handle(const QByteArray &request)
{
  auto fault = [](const QString &code, const QString &text) {
    return Reply{500, FaultEnvelope(Fault{code, text})};
  };
  if (request.size() > kMaxEnvelopeBytes)
    return fault(QStringLiteral("Client"),
                 QStringLiteral("请求报文过大（上限 %1 字节）").arg(kMaxEnvelopeBytes));

  // Read the envelope: Envelope > [Header] > Body > operation > in0, in1, …
  QXmlStreamReader r(request);
  QString opName, opNs;
  QHash<QString, QString> params;
  int depth = 0;
  bool sawEnvelope = false, inBody = false;
  while (!r.atEnd()) {
    const auto token = r.readNext();
    if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
      return fault(QStringLiteral("Client"), QStringLiteral("报文中不允许文档类型声明"));
    if (token == QXmlStreamReader::EndElement) {
      if (depth == 2)
        inBody = false;
      --depth;
      continue;
    }
    if (token != QXmlStreamReader::StartElement)
      continue;
    ++depth;
    if (depth == 1) {
      if (sawEnvelope || r.name() != u"Envelope" || r.namespaceUri() != kEnvelopeNs)
        return fault(QStringLiteral("Client"), QStringLiteral("不是 SOAP 1.1 报文"));
      sawEnvelope = true;
    } else if (depth == 2) {
      if (r.namespaceUri() == kEnvelopeNs && r.name() == u"Body") {
        inBody = true;
      } else {
        r.skipCurrentElement();
        --depth;
      }
    } else if (depth == 3 && inBody) {
      if (!opName.isEmpty())
        return fault(QStringLiteral("Client"), QStringLiteral("报文正文只能含一个操作"));
      opName = r.name().toString();
      opNs = r.namespaceUri().toString();
    } else if (depth == 4 && inBody) {
      const QString name = r.name().toString();
      const bool nil = r.attributes().value(kXsi, QStringLiteral("nil")) == u"true";
      const QString text = r.readElementText(QXmlStreamReader::IncludeChildElements);
      --depth;
      if (params.contains(name))
        return fault(QStringLiteral("Client"), QStringLiteral("参数 %1 重复").arg(name));
      params.insert(name, nil ? QString() : text);
    } else {
      r.skipCurrentElement();
      --depth;
    }
  }
  if (r.hasError())
    return fault(QStringLiteral("Client"), QStringLiteral("报文格式错误：%1").arg(r.errorString()));
  if (opName.isEmpty())
    return fault(QStringLiteral("Client"), QStringLiteral("报文正文中没有操作"));
  const Operation *op = FindOperation(opName);
  if (!op)
    return fault(QStringLiteral("Client"), QStringLiteral("没有这个操作：%1").arg(opName));
  if (opNs != QLatin1String(kServiceNamespace))
    return fault(
        QStringLiteral("Client"),
        QStringLiteral("操作 %1 应在命名空间 %2 中").arg(opName, QLatin1String(kServiceNamespace)));

  QStringList in;
  QList<int> ints;
  for (int i = 0; op->params[i]; ++i) {
    const QString key = QStringLiteral("in%1").arg(i);
    if (!params.contains(key))
      return fault(QStringLiteral("Client"), QStringLiteral("缺少参数 %1").arg(key));
    in.append(params.value(key));
    int value = 0;
    if (op->params[i] == 'i') {
      bool ok = false;
      value = params.value(key).trimmed().toInt(&ok);
      if (!ok)
        return fault(QStringLiteral("Client"), QStringLiteral("参数 %1 不是整数").arg(key));
    }
    ints.append(value);
  }

  // The credentials: last two parameters for userLogin and clientByVersion,
  // first two for saveUserAdvice and getSearchCntsClz.
  int credAt = -1;
  if (opName == u"userLogin" || opName == u"clientByVersion")
    credAt = 2;
  else if (opName == u"saveUserAdvice" || opName == u"getSearchCntsClz")
    credAt = 0;
  else
    return fault(QStringLiteral("Server"), QStringLiteral("操作 %1 在本服务上未开放").arg(opName));
  if (in[credAt].trimmed() != UserCredential() || in[credAt + 1].trimmed() != PasswordCredential())
    return fault(QStringLiteral("Client"), QStringLiteral("服务凭证无效"));

  if (opName == u"userLogin") {
    Account a;
    const Store::LoginResult res = store_.Login(in[0], in[1], &a);
    int code = 1;
    QString remark = QStringLiteral("欢迎回来");
    switch (res) {
    case Store::LoginResult::Accepted:
      break;
    case Store::LoginResult::UnknownUser:
      code = 0;
      remark = QStringLiteral("用户不存在");
      break;
    case Store::LoginResult::WrongPassword:
      code = 2;
      remark = QStringLiteral("用户密码不正确");
      break;
    case Store::LoginResult::Locked:
      code = 3;
      remark = QStringLiteral("用户已停用");
      break;
    }
    const bool ok = code == 1;
    return Reply{
        200,
        AnswerEnvelope(opName, std::nullopt,
                       {{QStringLiteral("curLevel"), QString::number(ok ? a.level : 0)},
                        {QStringLiteral("curResult"), QString::number(code)},
                        {QStringLiteral("exHaltValue"), QStringLiteral("0")},
                        {QStringLiteral("getExpValue"), QString::number(ok ? a.logins : 0)},
                        {QStringLiteral("getPointValue"), QStringLiteral("0")},
                        {QStringLiteral("lastVersionID"), QString::number(kNewestCatalogVersion)},
                        {QStringLiteral("remark"), remark},
                        {QStringLiteral("upVersionID"), QString()},
                        {QStringLiteral("userId"), QString::number(ok ? a.userId : 0)},
                        {QStringLiteral("usesValue"), QString::number(ok ? a.points : 0)},
                        {QStringLiteral("versionFlag"), QStringLiteral("0")}})};
  }
  if (opName == u"clientByVersion") {
    static const QRegularExpression versionText(
        QStringLiteral("^\\d{1,5}\\.\\d{1,5}\\.\\d{1,5}\\.\\d{1,5}$"));
    const QString version = in[0].trimmed();
    const bool valid = versionText.match(version).hasMatch();
    const UpdateReport rep = store_.Report(kNewestCatalogVersion);
    return Reply{
        200, AnswerEnvelope(
                 opName, std::nullopt,
                 {{QStringLiteral("buildNum"),
                   valid ? version.section(u'.', 3, 3) : QStringLiteral("0")},
                  {QStringLiteral("curResult"), valid ? QStringLiteral("1") : QStringLiteral("0")},
                  {QStringLiteral("id"), QString::number(ints[1])},
                  {QStringLiteral("lastVersionID"), QString::number(valid ? rep.catalog : 0)},
                  {QStringLiteral("servercrc"), QString()},
                  {QStringLiteral("streamcrc"), QString()},
                  {QStringLiteral("upVersionID"), QString::number(valid ? rep.wsUpdater : 0)},
                  {QStringLiteral("updateVer"), QString()},
                  {QStringLiteral("updateflag"), QStringLiteral("0")},
                  {QStringLiteral("version"), version},
                  {QStringLiteral("versionFlag"), QString::number(valid ? rep.wsAction : 0)}})};
  }
  if (opName == u"saveUserAdvice") {
    const QString text = in[5];
    const bool acceptable = !text.trimmed().isEmpty() && text.size() <= 2000 &&
                            in[4].size() <= 100 && in[3].size() <= 64 && ints[2] >= 0;
    const bool stored = acceptable && store_.SaveFeedback(ints[2], in[3], in[4].trimmed(), text);
    return Reply{200,
                 AnswerEnvelope(opName, stored ? QStringLiteral("1") : QStringLiteral("0"), {})};
  }
  // getSearchCntsClz: in2 the class code prefix, in3 the search words.
  const QString cls = in[2].trimmed();
  const QString words = in[3].trimmed();
  static const QRegularExpression classCode(QStringLiteral("^\\d{0,6}$"));
  if (words.isEmpty() || words.size() > 100 || !classCode.match(cls).hasMatch())
    return Reply{200, AnswerEnvelope(opName, QString(), {})};
  QList<SearchRow> rows;
  QString error;
  if (!SearchTitles(searchDb_, cls, words, &rows, &error))
    return fault(QStringLiteral("Server"), QStringLiteral("搜索暂时不可用"));
  if (rows.isEmpty())
    return Reply{200, AnswerEnvelope(opName, QString(), {})};
  const QString name = QString::fromLatin1(
      QCryptographicHash::hash((cls + u'\n' + words).toUtf8(), QCryptographicHash::Md5).toHex());
  const QString dir = resourceDir_ + QStringLiteral("search/");
  // Keep the folder of result pages bounded: drop the oldest beyond 500.
  QDir pages(dir, QStringLiteral("*.html"), QDir::Time | QDir::Reversed, QDir::Files);
  const QFileInfoList old = pages.entryInfoList();
  for (qsizetype i = 0; i + 500 < old.size(); ++i)
    QFile::remove(old[i].absoluteFilePath());
  if (!WriteFileAtomically(dir + name + QStringLiteral(".html"), SearchResultPage(rows)))
    return fault(QStringLiteral("Server"), QStringLiteral("搜索结果无法保存"));
  return Reply{
      200, AnswerEnvelope(opName, QStringLiteral("search\\") + name + QStringLiteral(".html"), {})};
}

}  // namespace portal
