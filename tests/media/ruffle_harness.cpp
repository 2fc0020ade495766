#include "ruffle_harness.h"

#include <httplib.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdlib>
#include <thread>

namespace media_test {

QString RuffleDir()
{
  return QString::fromLocal8Bit(qgetenv("KESTROVA_SOURCE_DIR")) + "/node_modules/@ruffle-rs/ruffle";
}

namespace {

std::string MimeOf(const std::string &path)
{
  auto ends = [&](const char *ext) {
    const size_t n = std::strlen(ext);
    return path.size() >= n && path.compare(path.size() - n, n, ext) == 0;
  };
  if (ends(".wasm"))
    return "application/wasm";
  // Chromium compresses nothing it does not know; this type keeps the large
  // script quick to load.
  if (ends(".js"))
    return "application/x-javascript";
  if (ends(".swf"))
    return "application/x-shockwave-flash";
  if (ends(".flv"))
    return "video/x-flv";
  if (ends(".mp3"))
    return "audio/mpeg";
  if (ends(".html"))
    return "text/html; charset=utf-8";
  return "application/octet-stream";
}

// Serves files below root; refuses anything that climbs out of it.
void ServeFolder(httplib::Server &server, const std::string &prefix, const QString &root)
{
  const std::string pattern = prefix + "(.+)";
  server.Get(pattern, [root](const httplib::Request &req, httplib::Response &res) {
    const QString rel = QString::fromStdString(req.matches[1].str());
    if (rel.contains("..") || rel.startsWith('/')) {
      res.status = 403;
      return;
    }
    QFile f(QDir(root).filePath(rel));
    if (!f.open(QIODevice::ReadOnly)) {
      res.status = 404;
      return;
    }
    const QByteArray data = f.readAll();
    res.set_content(std::string(data.constData(), size_t(data.size())), MimeOf(rel.toStdString()));
  });
}

class ConsolePage : public QWebEnginePage {
public:
  using QWebEnginePage::QWebEnginePage;
  QStringList problems;

protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                int line, const QString &source) override
  {
    if (qEnvironmentVariableIsSet("KESTROVA_MEDIA_VERBOSE"))
      fprintf(stderr, "console[%d] %s (%s:%d)\n", int(level), qPrintable(message),
              qPrintable(source), line);
    if (level != InfoMessageLevel)
      problems << message;
  }
};

// The player page: ruffle.js is loaded once; play() replaces the player
// element with a new one for each movie.
const char *kPage = R"(<!doctype html>
<html><head><meta charset="utf-8">
<style>html,body{margin:0;padding:0;overflow:hidden;background:#000}
#box{position:absolute;left:0;top:0;width:100%;height:100%}</style>
<script>
window.RufflePlayer = window.RufflePlayer || {};
window.logLevel = new URLSearchParams(location.search).get("log");
window.RufflePlayer.config = {
  publicPath: "/ruffle/", autoplay: "on", unmuteOverlay: "hidden",
  splashScreen: false, contextMenu: "off", letterbox: "off",
  warnOnUnsupportedContent: false, allowFullscreen: true, logLevel: window.logLevel || "warn"
};
window.state = "idle";
</script>
<script src="/ruffle/ruffle.js"></script>
</head><body><div id="box"></div>
<script>
window.play = function (options) {
  const box = document.getElementById("box");
  if (window.player) { try { window.player.remove(); } catch (e) {} }
  const player = window.RufflePlayer.newest().createPlayer();
  player.style.width = "100%"; player.style.height = "100%";
  box.appendChild(player);
  window.player = player;
  window.state = "loading";
  player.addEventListener("loadedmetadata", () => { window.state = "ready"; });
  player.load(options).catch(e => { window.state = "error: " + e; });
};
</script></body></html>)";

}  // namespace

