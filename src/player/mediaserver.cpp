#include "player/mediaserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

constexpr char PagePrefix[] = "/~kestrova/";

struct Page {
  QByteArray bytes;
  QByteArray contentType;
};

// Accepts only "/seg/seg/..." with no empty, "." or ".." segment, no
// backslash and no NUL.
bool CleanAbsolutePath(const QString &path)
{
  if (!path.startsWith(u'/') || path.contains(u'\\') || path.contains(QChar(0)))
    return false;
  const QStringList segments = path.mid(1).split(u'/');
  for (const QString &seg : segments) {
    if (seg.isEmpty() || seg == u"." || seg == u"..")
      return false;
  }
  return true;
}

QString WithSlash(const QString &folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

}  // namespace

struct TMediaServer::Impl {
  httplib::Server server;
  std::thread thread;
  int port = 0;
  mutable std::mutex mutex;
  QStringList roots;       // as given, each ending in '/'
  QStringList canonRoots;  // resolved, each ending in '/'
  QHash<QString, Page> pages;
};

std::shared_ptr<TMediaServer> TMediaServer::Acquire()
{
  static std::mutex guard;
  static std::weak_ptr<TMediaServer> shared;
  std::lock_guard<std::mutex> lock(guard);
  if (auto existing = shared.lock())
    return existing;
  std::shared_ptr<TMediaServer> fresh(new TMediaServer());
  if (fresh->d->port <= 0)
    return nullptr;
  shared = fresh;
  return fresh;
}

