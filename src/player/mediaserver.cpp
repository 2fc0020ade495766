#include "player/mediaserver.h"

#include <http/byterange.h>
#include <http/guardedserver.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QUrl>

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

struct Page {
  QByteArray bytes;
  QByteArray contentType;
  QList<std::pair<QByteArray, QByteArray>> headers;
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

// One segment of a path: no folder in it, nothing that climbs.
bool PlainName(const QString &name)
{
  return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
         !name.contains(u'\\') && !name.contains(QChar(0));
}

QString WithSlash(const QString &folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

// 128 random bits as 32 hex digits.
QString RandomPrefix()
{
  QString text;
  for (int i = 0; i < 4; ++i)
    text += QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16, QChar(u'0'));
  return text;
}

}  // namespace

// The web engine keeps a few connections per page and reads a video only as
// fast as it plays it: a generous write time-out, the usual head time-out.
kestrova::http::ServerLimits MediaLimits()
{
  kestrova::http::ServerLimits l;
  l.workers = 8;  // more than the browser's six connections per host
  l.writeTimeout = std::chrono::seconds(60);
  return l;
}

struct TMediaServer::Impl {
  kestrova::http::GuardedServer server{MediaLimits()};
  std::thread thread;
  int port = 0;
  std::string host;  // "127.0.0.1:PORT", the only Host answered
  QString prefix;    // "/<32 hex digits>/"
  mutable std::mutex mutex;
  QString appDir;            // ending in '/'
  QStringList folders;       // as given, each ending in '/'
  QStringList canonFolders;  // resolved, each ending in '/'
  QString playing;           // the file played (resolved), or empty
  QString playingName;       // its name in the address
  QHash<QString, Page> pages;
  // The newest standby address ("<n>", 0 when none is out), where its
  // request goes once released, and whether the server is stopping.
  quint64 standbyNumber = 0;
  quint64 standbyIssued = 0;
  QString standbyTarget;
  bool stopping = false;
  std::condition_variable standbyChanged;
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
  d->prefix = u'/' + RandomPrefix() + u'/';

