// Play benchmark.  In one run, against the stand-in portal and the real
// engine library, with the real main window:
//   bare      a bare page that loads Ruffle and the game: page load to the
//             game's first painted frame (Ruffle's own cost)
//   cached    a play request (a click on the play list) for a game in the
//             cache, to its first frame
//   uncached  the same for a game the engine first fetches from the portal
// each RUNS times (median printed), then the proportional set size of every
// process of the client (this process and the web engine's helpers) while a
// game plays.
//
//   kestrova-bench-play --appdir DIR [--runs N] [--settle MS] [--shot FILE.png]
// DIR is an installation folder (cmake --install), used as the program's
// folder: it receives Config/local.ini, Caches/ and DL/.
#include "base/config.h"
#include "base/globals.h"
#include "lists/playback.h"
#include "lists/playlist.h"
#include "net/enginelibrary.h"
#include "player/contentfetch.h"
#include "player/flashview.h"
#include "player/listnodes.h"
#include "player/mediaserver.h"
#include "player/playerhost.h"
#include "shell/lifecycle.h"
#include "shell/mainwindow.h"

#include "../../tests/player/portalprocess.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <unistd.h>
#include <vector>

namespace {

constexpr char BarePage[] = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8">
<style>html,body{margin:0;width:100%;height:100%;overflow:hidden;background:#000}
ruffle-player{width:100%;height:100%;display:block}</style>
<script>window.RufflePlayer={config:{publicPath:"@RUFFLE@",polyfills:false,autoplay:"on",
unmuteOverlay:"hidden",splashScreen:false,contextMenu:"off",letterbox:"off",
logLevel:"error",showSwfDownload:false,warnOnUnsupportedContent:false,allowFullscreen:false}};</script>
<script src="@RUFFLE@ruffle.js"></script></head><body>
<script>
// Polled with a timer rather than at animation frames: a page that the window
// system covers gets no animation frames, but its timers keep running.
var p = null;
@FIRSTFRAME@
window.benchLoad = function (url) {
  if (p) p.remove();
  p = window.RufflePlayer.newest().createPlayer();
  document.body.appendChild(p);
  p.ruffle().load({url: url, scale: "exactFit", backgroundColor: "#000000"}).then(function () {
    // The first frame as the client's player page finds it.
    var mine = p;
    function tick() {
      if (mine !== p) return;
      if (kestrovaFramePainted(p)) { console.log("bench:frame"); return; }
      setTimeout(tick, 4);
    }
    setTimeout(tick, 4);
  });
};
console.log("bench:ready");
if ("@MOVIE@") window.benchLoad("@MOVIE@");
</script></body></html>
)HTML";

// The bare page may start sound without a click, as the client's player
// does; otherwise Ruffle holds every new movie back 200 ms for its sound.
class BarePageView : public QWebEnginePage {
public:
  explicit BarePageView(QObject *parent) : QWebEnginePage(parent)
  {
    settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
  }
  bool framed = false;
  bool ready = false;

protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int,
                                const QString &) override
  {
    if (qEnvironmentVariableIsSet("KESTROVA_BENCH_VERBOSE"))
      std::fprintf(stderr, "bare page: %s\n", qPrintable(message));
    if (message == u"bench:frame")
      framed = true;
    else if (message == u"bench:ready")
      ready = true;
  }
};

bool WaitFor(const std::function<bool()> &done, int timeoutMs)
{
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(500);
  }
  return true;
}

double Median(std::vector<double> v)
{
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QString List(const std::vector<double> &v)
{
  QStringList parts;
  for (double x : v)
    parts << QString::number(x, 'f', 0);
  return parts.join(' ');
}

// This process and every process below it.
std::vector<pid_t> ClientProcesses()
{
  std::multimap<pid_t, pid_t> children;
  for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
    bool ok = false;
    const pid_t pid = entry.toInt(&ok);
    if (!ok)
      continue;
    QFile stat("/proc/" + entry + "/stat");
    if (!stat.open(QIODevice::ReadOnly))
      continue;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() > 1)
      children.emplace(fields.at(1).toInt(), pid);
  }
  std::vector<pid_t> out{getpid()};
  for (size_t i = 0; i < out.size(); ++i) {
    auto range = children.equal_range(out[i]);
    for (auto it = range.first; it != range.second; ++it)
      out.push_back(it->second);
  }
  return out;
}