TMediaServer::TMediaServer() : d(std::make_unique<Impl>())
{
  // More workers than the browser's six connections per host, so a held
  // keep-alive connection never makes a new request wait.
  d->server.new_task_queue = [] { return new httplib::ThreadPool(8); };
  d->server.set_keep_alive_timeout(2);
  d->server.set_read_timeout(10);
  d->server.set_write_timeout(30);

  auto handler = [this](const httplib::Request &req, httplib::Response &res) {
    const QString path =
        QString::fromUtf8(req.path.data(), static_cast<qsizetype>(req.path.size()));
    if (path.startsWith(QLatin1String(PagePrefix))) {
      std::lock_guard<std::mutex> lock(d->mutex);
      const auto it = d->pages.constFind(path.mid(int(sizeof(PagePrefix)) - 1));
      if (it == d->pages.cend()) {
        res.status = 404;
        return;
      }
      res.set_header("Cache-Control", "no-store");
      res.set_content(it->bytes.constData(), static_cast<size_t>(it->bytes.size()),
                      it->contentType.constData());
      return;
    }
    const QString file = resolveRequestPath(path);
    if (file.isEmpty()) {
      res.status = 404;
      return;
    }
    std::shared_ptr<FILE> fp(std::fopen(QFile::encodeName(file).constData(), "rb"), [](FILE *f) {
      if (f)
        std::fclose(f);
    });
    if (!fp) {
      res.status = 404;
      return;
    }
    const qint64 size = QFileInfo(file).size();
    // Nothing is kept in the web engine's cache: the player page loads the
    // runtime once and keeps it, and a kept copy of its 14 MB would only
    // cost memory; media files may be replaced (pruned, fetched again).
    res.set_header("Cache-Control", "no-store");
    res.set_header("Access-Control-Allow-Origin", "*");
    res.set_content_provider(static_cast<size_t>(size), ContentTypeFor(file).toStdString(),
                             [fp](size_t offset, size_t length, httplib::DataSink &sink) {
                               char buf[64 * 1024];
                               if (fseeko(fp.get(), static_cast<off_t>(offset), SEEK_SET) != 0)
                                 return false;
                               size_t left = length;
                               while (left > 0) {
                                 const size_t want = left < sizeof(buf) ? left : sizeof(buf);
                                 const size_t got = std::fread(buf, 1, want, fp.get());
                                 if (got == 0)
                                   return false;
                                 if (!sink.write(buf, got))
                                   return false;
                                 left -= got;
                               }
                               return true;
                             });
  };
  d->server.Get(R"(/.*)", handler);

  d->port = d->server.bind_to_any_port("127.0.0.1");
  if (d->port > 0) {
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    // A stop() that comes before the server loop runs would be lost and
    // leave the loop running for ever: wait until it runs.
    for (int i = 0; i < 5000 && !d->server.is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TMediaServer::~TMediaServer()
{
  d->server.stop();
  if (d->thread.joinable())
    d->thread.join();
}

int TMediaServer::port() const { return d->port; }

QString TMediaServer::origin() const
{
  return QStringLiteral("http://127.0.0.1:") + QString::number(d->port);
}

void TMediaServer::setRoots(const QStringList &roots)
{
  QStringList given, canon;
  for (const QString &root : roots) {
    if (root.isEmpty() || !QDir::isAbsolutePath(root))
      continue;
    const QString resolved = QFileInfo(root).canonicalFilePath();
    if (resolved.isEmpty())
      continue;
    given << WithSlash(QDir::cleanPath(root));
    canon << WithSlash(resolved);
  }
  std::lock_guard<std::mutex> lock(d->mutex);
  d->roots = given;
  d->canonRoots = canon;
}

QStringList TMediaServer::roots() const
{
  std::lock_guard<std::mutex> lock(d->mutex);
  return d->roots;
}

void TMediaServer::addPage(const QString &name, const QByteArray &bytes,
                           const QByteArray &contentType)
{
  std::lock_guard<std::mutex> lock(d->mutex);
  d->pages.insert(name, Page{bytes, contentType});
}

QString TMediaServer::pageUrl(const QString &name) const
{
  return origin() + QLatin1String(PagePrefix) + name;
}

QString TMediaServer::urlForPath(const QString &localPathWithQuery) const
{
  const qsizetype q = localPathWithQuery.indexOf(u'?');
  const QString path = q < 0 ? localPathWithQuery : localPathWithQuery.left(q);
  const QString query = q < 0 ? QString() : localPathWithQuery.mid(q + 1);
  if (resolveRequestPath(path).isEmpty())
    return QString();
  QUrl url(origin());
  url.setPath(path, QUrl::DecodedMode);
  if (q >= 0)
    url.setQuery(query, QUrl::DecodedMode);
  return url.toString(QUrl::FullyEncoded);
}

QString TMediaServer::resolveRequestPath(const QString &decodedPath) const
{
  if (!CleanAbsolutePath(decodedPath))
    return QString();
  const QFileInfo info(decodedPath);
  if (!info.isFile())
    return QString();
  const QString canonical = info.canonicalFilePath();
  if (canonical.isEmpty())
    return QString();
  std::lock_guard<std::mutex> lock(d->mutex);
  for (int i = 0; i < d->roots.size(); ++i) {
    // The path as asked must lie in a root, and so must the file it
    // finally names once links are resolved.
    if (decodedPath.startsWith(d->roots.at(i)) && canonical.startsWith(d->canonRoots.at(i)))
      return canonical;
  }
  return QString();
}

QByteArray TMediaServer::ContentTypeFor(const QString &path)
{
  static const QHash<QString, QByteArray> types = {
      {QStringLiteral("wasm"), "application/wasm"},
      // Served as this type so the server does not compress it on the fly.
      {QStringLiteral("js"), "application/x-javascript"},
      {QStringLiteral("swf"), "application/x-shockwave-flash"},
      {QStringLiteral("flv"), "video/x-flv"},
      {QStringLiteral("mp3"), "audio/mpeg"},
      {QStringLiteral("htm"), "text/html"},
      {QStringLiteral("html"), "text/html"},
      {QStringLiteral("css"), "text/css"},
      {QStringLiteral("png"), "image/png"},
      {QStringLiteral("jpg"), "image/jpeg"},
      {QStringLiteral("gif"), "image/gif"},
      {QStringLiteral("xml"), "text/xml"},
      {QStringLiteral("txt"), "text/plain"},
  };
  const QString ext = QFileInfo(path).suffix().toLower();
  return types.value(ext, QByteArrayLiteral("application/octet-stream"));
}