struct RuffleHarness::Impl {
  QTemporaryDir files;
  httplib::Server server;
  std::thread thread;
  int port = 0;
  bool pageLoaded = false;
  ConsolePage *webPage = nullptr;
  std::unique_ptr<QWebEngineProfile> profile;  // outlives the view and its page
  std::unique_ptr<QWebEngineView> view;
  QString error;
  QWidget *input() { return view->focusProxy() ? view->focusProxy() : view.get(); }
};

RuffleHarness::RuffleHarness() : d(std::make_unique<Impl>())
{
  ServeFolder(d->server, "/ruffle/", RuffleDir());
  ServeFolder(d->server, "/media/", MediaDir());
  ServeFolder(d->server, "/files/", d->files.path());
  d->server.Get("/page.html", [](const httplib::Request &, httplib::Response &res) {
    res.set_content(kPage, "text/html; charset=utf-8");
  });
  d->port = d->server.bind_to_any_port("127.0.0.1");
  d->thread = std::thread([this] { d->server.listen_after_bind(); });

  d->view = std::make_unique<QWebEngineView>();
  // A profile that keeps nothing on disk, so that several test programs can
  // run side by side.
  d->profile = std::make_unique<QWebEngineProfile>();
  d->webPage = new ConsolePage(d->profile.get(), d->view.get());
  d->view->setPage(d->webPage);
  d->view->setAttribute(Qt::WA_DontShowOnScreen, false);
}

RuffleHarness::~RuffleHarness()
{
  d->view.reset();
  d->server.stop();
  if (d->thread.joinable())
    d->thread.join();
}

QString RuffleHarness::filesDir() const { return d->files.path(); }

QString RuffleHarness::baseUrl() const { return QString("http://127.0.0.1:%1").arg(d->port); }