// One field ("Pss:", "Rss:") of a process's memory summary in KiB (0 when
// it cannot be read).
long RollupKiB(pid_t pid, const QByteArray &field)
{
  QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
  if (!f.open(QIODevice::ReadOnly))
    return 0;
  for (const QByteArray &line : f.readAll().split('\n')) {
    if (line.startsWith(field))
      return line.mid(field.size()).trimmed().split(' ').first().toLong();
  }
  return 0;
}
long PssKiB(pid_t pid) { return RollupKiB(pid, "Pss:"); }
long RssKiB(pid_t pid) { return RollupKiB(pid, "Rss:"); }
// The anonymous pages (heaps, stacks, the runtime's memory), shared only with
// the client's own processes: unlike the proportional figure as a whole, it
// does not change with what else runs on the machine, which also shares the
// libraries' pages.
long AnonymousKiB(pid_t pid) { return RollupKiB(pid, "Pss_Anon:"); }

// The program name, and for the web engine's helpers their kind
// ("renderer", "gpu-process", "zygote", "utility").
QString ProcessName(pid_t pid)
{
  QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
  QString name =
      comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
  QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
  if (cmdline.open(QIODevice::ReadOnly)) {
    for (const QByteArray &arg : cmdline.readAll().split('\0')) {
      if (arg.startsWith("--type="))
        name += u' ' + QString::fromLatin1(arg.mid(7));
    }
  }
  return name;
}

void Fail(const QString &why)
{
  std::fprintf(stderr, "play: %s\n", qPrintable(why));
  std::fflush(stderr);
  ::_exit(1);
}

}  // namespace

