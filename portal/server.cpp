#include "server.h"

#include "crypto/cipher.h"
#include "derived.h"
#include "pages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <http/byterange.h>
#include <http/guardedserver.h>

#include <cstdio>
#include <memory>

namespace portal {

namespace http = kestrova::http;

namespace {

constexpr char kHtml[] = "text/html; charset=utf-8";
constexpr char kStampFormat[] = "derived-data 1";

std::string Std(const QByteArray &b)
{
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

QString Group(const httplib::Request &req, size_t i)
{
  return QString::fromStdString(req.matches[i].str());
}

void SendHtml(httplib::Response &res, const QByteArray &page, int status = 200)
{
  res.status = status;
  res.set_header("Cache-Control", "no-cache");
  res.set_content(Std(page), kHtml);
}

void NotFound(httplib::Response &res, const QString &why = QStringLiteral("页面没有找到。"))
{
  SendHtml(res, ErrorPage(404, why), 404);
}

void SendText(httplib::Response &res, const QString &text, int status = 200)
{
  res.status = status;
  res.set_header("Cache-Control", "no-cache");
  res.set_content(text.toStdString(), "text/plain; charset=utf-8");
}

bool ReadFile(const QString &path, QByteArray *out)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return false;
  *out = f.readAll();
  return true;
}

const char *MimeOf(const QString &ext)
{
  if (ext == u"swf")
    return "application/x-shockwave-flash";
  if (ext == u"mp3")
    return "audio/mpeg";
  if (ext == u"flv")
    return "video/x-flv";
  if (ext == u"txt")
    return "text/plain";
  if (ext == u"zip")
    return "application/zip";
  return "application/octet-stream";
}

http::ServerLimits Limits()
{
  http::ServerLimits l;
  l.workers = 16;
  l.headTimeout = std::chrono::seconds(5);   // also how long a kept-alive connection may idle
  l.bodyTimeout = std::chrono::seconds(10);  // SOAP and comment bodies
  l.writeTimeout = std::chrono::seconds(10);
  return l;
}

// What a Range header asks of a body of `size` bytes: the status and the
// part to send.  False for an unsatisfiable range, which is answered here.
bool ApplyRange(const httplib::Request &req, httplib::Response &res, qint64 size, qint64 *first,
                qint64 *length)
{
  const auto range =
      http::ParseByteRange(req.get_header_value("Range"), static_cast<std::uint64_t>(size));
  res.set_header("Accept-Ranges", "bytes");
  *first = 0;
  *length = size;
  switch (range.kind) {
  case http::ByteRange::Kind::Whole:
    res.status = 200;
    return true;
  case http::ByteRange::Kind::Part:
    res.status = 206;
    res.set_header("Content-Range", range.contentRange(static_cast<std::uint64_t>(size)));
    *first = static_cast<qint64>(range.first);
    *length = static_cast<qint64>(range.length);
    return true;
  case http::ByteRange::Kind::Unsatisfiable:
    break;
  }
  res.status = 416;
  res.set_header("Content-Range", range.contentRange(static_cast<std::uint64_t>(size)));
  res.set_content("", "text/plain");
  return false;
}

// Content bytes, or the part of them a Range header asks for.
void SendBytes(const httplib::Request &req, httplib::Response &res, const QByteArray &bytes,
               const char *mime)
{
  qint64 first = 0, length = 0;
  if (ApplyRange(req, res, bytes.size(), &first, &length))
    res.set_content(Std(bytes.mid(first, length)), mime);
}

// Streams a file in pieces, or the part of it a Range header asks for.
void SendFile(const httplib::Request &req, httplib::Response &res, const QString &path,
              const char *mime)
{
  auto file = std::make_shared<QFile>(path);
  if (!file->open(QIODevice::ReadOnly)) {
    NotFound(res, QStringLiteral("文件暂时无法读取。"));
    return;
  }
  qint64 first = 0, length = 0;
  if (!ApplyRange(req, res, file->size(), &first, &length))
    return;
  res.set_content_provider(static_cast<size_t>(length), mime,
                           [file, first](size_t offset, size_t left, httplib::DataSink &sink) {
                             if (!file->seek(first + static_cast<qint64>(offset)))
                               return false;
                             QByteArray buf(
                                 static_cast<qsizetype>(std::min<size_t>(left, 256 * 1024)),
                                 Qt::Uninitialized);
                             const qint64 n = file->read(buf.data(), buf.size());
                             if (n <= 0)
                               return false;
                             return sink.write(buf.constData(), static_cast<size_t>(n));
                           });
}

}  // namespace

PortalServer::PortalServer(const Model &model, Store &store)
    : model_(model), store_(store), http_(std::make_unique<http::GuardedServer>(Limits()))
{
  service_ =
      std::make_unique<UserService>(model_, store_, store_.dataDir() + QStringLiteral("search.db"),
                                    store_.dataDir() + QStringLiteral("hl/"));
  http_->set_payload_max_length(1024 * 1024);
  Routes();
}

PortalServer::~PortalServer() = default;

int PortalServer::Bind(int port)
{
  port_ = port == 0 ? http_->bind_to_any_port("127.0.0.1")
                    : (http_->bind_to_port("127.0.0.1", port) ? port : -1);
  return port_;
}

void PortalServer::LogRequests()
{
  http_->set_logger([](const httplib::Request &req, const httplib::Response &res) {
    std::fprintf(stderr, "%s %s -> %d\n", req.method.c_str(), req.target.c_str(), res.status);
  });
}

void PortalServer::Run() { http_->listen_after_bind(); }

void PortalServer::Stop() { http_->shutdown(); }

bool PortalServer::PrepareData(const Model &model, const QString &dataDir, QString *error)
{
  const QString dir = QDir(dataDir).absolutePath() + u'/';
  const QByteArray stamp = QByteArray(kStampFormat) + '\n' + model.fingerprint() + '\n';
  QByteArray old;
  bool complete = ReadFile(dir + QStringLiteral("derived.stamp"), &old) && old == stamp &&
                  QFileInfo::exists(dir + QStringLiteral("search.db"));
  for (int v : kCatalogVersions)
    complete = complete && QFileInfo::exists(dir + QStringLiteral("hl/%1/all/%1.XML").arg(v));
  if (complete)
    return true;
  QFile::remove(dir + QStringLiteral("derived.stamp"));
  for (int v : kCatalogVersions) {
    const QString path = dir + QStringLiteral("hl/%1/all/%1.XML").arg(v);
    if (!WriteFileAtomically(path, CatalogXml(model, v))) {
      *error = QStringLiteral("cannot write %1").arg(path);
      return false;
    }
  }
  if (!WriteSearchDatabase(model, kNewestCatalogVersion, dir + QStringLiteral("search.db"), error))
    return false;
  // Result pages of earlier data would link items that may be gone.
  QDir pages(dir + QStringLiteral("hl/search"), QStringLiteral("*.html"), QDir::NoSort,
             QDir::Files);
  for (const QString &f : pages.entryList())
    pages.remove(f);
  if (!WriteFileAtomically(dir + QStringLiteral("derived.stamp"), stamp)) {
    *error = QStringLiteral("cannot write %1derived.stamp").arg(dir);
    return false;
  }
  return true;
}

void PortalServer::Routes()
{
  httplib::Server &s = *http_;

  // Only requests for this server itself (no other host name, which a page
  // elsewhere could have pointed at this port).
  s.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
    if (kestrova::http::IsOwnHost(req.get_header_value("Host"), port_))
      return httplib::Server::HandlerResponse::Unhandled;
    res.status = 400;
    res.set_content("this server answers for 127.0.0.1 only\n", "text/plain");
    return httplib::Server::HandlerResponse::Handled;
  });

  // Start page, and the start pages of the other editions.
  auto start = [this](const httplib::Request &, httplib::Response &res, int edition) {
    SendHtml(res, StartPage(model_, edition));
  };
  s.Get("/", [start](const httplib::Request &q, httplib::Response &r) { start(q, r, 0); });
  s.Get("/index.htm", [start](const httplib::Request &q, httplib::Response &r) { start(q, r, 0); });
  s.Get(R"(/index(\d{1,4})\.htm)", [start](const httplib::Request &q, httplib::Response &r) {
    start(q, r, Group(q, 1).toInt());
  });

  // Channel listing pages: V_DL/all/xx/xxxx/xxxxxx/[columns/]page.html
  s.Get(R"(/hl/(\d{6})_DL/all/(\d{2})/(\d{4})/(\d{6})/(?:(\d{1,3})/)?(\d{1,6})\.html)",
        [this](const httplib::Request &req, httplib::Response &res) {
          const int version = Group(req, 1).toInt();
          const QString id = Group(req, 4);
          const Record *ch = model_.FindRecord(id);
          if (!IsServedVersion(version) || !ch || !ch->isChannel() || ch->since > version ||
              Group(req, 2) != id.left(2) || Group(req, 3) != id.left(4))
            return NotFound(res, QStringLiteral("没有这个频道。"));
          const bool grid = ch->type == u"1" || ch->type == u"4";
          const QString colText = Group(req, 5);
          const int columns = colText.toInt();
          if (grid != !colText.isEmpty() || (grid && (columns < 4 || columns > 6)))
            return NotFound(res, QStringLiteral("没有这种排列方式的页面。"));
          const int page = Group(req, 6).toInt();
          const qsizetype size = ChannelPageSize(*ch, grid ? columns : 0);
          const qsizetype pages = std::max<qsizetype>(1, (ch->items.size() + size - 1) / size);
          if (page < 1 || page > pages)
            return NotFound(res, QStringLiteral("没有这一页。"));
          SendHtml(res, ChannelPage(model_, *ch, grid ? columns : 0, page));
        });

  // Catalog files: V/all/V.XML
  s.Get(R"(/hl/(\d{6})/all/(\d{6})\.(XML|xml))",
        [this](const httplib::Request &req, httplib::Response &res) {
          const int version = Group(req, 1).toInt();
          QByteArray xml;
          if (Group(req, 1) != Group(req, 2) || !IsServedVersion(version) ||
              !ReadFile(store_.dataDir() + QStringLiteral("hl/%1/all/%1.XML").arg(version), &xml))
            return NotFound(res, QStringLiteral("没有这个版本的目录。"));
          res.set_content(Std(xml), "text/xml; charset=utf-8");
        });

  // Result pages of the service's search, and the files beside them.
  s.Get(R"(/hl/search/([0-9a-f]{32})\.html)",
        [this](const httplib::Request &req, httplib::Response &res) {
          QByteArray page;
          if (!ReadFile(store_.dataDir() + QStringLiteral("hl/search/") + Group(req, 1) +
                            QStringLiteral(".html"),
                        &page))
            return NotFound(res);
          res.set_header("Cache-Control", "no-cache");
          res.set_content(Std(page), "text/html; charset=GBK");
        });
  s.Get(R"(/hl/search/(playgame\.png|bg-titlebar\.gif|stripe\.js|jquery-1\.4\.4\.min\.js))",
        [](const httplib::Request &req, httplib::Response &res) {
          const QString name = Group(req, 1);
          if (name == u"playgame.png")
            return res.set_content(Std(SearchButtonPng()), "image/png");
          if (name == u"bg-titlebar.gif")
            return res.set_content(Std(TitleBarGif()), "image/gif");
          if (name == u"stripe.js")
            return res.set_content(Std(StripeScript()), "application/x-javascript");
          const QByteArray jq = JQueryScript();
          if (jq.isEmpty())
            return NotFound(res);
          res.set_content(Std(jq), "application/x-javascript");
        });

  // Content files: ⌈id ÷ 128⌉ / EncipherText(id) + extension.
  s.Get(R"(/(\d{1,7})/([0-9A-Fa-f]{16,64})\.(swf|mp3|flv|txt|rar|zip))",
        [this](const httplib::Request &req, httplib::Response &res) {
          const QString hex = Group(req, 2);
          const QString idText = DecipherText(hex);
          bool ok = !idText.isEmpty() && idText.size() <= 9 &&
                    std::all_of(idText.begin(), idText.end(), [](QChar c) { return c.isDigit(); });
          const int id = ok ? idText.toInt() : 0;
          const Item *item = ok ? model_.FindItem(id) : nullptr;
          if (!item || EncipherText(idText).compare(hex, Qt::CaseInsensitive) != 0 ||
              ContentFolder(id) != Group(req, 1).toInt() ||
              TypeExtension(item->type) != u'.' + Group(req, 3))
            return NotFound(res, QStringLiteral("没有这个文件。"));
          if (item->file.isEmpty())
            return SendBytes(req, res, Model::GeneratedMovie(id), MimeOf(Group(req, 3)));
          SendFile(req, res, model_.mediaDir() + u'/' + item->file, MimeOf(Group(req, 3)));
        });

  // Pages of the play panel and the advertisement panel.
  s.Get(R"(/Mp3PageHtml/DownloadAds_(\d{1,4})\.html)",
        [](const httplib::Request &req, httplib::Response &res) {
          SendHtml(res, AdsPage(Group(req, 1).toInt()));
        });
  s.Get(R"(/Mp3PageHtml/Mp3PageHtml_(\d{1,4})\.html)",
        [](const httplib::Request &req, httplib::Response &res) {
          SendHtml(res, AudioPage(Group(req, 1).toInt()));
        });
  s.Get(R"(/Mp3PageHtml/ad/(\d{1,4})/CommentAds_1\.html)",
        [](const httplib::Request &req, httplib::Response &res) {
          SendHtml(res, CommentAdsPage(Group(req, 1).toInt()));
        });
  s.Get("/pvlt_mini_index.html", [this](const httplib::Request &, httplib::Response &res) {
    SendHtml(res, MiniIndexPage(store_.SystemMessages()));
  });
  s.Get("/support.htm",
        [](const httplib::Request &, httplib::Response &res) { SendHtml(res, SupportPage()); });

  // Comments: GET shows them, POST (a form of the page) adds one.
  auto comments = [this](const httplib::Request &req, httplib::Response &res) {
    const QString idText = QString::fromStdString(req.get_param_value("contentid")).trimmed();
    const QString userText = QString::fromStdString(req.get_param_value("userID")).trimmed();
    // "userID=" with nothing after it is a visitor who has not signed in.
    bool idOk = false, userOk = true;
    const int id = idText.size() <= 9 ? idText.toInt(&idOk) : 0;
    const int userId = userText.isEmpty() ? 0 : userText.size() <= 9 ? userText.toInt(&userOk) : -1;
    if (!idOk || id <= 0 || !userOk || userId < 0)
      return SendHtml(res, ErrorPage(400, QStringLiteral("评论地址不完整。")), 400);
    const Item *item = model_.FindItem(id);
    if (!item)
      return NotFound(res, QStringLiteral("没有这个内容。"));
    const std::optional<Account> user = userId ? store_.FindUser(userId) : std::nullopt;
    QString notice;
    int status = 200;
    if (req.method == "POST") {
      const QString text = QString::fromStdString(req.get_param_value("content")).trimmed();
      if (text.isEmpty()) {
        notice = QStringLiteral("评论不能是空的哦。");
        status = 400;
      } else if (text.size() > 200) {
        notice = QStringLiteral("评论最多 200 个字。");
        status = 400;
      } else if (!store_.AddComment(id, userId, text)) {
        notice = QStringLiteral("评论没能保存，请稍后再试。");
        status = 500;
      } else {
        res.status = 303;
        res.set_header("Location", QStringLiteral("userComment.do?contentid=%1&userID=%2")
                                       .arg(id)
                                       .arg(userId ? QString::number(userId) : QString())
                                       .toStdString());
        return;
      }
    }
    QHash<int, QString> names;
    const QList<Comment> list = store_.Comments(id);
    for (const Comment &c : list)
      if (c.userId && !names.contains(c.userId)) {
        const auto a = store_.FindUser(c.userId);
        names.insert(c.userId, a ? a->login : QStringLiteral("用户%1").arg(c.userId));
      }
    SendHtml(res, CommentPage(*item, userId, user ? user->login : QString(), list, names, notice),
             status);
  };
  s.Get("/ksvComment/userComment.do", comments);
  s.Post("/ksvComment/userComment.do", comments);

  // The user web service and its description.
  s.Get("/ksvWsUser/UserService", [this](const httplib::Request &req, httplib::Response &res) {
    const QString endpoint = base_ + QStringLiteral("/ksvWsUser/UserService");
    if (req.has_param("wsdl") || req.has_param("WSDL"))
      return res.set_content(Std(service_->Wsdl(endpoint)), "text/xml; charset=utf-8");
    SendHtml(res, ServiceInfoPage(endpoint));
  });
  s.Post("/ksvWsUser/UserService", [this](const httplib::Request &req, httplib::Response &res) {
    const UserService::Reply r = service_->Handle(QByteArray::fromStdString(req.body));
    res.status = r.status;
    res.set_content(Std(r.body), "text/xml; charset=utf-8");
  });

  // The engine's sign-in and update report.
  s.Get("/engine/signin", [this](const httplib::Request &req, httplib::Response &res) {
    bool ok = false;
    QString::fromStdString(req.get_param_value("version")).toInt(&ok);
    const QString machine = QString::fromStdString(req.get_param_value("machine"));
    if (!ok || !Store::IsMachineId(machine))
      return SendText(res, QStringLiteral("error=version and machine are required\n"), 400);
    Account a;
    const int result = store_.MachineSignIn(machine, &a);
    SendText(res, QStringLiteral("result=%1\nuser=%2\npoints=%3\nlevel=%4\n")
                      .arg(result)
                      .arg(result == 0 ? a.userId : 0)
                      .arg(result == 0 ? a.points : 0)
                      .arg(result == 0 ? a.level : 0));
  });
  s.Get("/engine/version", [this](const httplib::Request &req, httplib::Response &res) {
    bool ok = false;
    QString::fromStdString(req.get_param_value("version")).toInt(&ok);
    if (!ok)
      return SendText(res, QStringLiteral("error=version is required\n"), 400);
    const UpdateReport r = store_.Report(kNewestCatalogVersion);
    SendText(res, QStringLiteral("action=%1\ncatalog=%2\nservice=%3\nupdater=%4\n")
                      .arg(r.action)
                      .arg(r.catalog)
                      .arg(r.service)
                      .arg(r.updater));
  });

  s.set_error_handler([](const httplib::Request &, httplib::Response &res) {
    if (res.body.empty() && !res.content_provider_)
      SendHtml(res,
               ErrorPage(res.status, res.status == 404 ? QStringLiteral("页面没有找到。")
                                                       : QStringLiteral("请求无法处理。")),
               res.status);
  });
  s.set_exception_handler([](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
    SendHtml(res, ErrorPage(500, QStringLiteral("服务器出了点小问题。")), 500);
  });
}

}  // namespace portal
