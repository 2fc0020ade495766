#include "harness.h"

#include "crypto/cipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <csignal>
#include <curl/curl.h>

const QList<FixtureItem> &FixtureItems()
{
  static const QList<FixtureItem> items = [] {
    QList<FixtureItem> l;
    // 25 games in one channel: two pages at 4 columns (16 a page), and
    // ids on both sides of 128.
    static const char *const names[] = {
        "接星星", "小猫 钓鱼", "打地鼠", "跳_跳",     "赛车", "找宝藏", "飞飞鸟", "气球", "迷宫",
        "拼图",   "数一数",    "认颜色", "小熊 回家", "企鹅", "恐龙",   "火车",   "飞船", "海豚",
        "蜜蜂",   "熊猫",      "画画",   "涂色",      "钓鱼", "积木",   "过河"};
    for (int i = 0; i < 25; ++i)
      l.append({110 + i, "1", "070205", names[i]});
    l.append({250, "1", "070501", "数一数二"});
    l.append({257, "1", "070501", "拼拼图"});
    l.append({300, "4", "070102", "小动画 一"});
    l.append({301, "2", "070106", "儿歌 一"});
    l.append({302, "2", "070106", "儿歌二"});
    return l;
  }();
  return items;
}

QByteArray MediaBytes(int id)
{
  QByteArray b(3000 + id, '\0');
  for (qsizetype i = 0; i < b.size(); ++i)
    b[i] = char((id + i * 7) % 251);
  return b;
}

QByteArray HttpReply::header(const QByteArray &name) const
{
  for (const QByteArray &line : headers.split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
      return line.mid(colon + 1).trimmed();
  }
  return {};
}

namespace {

size_t Collect(char *data, size_t size, size_t n, void *out)
{
  static_cast<QByteArray *>(out)->append(data, static_cast<qsizetype>(size * n));
  return size * n;
}

}  // namespace

HttpReply Http(const QString &url, const HttpRequest &request)
{
  HttpReply reply;
  CURL *c = curl_easy_init();
  const QByteArray u = url.toUtf8();
  curl_easy_setopt(c, CURLOPT_URL, u.constData());
  curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);  // send "../" as it is
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, request.timeoutMs);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &reply.body);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &reply.headers);
  curl_slist *headers = nullptr;
  for (const QByteArray &h : request.headers)
    headers = curl_slist_append(headers, h.constData());
  if (headers)
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  if (request.method == "POST") {
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.constData());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
  } else if (request.method == "HEAD") {
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  }
  if (!request.range.isEmpty())
    curl_easy_setopt(c, CURLOPT_RANGE, request.range.constData());
  if (curl_easy_perform(c) == CURLE_OK)
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(c);
  return reply;
}

bool Portal::WriteSeed(const QString &seedDir)
{
  QDir().mkpath(seedDir + QStringLiteral("/data"));
  QDir().mkpath(seedDir + QStringLiteral("/media"));
  if (!QFile::copy(QStringLiteral(KESTROVA_CHANNELS_TSV),
                   seedDir + QStringLiteral("/data/channels.tsv")))
    return false;
  QByteArray tsv("id\ttype\tchannel\tname\tfile\n");
  for (const FixtureItem &it : FixtureItems()) {
    const QString ext = QString::fromLatin1(it.type) == u"1"   ? QStringLiteral("swf")
                        : QString::fromLatin1(it.type) == u"2" ? QStringLiteral("mp3")
                                                               : QStringLiteral("flv");
    const QString file = QStringLiteral("%1.%2").arg(it.id).arg(ext);
    tsv += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
               .arg(it.id)
               .arg(QLatin1String(it.type), QLatin1String(it.channel), QString::fromUtf8(it.name),
                    file)
               .toUtf8();
    QFile f(seedDir + QStringLiteral("/media/") + file);
    if (!f.open(QIODevice::WriteOnly) || f.write(MediaBytes(it.id)) != MediaBytes(it.id).size())
      return false;
  }
  QFile f(seedDir + QStringLiteral("/data/items.tsv"));
  return f.open(QIODevice::WriteOnly) && f.write(tsv) == tsv.size();
}