int main(int argc, char **argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (getuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // As the client does, with the helpers' launcher of the installation.
  QString helperFolder;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--appdir") == 0)
      helperFolder = QFile::decodeName(argv[i + 1]);
  }
  TFlashView::PrepareWebEngine(helperFolder);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  QString appDir, shotFile;
  int runs = 5;
  int settleMs = 3000;  // from a game's first frame to the memory reading
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args.at(i) == "--appdir" && i + 1 < args.size())
      appDir = args.at(++i);
    else if (args.at(i) == "--runs" && i + 1 < args.size())
      runs = std::max(1, args.at(++i).toInt());
    else if (args.at(i) == "--settle" && i + 1 < args.size())
      settleMs = std::max(0, args.at(++i).toInt());
    else if (args.at(i) == "--shot" && i + 1 < args.size())
      shotFile = args.at(++i);
  }
  if (appDir.isEmpty())
    Fail("usage: kestrova-bench-play --appdir INSTALLATION [--runs N]");
  appDir = QDir(appDir).absolutePath() + u'/';
  for (const char *need :
       {"kestrova-portal", "libkestrova.so", "ruffle/ruffle.js", "portal/media/120.swf"})
    if (!QFileInfo::exists(appDir + need))
      Fail(QStringLiteral("%1 is missing from %2").arg(need, appDir));

  // The stand-in portal, with its own data folder, and a platform.ini that
  // points the client at it.
  QTemporaryDir portalData;
  PortalProcess portal;
  QDir().mkpath(appDir + "Config");
  if (!portal.start(appDir + "kestrova-portal", portalData.path(), appDir + "Config/platform.ini"))
    Fail(portal.error());

  // The client: paths, configuration, the main window and its start-up.
  PreparePaths(appDir);
  LoadConfiguration();
  QDir(CacheDir).removeRecursively();
  QDir().mkpath(CacheDir);
  auto *main = new TfrmMain(
      std::make_unique<EngineLibrary>(AppDir + QLatin1String(EngineLibrary::kFileName)));
  main->life->FormCreate();
  main->show();
  QEventLoop settle;
  QTimer::singleShot(3000, &settle, &QEventLoop::quit);  // start page, sign-in
  settle.exec();

  TPlayback *playback = main->playback;
  TFlashView *flash = playback->host->ShockwaveFlash1;
  QTreeWidget *tree = playback->list->tvPlayList;
  if (!flash->waitReady(30000))
    Fail("the player page did not load");
  int frames = 0;
  QObject::connect(flash, &TFlashView::firstFrame, [&frames] { ++frames; });

  // The proportional set size of the client's processes: this process and
  // the web engine's helpers below it (the portal is not the client).
  struct Memory {
    long totalKiB = 0, rssKiB = 0, anonKiB = 0;
    QStringList parts;
  };
  // Which of the client's pages a web engine process shows.
  auto pageOf = [main](pid_t pid) -> QString {
    for (QWebEngineView *view : main->findChildren<QWebEngineView *>()) {
      if (view->page() && view->page()->renderProcessPid() == pid)
        return view->objectName().isEmpty() ? QStringLiteral("web view") : view->objectName();
    }
    return QString();
  };
  // One reading of all the client's processes.
  auto readMemory = [pageOf]() {
    Memory m;
    for (pid_t pid : ClientProcesses()) {
      QString name = ProcessName(pid);
      if (name.startsWith("kestrova-portal"))
        continue;
      const QString page = pageOf(pid);
      if (!page.isEmpty())
        name += " (" + page + ")";
      const long kib = PssKiB(pid), own = AnonymousKiB(pid);
      m.totalKiB += kib;
      m.rssKiB += RssKiB(pid);
      m.anonKiB += own;
      m.parts << QStringLiteral("%1 %2 MiB (anonymous %3)")
                     .arg(name)
                     .arg(kib / 1024.0, 0, 'f', 1)
                     .arg(own / 1024.0, 0, 'f', 1);
    }
    return m;
  };
  // After the game settled, five readings half a second apart (the web
  // engine's collector makes single readings jump by tens of MiB): the
  // median one, with the lowest and highest beside it.
  struct MemorySpread {
    Memory median;
    long lowKiB = 0, highKiB = 0;
  };
  auto measureMemory = [&settle, settleMs, readMemory]() {
    QTimer::singleShot(settleMs, &settle, &QEventLoop::quit);  // the game settles
    settle.exec();
    std::vector<Memory> readings;
    for (int i = 0; i < 5; ++i) {
      if (i > 0) {
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();
      }
      readings.push_back(readMemory());
    }
    std::sort(readings.begin(), readings.end(),
              [](const Memory &a, const Memory &b) { return a.totalKiB < b.totalKiB; });
    return MemorySpread{readings[readings.size() / 2], readings.front().totalKiB,
                        readings.back().totalKiB};
  };

  // A play request as the link commands make it: the item is the list's
  // only row (nothing else is prefetched), selected and clicked.
  auto playRow = [&](const QString &id) -> double {
    tree->clear();
    TPlayList::AddToPlayList(MakeKsvPlay(id, "070205", "game " + id, "1"), tree, 1, true);
    const int before = frames;
    QElapsedTimer t;
    t.start();
    playback->list->tvPlayListClick();
    if (!WaitFor([&] { return frames > before; }, 60000))
      Fail("no first frame for game " + id);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (qEnvironmentVariableIsSet("KESTROVA_BENCH_CHECK")) {
      const QImage shot = flash->grab().toImage();
      QSet<QRgb> colours;
      for (int y = 2; y < shot.height(); y += 7)
        for (int x = 2; x < shot.width(); x += 7)
          colours.insert(shot.pixel(x, y));
      std::fprintf(stderr, "check: %s %.0f ms, %lld colours\n", qPrintable(id), ms,
                   (long long)colours.size());
    }
    return ms;
  };

  // The first game of a fresh client (fetched from the portal, as after
  // an installation), and the memory while it plays.
  playRow(QStringLiteral("122"));
  const MemorySpread firstSpread = measureMemory();
  const Memory &first = firstSpread.median;
  if (!shotFile.isEmpty())
    main->grab().save(shotFile);

  // The bare page: same server, same movie file.
  const QString cachedId = "120", uncachedId = "121";
  QFile::copy(appDir + "portal/media/120.swf", CacheDir + "120.swf");
  std::shared_ptr<TMediaServer> server = TMediaServer::Acquire();
  // The server plays one file at a time: the bare pages have it serve
  // their movie before each load.
  server->setFolders(AppDir, {CacheDir, DownloadDir});
  const QString movieUrl = server->servePlaying(CacheDir + "120.swf");
  QByteArray bare(BarePage);
  bare.replace("@RUFFLE@", server->runtimeUrl().toUtf8());
  bare.replace("@FIRSTFRAME@", TFlashView::FirstFrameScript());
  QByteArray idle = bare;
  bare.replace("@MOVIE@", movieUrl.toUtf8());
  idle.replace("@MOVIE@", "");
  server->addPage("bare.html", bare, "text/html; charset=utf-8");
  server->addPage("bare-idle.html", idle, "text/html; charset=utf-8");
  // A bare page whose runtime is already loaded: the movie's load alone.
  // The bare pages lie over the player inside the main window, so that the
  // window system shows them as it shows the player.
  const QRect playerArea(flash->mapTo(main, QPoint(0, 0)), flash->size());
  auto *idleViewOwned = new QWebEngineView(main);  // the window owns it
  QWebEngineView &idleView = *idleViewOwned;
  auto *idlePage = new BarePageView(&idleView);
  idleView.setPage(idlePage);
  idleView.setGeometry(playerArea);
  idleView.show();
  idleView.load(QUrl(server->pageUrl("bare-idle.html")));
  if (!WaitFor([&] { return idlePage->ready; }, 60000))
    Fail("the idle bare page did not load");
  auto bareLoaded = [&]() -> double {
    server->servePlaying(CacheDir + "120.swf");
    idleView.raise();
    idlePage->framed = false;
    QElapsedTimer t;
    t.start();
    idlePage->runJavaScript(QStringLiteral("window.benchLoad(%1)").arg(u'"' + movieUrl + u'"'));
    if (!WaitFor([&] { return idlePage->framed; }, 60000))
      Fail("the loaded bare page never showed a frame");
    return double(t.nsecsElapsed()) / 1e6;
  };
  auto barePage = [&]() -> double {
    server->servePlaying(CacheDir + "120.swf");
    QWebEngineView view(main);
    auto *page = new BarePageView(&view);
    view.setPage(page);
    view.setGeometry(playerArea);
    view.show();
    view.raise();
    QElapsedTimer t;
    t.start();
    view.load(QUrl(server->pageUrl("bare.html")));
    if (!WaitFor([&] { return page->framed; }, 60000))
      Fail("the bare page never showed a frame");
    return double(t.nsecsElapsed()) / 1e6;
  };

  // One warm-up of each (the first web page, wasm compilation caches).
  barePage();
  bareLoaded();
  playRow(cachedId);

  // Each measurement starts after a short pause, so that none pays for the
  // clean-up of the one before it.
  auto pause = [] {
    QEventLoop wait;
    QTimer::singleShot(500, &wait, &QEventLoop::quit);
    wait.exec();
  };
  std::vector<double> bareTimes, bareLoadedTimes, cachedTimes, uncachedTimes;
  for (int r = 0; r < runs; ++r) {
    pause();
    bareTimes.push_back(barePage());
    pause();
    bareLoadedTimes.push_back(bareLoaded());
    pause();
    cachedTimes.push_back(playRow(cachedId));
    QFile::remove(CacheDir + uncachedId + ".swf");
    pause();
    uncachedTimes.push_back(playRow(uncachedId));
  }

  // Memory again with a game playing, after all those plays; the bare
  // pages are gone.
  idleView.setPage(nullptr);
  delete idlePage;
  idleView.hide();
  playRow(cachedId);
  const MemorySpread laterSpread = measureMemory();
  const Memory &later = laterSpread.median;

  const double b = Median(bareTimes), l = Median(bareLoadedTimes), c = Median(cachedTimes),
               u = Median(uncachedTimes);
  auto overhead = [](double x, double base) { return (x - base) / base * 100.0; };
  std::printf("play: %d runs, median milliseconds to Ruffle's first frame of the same game\n",
              runs);
  std::printf("  bare Ruffle page, page load to frame          %8.1f   [%s]\n", b,
              qPrintable(List(bareTimes)));
  std::printf("  bare Ruffle page already loaded, movie load   %8.1f   [%s]\n", l,
              qPrintable(List(bareLoadedTimes)));
  std::printf("  client, play request for a cached game        %8.1f   [%s]\n", c,
              qPrintable(List(cachedTimes)));
  std::printf("  client, play request for an uncached game     %8.1f   [%s]\n", u,
              qPrintable(List(uncachedTimes)));
  std::printf("play: overhead vs the bare page's load to frame: cached %+.1f%%, uncached %+.1f%% "
              "(goal <= 20%%)\n",
              overhead(c, b), overhead(u, b));
  std::printf(
      "play: overhead vs the loaded bare page's movie load: cached %+.1f%%, uncached %+.1f%%\n",
      overhead(c, l), overhead(u, l));
  const int plays = 3 + 2 * runs;
  std::printf("play: proportional set size of the client's %lld processes with a game playing "
              "(goal <= 400 MiB):\n",
              static_cast<long long>(first.parts.size()));
  std::printf("  (median of five readings half a second apart, lowest-highest in brackets)\n");
  std::printf("  first game of a fresh client   %6.1f MiB [%.1f-%.1f]   (%s)\n",
              first.totalKiB / 1024.0, firstSpread.lowKiB / 1024.0, firstSpread.highKiB / 1024.0,
              qPrintable(first.parts.join(", ")));
  std::printf("  after %2d plays                 %6.1f MiB [%.1f-%.1f]   (%s)\n", plays,
              later.totalKiB / 1024.0, laterSpread.lowKiB / 1024.0, laterSpread.highKiB / 1024.0,
              qPrintable(later.parts.join(", ")));
  std::printf(
      "  (resident set, pages shared between the processes counted in each: %.1f and %.1f MiB;\n"
      "   the proportional figure shrinks when other programs on the machine share the "
      "libraries;\n"
      "   anonymous pages, which other programs do not change: %.1f and %.1f MiB)\n",
      first.rssKiB / 1024.0, later.rssKiB / 1024.0, first.anonKiB / 1024.0, later.anonKiB / 1024.0);
  // One line for bench/report.
  std::printf("summary play bare_page_ms=%.1f bare_loaded_ms=%.1f cached_ms=%.1f uncached_ms=%.1f "
              "plays=%d first_pss_mib=%.1f later_pss_mib=%.1f later_anon_mib=%.1f processes=%lld\n",
              b, l, c, u, plays, first.totalKiB / 1024.0, later.totalKiB / 1024.0,
              later.anonKiB / 1024.0, static_cast<long long>(later.parts.size()));
  std::fflush(stdout);

  server.reset();
  main->life->FormDestroy();
  delete main;
  portal.stop();
  return 0;
}