  auto handler = [this](const httplib::Request &req, httplib::Response &res) {
    // Only requests addressed to this server by its own address; a page of
    // another origin that reaches the port by a name of its own is not.
    if (req.get_header_value("Host") != d->host) {
      res.status = 403;
      return;
    }
    res.set_header("Cache-Control", "no-store");
    const QString path =
        QString::fromUtf8(req.path.data(), static_cast<qsizetype>(req.path.size()));
    const QString pagePrefix = d->prefix + QStringLiteral("page/");
    if (path.startsWith(pagePrefix)) {
      std::lock_guard<std::mutex> lock(d->mutex);
      const auto it = d->pages.constFind(path.mid(pagePrefix.size()));
      if (it == d->pages.cend()) {
        res.status = 404;
        return;
      }
      for (const auto &[name, value] : it->headers)
        res.set_header(name.toStdString(), value.toStdString());
      res.set_content(it->bytes.constData(), static_cast<size_t>(it->bytes.size()),
                      it->contentType.constData());
      return;
    }
    const QString standbyPrefix = d->prefix + QStringLiteral("standby/");
    QString servePath = path;
    if (path.startsWith(standbyPrefix)) {
      bool ok = false;
      const quint64 number = path.mid(standbyPrefix.size()).toULongLong(&ok);
      std::unique_lock<std::mutex> lock(d->mutex);
      if (ok && number != 0)
        d->standbyChanged.wait(lock, [&] {
          return d->stopping || d->standbyNumber != number || !d->standbyTarget.isEmpty();
        });
      if (!ok || number == 0 || d->stopping || d->standbyNumber != number) {
        res.status = 404;
        return;
      }
      // Answered once: the player that asked now plays that movie.
      const QString target = QUrl(d->standbyTarget).path(QUrl::FullyDecoded);
      d->standbyNumber = 0;
      d->standbyTarget.clear();
      lock.unlock();
      servePath = target;
    }
    const QString file = resolveRequestPath(servePath);
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
    // One byte range at most: a part is answered with 206, a range the file
    // cannot satisfy with 416, anything else with the whole file.
    const kestrova::http::ByteRange range = kestrova::http::ParseByteRange(
        req.get_header_value("Range"), static_cast<std::uint64_t>(size));
    res.set_header("Accept-Ranges", "bytes");
    std::uint64_t first = 0, count = static_cast<std::uint64_t>(size);
    if (range.kind == kestrova::http::ByteRange::Kind::Unsatisfiable) {
      res.status = 416;
      res.set_header("Content-Range", range.contentRange(static_cast<std::uint64_t>(size)));
      return;
    }
    if (range.kind == kestrova::http::ByteRange::Kind::Part) {
      res.status = 206;
      res.set_header("Content-Range", range.contentRange(static_cast<std::uint64_t>(size)));
      first = range.first;
      count = range.length;
    }
    // Nothing is kept in the web engine's cache: the player page loads the
    // runtime once and keeps it, and a kept copy of its 14 MB would only
    // cost memory; media files may be replaced (pruned, fetched again).
    res.set_content_provider(static_cast<size_t>(count), ContentTypeFor(file).toStdString(),
                             [fp, first](size_t offset, size_t length, httplib::DataSink &sink) {
                               char buf[64 * 1024];
                               if (fseeko(fp.get(), static_cast<off_t>(first + offset), SEEK_SET) !=
                                   0)
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
  d->host = "127.0.0.1:" + std::to_string(d->port);
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
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    d->stopping = true;
  }
  d->standbyChanged.notify_all();
  d->server.shutdown();
  if (d->thread.joinable())
    d->thread.join();
}

int TMediaServer::port() const { return d->port; }

QString TMediaServer::origin() const
{
  return QStringLiteral("http://127.0.0.1:") + QString::number(d->port);
}

QString TMediaServer::base() const { return origin() + d->prefix; }

void TMediaServer::setFolders(const QString &appDir, const QStringList &mediaFolders)
{
  QStringList given, canon;
  for (const QString &folder : mediaFolders) {
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
      continue;
    const QString resolved = QFileInfo(folder).canonicalFilePath();
    if (resolved.isEmpty())
      continue;
    given << WithSlash(QDir::cleanPath(folder));
    canon << WithSlash(resolved);
  }
  std::lock_guard<std::mutex> lock(d->mutex);
  d->appDir = appDir.isEmpty() ? QString() : WithSlash(appDir);
  d->folders = given;
  d->canonFolders = canon;
}

QString TMediaServer::runtimeUrl() const { return base() + QStringLiteral("ruffle/"); }

QString TMediaServer::videoPlayerUrl() const { return base() + QStringLiteral("flvplayer.swf"); }

void TMediaServer::addPage(const QString &name, const QByteArray &bytes,
                           const QByteArray &contentType,
                           const QList<std::pair<QByteArray, QByteArray>> &headers)
{
  std::lock_guard<std::mutex> lock(d->mutex);
  d->pages.insert(name, Page{bytes, contentType, headers});
}

QString TMediaServer::pageUrl(const QString &name) const
{
  return base() + QStringLiteral("page/") + QString::fromLatin1(QUrl::toPercentEncoding(name));
}

QString TMediaServer::servePlaying(const QString &path)
{
  QString file;
  if (CleanAbsolutePath(path)) {
    const QFileInfo info(path);
    const QString canonical = info.isFile() ? info.canonicalFilePath() : QString();
    std::lock_guard<std::mutex> lock(d->mutex);
    for (int i = 0; i < d->folders.size() && !canonical.isEmpty(); ++i) {
      // The path as given must lie in a folder, and so must the file it
      // finally names once links are resolved.
      if (path.startsWith(d->folders.at(i)) && canonical.startsWith(d->canonFolders.at(i))) {
        file = canonical;
        break;
      }
    }
    d->playing = file;
    d->playingName = file.isEmpty() ? QString() : QFileInfo(path).fileName();
  } else {
    stopPlaying();
  }
  if (file.isEmpty())
    return QString();
  return base() + QStringLiteral("play/") +
         QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(path).fileName()));
}

void TMediaServer::stopPlaying()
{
  std::lock_guard<std::mutex> lock(d->mutex);
  d->playing.clear();
  d->playingName.clear();
}

QString TMediaServer::standbyUrl()
{
  quint64 number = 0;
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    number = d->standbyNumber = ++d->standbyIssued;
    d->standbyTarget.clear();
  }
  d->standbyChanged.notify_all();  // an older one waits no more
  return base() + QStringLiteral("standby/") + QString::number(number);
}

bool TMediaServer::releaseStandby(const QString &playUrl)
{
  const QString playBase = base() + QStringLiteral("play/");
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->standbyNumber == 0 || d->playingName.isEmpty() || !playUrl.startsWith(playBase) ||
        QUrl::fromPercentEncoding(playUrl.mid(playBase.size()).toUtf8()) != d->playingName)
      return false;
    d->standbyTarget = playUrl;
  }
  d->standbyChanged.notify_all();
  return true;
}

QString TMediaServer::resolveRequestPath(const QString &decodedPath) const
{
  if (!decodedPath.startsWith(d->prefix) || decodedPath.contains(QChar(0)))
    return QString();
  const QString rest = decodedPath.mid(d->prefix.size());
  QString file;
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    if (rest == u"flvplayer.swf" && !d->appDir.isEmpty()) {
      file = d->appDir + rest;
    } else if (rest.startsWith(u"ruffle/") && !d->appDir.isEmpty()) {
      const QString name = rest.mid(7);
      if (PlainName(name) && (name.endsWith(u".js") || name.endsWith(u".wasm")))
        file = d->appDir + rest;
    } else if (rest.startsWith(u"play/") && !d->playing.isEmpty() &&
               rest.mid(5) == d->playingName) {
      return QFileInfo(d->playing).isFile() ? d->playing : QString();
    }
  }
  if (file.isEmpty() || !QFileInfo(file).isFile())
    return QString();
  return file;
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