bool RuffleHarness::open(const PlayerOptions &options, int timeoutMs)
{
  d->error.clear();
  d->webPage->problems.clear();
  d->view->resize(options.width, options.height);  // the player fills the page
  d->view->show();
  if (!d->pageLoaded) {
    QEventLoop loop;
    auto conn = QObject::connect(d->view.get(), &QWebEngineView::loadFinished, [&](bool ok) {
      d->pageLoaded = ok;
      loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    // KESTROVA_MEDIA_VERBOSE also shows Ruffle's info lines and the movies' traces
    d->view->load(QUrl(baseUrl() + "/page.html" +
                       (qEnvironmentVariableIsSet("KESTROVA_MEDIA_VERBOSE") ? "?log=info" : "")));
    loop.exec();
    QObject::disconnect(conn);
    if (!d->pageLoaded) {
      d->error = "the player page did not load";
      return false;
    }
  }
  QJsonObject load;
  load["url"] = "/media/" + options.movie;
  load["parameters"] = options.flashVars;
  load["scale"] = options.scale;
  eval("play(" + QString::fromUtf8(QJsonDocument(load).toJson(QJsonDocument::Compact)) + ")");
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    const QString state = eval("window.state").toString();
    if (state == "ready")
      return true;
    if (state.startsWith("error")) {
      d->error = state;
      return false;
    }
    wait(50);
  }
  d->error = "Ruffle did not load the movie in time";
  return false;
}

void RuffleHarness::wait(int ms)
{
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

QImage RuffleHarness::grab()
{
  // Let the compositor hand over a fresh frame first.
  wait(50);
  return d->view->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool RuffleHarness::waitFor(const std::function<bool(const QImage &)> &pred, int timeoutMs,
                            QImage *last)
{
  QElapsedTimer t;
  t.start();
  for (;;) {
    const QImage img = grab();
    if (last)
      *last = img;
    if (pred(img))
      return true;
    if (t.elapsed() > timeoutMs)
      return false;
    wait(150);
  }
}

bool RuffleHarness::moves(const QRect &rect, double fraction, int timeoutMs)
{
  QElapsedTimer t;
  t.start();
  QImage a = grab();
  for (;;) {
    wait(250);
    const QImage b = grab();
    if (ChangedFraction(a, b, rect) > fraction)
      return true;
    if (t.elapsed() > timeoutMs)
      return false;
    a = b;
  }
}

bool RuffleHarness::holdsStill(const QRect &rect, int timeoutMs)
{
  QElapsedTimer t;
  t.start();
  for (;;) {
    const QImage a = grab();
    wait(600);
    if (ChangedFraction(a, grab(), rect) < 0.01)
      return true;
    if (t.elapsed() > timeoutMs)
      return false;
  }
}

void RuffleHarness::click(QPoint at)
{
  QTest::mouseMove(d->input(), at);
  wait(30);
  QTest::mousePress(d->input(), Qt::LeftButton, Qt::NoModifier, at);
  wait(60);
  QTest::mouseRelease(d->input(), Qt::LeftButton, Qt::NoModifier, at);
  wait(60);
}

void RuffleHarness::drag(QPoint from, QPoint to, int steps)
{
  QTest::mouseMove(d->input(), from);
  wait(30);
  QTest::mousePress(d->input(), Qt::LeftButton, Qt::NoModifier, from);
  wait(40);
  for (int i = 1; i <= steps; ++i) {
    const QPoint p = from + (to - from) * i / steps;
    QMouseEvent move(QEvent::MouseMove, p, d->input()->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(d->input(), &move);
    wait(40);
  }
  QTest::mouseRelease(d->input(), Qt::LeftButton, Qt::NoModifier, to);
  wait(60);
}

void RuffleHarness::holdKey(int qtKey, int ms)
{
  QTest::keyPress(d->input(), Qt::Key(qtKey));
  wait(ms);
  QTest::keyRelease(d->input(), Qt::Key(qtKey));
  wait(40);
}

void RuffleHarness::pressKey(int qtKey) { holdKey(qtKey, 60); }

QVariant RuffleHarness::eval(const QString &script, int timeoutMs)
{
  // The answer may come after the wait has given up: it then lands in the
  // shared state, never in a loop that no longer exists.
  struct Pending {
    QVariant result;
    QEventLoop *loop = nullptr;
  };
  auto pending = std::make_shared<Pending>();
  QEventLoop loop;
  pending->loop = &loop;
  d->webPage->runJavaScript(script, [pending](const QVariant &v) {
    pending->result = v;
    if (pending->loop)
      pending->loop->quit();
  });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  pending->loop = nullptr;
  return pending->result;
}

QStringList RuffleHarness::problems() const { return d->webPage->problems; }
QString RuffleHarness::lastError() const { return d->error; }

namespace {
RuffleHarness *shared = nullptr;
}

RuffleHarness &SharedHarness()
{
  if (!shared)
    shared = new RuffleHarness;
  return *shared;
}

void ReleaseSharedHarness()
{
  delete shared;
  shared = nullptr;
}

double ChangedFraction(const QImage &a, const QImage &b, const QRect &rect)
{
  const QRect r = rect.intersected(a.rect()).intersected(b.rect());
  if (r.isEmpty())
    return 0;
  qint64 changed = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      if (std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
          std::abs(qBlue(p) - qBlue(q)) > 24)
        ++changed;
    }
  return double(changed) / double(qint64(r.width()) * r.height());
}

int ColourCount(const QImage &img, const QRect &rect)
{
  const QRect r = rect.intersected(img.rect());
  QSet<QRgb> seen;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      seen.insert(img.pixel(x, y) & 0xF0F0F0);
  return int(seen.size());
}

double MeanBrightness(const QImage &img, const QRect &rect)
{
  const QRect r = rect.intersected(img.rect());
  if (r.isEmpty())
    return 0;
  double sum = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      sum += qGray(img.pixel(x, y));
  return sum / (double(r.width()) * r.height());
}

void SaveShot(const QImage &img, const QString &name)
{
  const QString dir = qEnvironmentVariable("KESTROVA_MEDIA_SHOTS");
  if (dir.isEmpty())
    return;
  QDir().mkpath(dir);
  img.save(QDir(dir).filePath(name + ".png"));
}

}  // namespace media_test