Portal::Portal(const QString &root, const QStringList &extra)
    : root_(root), seed_(root + QStringLiteral("/seed")), data_(root + QStringLiteral("/data")),
      ini_(root + QStringLiteral("/appdir/Config/platform.ini")), extra_(extra)
{
  if (!QFileInfo::exists(seed_))
    WriteSeed(seed_);
}

Portal::~Portal()
{
  if (proc_ && proc_->state() != QProcess::NotRunning) {
    proc_->kill();
    proc_->waitForFinished(5000);
  }
}

bool Portal::Start()
{
  proc_ = std::make_unique<QProcess>();
  QStringList args = {QStringLiteral("--port"),         QStringLiteral("0"),
                      QStringLiteral("--data"),         data_,
                      QStringLiteral("--platform-ini"), ini_,
                      QStringLiteral("--seed"),         seed_};
  proc_->start(QStringLiteral(KESTROVA_PORTAL_EXE), args + extra_);
  if (!proc_->waitForStarted(10000))
    return false;
  QByteArray out;
  while (!out.contains('\n') && proc_->waitForReadyRead(20000))
    out += proc_->readAllStandardOutput();
  base_ = QString::fromUtf8(out.left(out.indexOf('\n'))).trimmed();
  return base_.startsWith(u"http://127.0.0.1:");
}

bool Portal::Stop(int signal)
{
  if (!proc_ || proc_->processId() <= 0)
    return false;
  ::kill(static_cast<pid_t>(proc_->processId()), signal);
  const bool ended = proc_->waitForFinished(10000);
  err_ = proc_->readAllStandardError();
  return ended && proc_->exitStatus() == QProcess::NormalExit && proc_->exitCode() == 0;
}

int Portal::RunOnce(const QStringList &args, QByteArray *output)
{
  QProcess p;
  p.start(QStringLiteral(KESTROVA_PORTAL_EXE), args);
  if (!p.waitForFinished(60000))
    return -1;
  if (output)
    *output = p.readAllStandardOutput() + p.readAllStandardError();
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QString UserCredential() { return Md5Hex(QString::fromLatin1(ServiceUserKey)); }

QString PasswordCredential() { return Md5Hex(QString::fromLatin1(ServicePasswordKey)); }

QByteArray Envelope(const QString &operation, const QStringList &params, const QString &ns)
{
  QString body;
  for (qsizetype i = 0; i < params.size(); ++i)
    body += QStringLiteral("<in%1>%2</in%1>").arg(i).arg(params[i].toHtmlEscaped());
  return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                        "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
                        "<soap:Body><op:%1 xmlns:op=\"%2\">%3</op:%1></soap:Body></soap:Envelope>")
      .arg(operation, ns, body)
      .toUtf8();
}

HttpReply Soap(const Portal &p, const QByteArray &envelope)
{
  HttpRequest r;
  r.method = "POST";
  r.body = envelope;
  r.headers = {"Content-Type: text/xml", "SOAPAction: \"\"", "User-Agent: Borland SOAP 1.2"};
  return p.Get(QStringLiteral("/ksvWsUser/UserService"), r);
}

QString XmlValue(const QByteArray &xml, const QString &localName)
{
  QXmlStreamReader r(xml);
  while (!r.atEnd()) {
    r.readNext();
    if (r.isStartElement() && r.name() == localName)
      return r.readElementText(QXmlStreamReader::IncludeChildElements);
  }
  return QStringLiteral("<missing>");
}

void PortalTest::SetUp()
{
  ASSERT_TRUE(tmp_.isValid());
  portal_ = std::make_unique<Portal>(tmp_.path());
  ASSERT_TRUE(portal_->Start()) << "the portal did not print its address";
}

void PortalTest::TearDown()
{
  if (portal_) {
    EXPECT_TRUE(portal_->Stop()) << portal_->stderrText().toStdString();
  }
}
