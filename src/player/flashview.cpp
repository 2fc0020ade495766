#include "player/flashview.h"

#include "base/globals.h"
#include "base/userappdir.h"
#include "player/mediaserver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>

#include <malloc.h>

namespace {

// The player page.  It reports to the control through console lines of the
// form "kestrova:<kind>:<serial>:<text>".
constexpr char PlayerPage[] = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>player</title>
<style>
html,body{margin:0;padding:0;width:100%;height:100%;overflow:hidden;background:#000}
#stage{position:relative;width:100%;height:100%}
#stage>*{position:absolute;left:0;top:0;width:100%;height:100%;display:block}
#stage>.standby{visibility:hidden;width:1px;height:1px}
</style>
<script>
window.RufflePlayer = {config: {
  publicPath: "@RUFFLE@", polyfills: false, autoplay: "on", unmuteOverlay: "hidden",
  splashScreen: false, contextMenu: "off", letterbox: "off", logLevel: "error",
  showSwfDownload: false, warnOnUnsupportedContent: false, allowFullscreen: false,
  openUrlMode: "deny", allowNetworking: "internal", allowScriptAccess: false
}};
</script>
<script src="@RUFFLE@ruffle.js"></script>
</head><body><div id="stage"></div>
<script>
(function () {
  var stage = document.getElementById("stage");
  var current = null, serial = 0;
  // A player built ahead of its movie, hidden (and at the smallest size, so
  // that its drawing costs no memory), whose movie request waits at the
  // server until a play names the movie.
  var spare = null, spareKey = 0;
  function report(kind, s, text) { console.log("kestrova:" + kind + ":" + s + ":" + (text || "")); }
  function clear() {
    current = null;
    Array.prototype.slice.call(stage.children).forEach(function (c) { if (c !== spare) c.remove(); });
  }
  function loadOptions(o) {
    var options = { url: o.url, parameters: o.parameters, scale: o.scale };
    if (o.background) options.backgroundColor = o.background;
    return options;
  }
  @FIRSTFRAME@
  // Looked for on a short timer rather than at animation frames: a page the
  // window system covers gets no animation frames, but its timers run.
  function watch(p, s) {
    function tick() {
      if (s !== serial) return;
      if (kestrovaFramePainted(p)) { report("frame", s); return; }
      setTimeout(tick, 4);
    }
    setTimeout(tick, 4);
  }
  window.kestrovaPlay = function (s, o) {
    clear();
    serial = s;
    var p = window.RufflePlayer.newest().createPlayer();
    current = p;
    stage.appendChild(p);
    p.ruffle().load(loadOptions(o)).then(function () {
      if (s !== serial) return;
      report("started", s, o.url);
      try { p.focus(); } catch (e) {}
      watch(p, s);
    }).catch(function (e) { if (s === serial) report("failed", s, String(e)); });
  };
  // Builds the spare player with the options o (o.url the standby address),
  // replacing the one before; "standby" reports it built.
  window.kestrovaStandby = function (key, o) {
    if (spare) spare.remove();
    var p = window.RufflePlayer.newest().createPlayer();
    p.className = "standby";
    spare = p;
    spareKey = key;
    stage.appendChild(p);
    p.ruffle().load(loadOptions(o)).then(function () {
      if (spare === p) report("standby", key);
    }).catch(function (e) {
      if (spare !== p) return;
      spare = null;
      p.remove();
      report("nostandby", key, String(e));
    });
  };
  // Plays o in the spare player `key`, whose waiting request the server now
  // answers with the movie; without that spare as an ordinary play.
  window.kestrovaTake = function (s, key, o) {
    if (!spare || spareKey !== key) { window.kestrovaPlay(s, o); return; }
    clear();
    serial = s;
    var p = spare;
    spare = null;
    current = p;
    // Its empty stage was painted while it waited: only the movie's own
    // painting counts as its first frame.
    var c = p.shadowRoot && p.shadowRoot.querySelector("canvas");
    var g = c && c.getContext("2d");
    if (g) g.clearRect(0, 0, c.width, c.height);
    p.className = "";
    report("started", s, o.url);
    try { p.focus(); } catch (e) {}
    watch(p, s);
  };
  window.kestrovaStop = function (s) { serial = s; clear(); report("stopped", s); };
  var ok = !!(window.RufflePlayer && window.RufflePlayer.newest && window.RufflePlayer.newest());
  report(ok ? "ready" : "failed", 0, ok ? "" : "runtime missing");
})();
</script></body></html>
)HTML";

// The first frame is there once the movie has loaded and the runtime's
// drawing canvas holds painted pixels (the stage's background counts: the
// runtime paints the whole stage at once); on a canvas without a 2D context
// (WebGL) once the movie loaded.  Before its movie the runtime may paint an
// empty stage, which is why the movie must have loaded.
constexpr char FirstFrameTest[] = R"JS(function kestrovaFramePainted(p) {
    if (p.readyState !== 2) return false;
    var c = p.shadowRoot && p.shadowRoot.querySelector("canvas");
    // (A canvas still at the size of a player that waited hidden is not
    // the movie's frame either.)
    if (!c || !(c.width > 0 && c.height > 0) || c.width * 2 < c.clientWidth ||
        c.height * 2 < c.clientHeight) return false;
    try {
      var g = c.getContext("2d");
      if (!g) return true;
      var w = c.width, h = c.height, pts = [[w >> 1, h >> 1], [1, 1], [w - 2, h - 2]];
      for (var i = 0; i < pts.length; i++)
        if (g.getImageData(pts[i][0], pts[i][1], 1, 1).data[3] !== 0) return true;
      return false;
    } catch (e) { return true; }
  })JS";

// What the player page may load and reach: its own server only (which
// serves nothing but the runtime, this page and the movie played), no frames,
// no forms, no plug-ins.
constexpr char PlayerPagePolicy[] =
    "default-src 'none'; script-src 'self' 'unsafe-inline' 'wasm-unsafe-eval'; "
    "connect-src 'self' data: blob:; img-src 'self' data: blob:; media-src 'self' data: blob:; "
    "font-src 'self' data:; style-src 'unsafe-inline'; worker-src 'self' blob:; "
    "frame-src 'none'; object-src 'none'; form-action 'none'; base-uri 'none'";

// Movie variables as a web page's query reads them: "a=1&b=2", '+' a blank,
// %XX a byte of UTF-8; the last of equal names counts.
QList<std::pair<QString, QString>> ParseVariables(const QString &text)
{
  QList<std::pair<QString, QString>> vars;
  for (const QString &part : text.split(u'&', Qt::SkipEmptyParts)) {
    const qsizetype eq = part.indexOf(u'=');
    auto decode = [](QString s) {
      s.replace(u'+', u' ');
      return QUrl::fromPercentEncoding(s.toUtf8());
    };
    vars.append(
        {decode(eq < 0 ? part : part.left(eq)), eq < 0 ? QString() : decode(part.mid(eq + 1))});
  }
  return vars;
}

// A movie text is a local path with an optional "?query".  A folder name
// may hold a '?' itself, so the text is a path as a whole when that file is
// there; otherwise the query starts at the first '?' of the file name.
void SplitMovie(const QString &movie, QString *path, QString *query)
{
  if (QFileInfo(movie).isFile()) {
    *path = movie;
    query->clear();
    return;
  }
  const qsizetype q = movie.indexOf(u'?', movie.lastIndexOf(u'/') + 1);
  *path = q < 0 ? movie : movie.left(q);
  *query = q < 0 ? QString() : movie.mid(q + 1);
}

}  // namespace

class TFlashPage : public QWebEnginePage {
public:
  TFlashPage(TFlashView *view) : QWebEnginePage(view), m_view(view) {}

protected:
  // The page never leaves the player: only the player page itself loads.
  bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
  {
    return isMainFrame && m_view->m_server &&
           url.toString(QUrl::FullyEncoded) ==
               m_view->m_server->pageUrl(QStringLiteral("player.html"));
  }

  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int,
                                const QString &) override
  {
    static const QString prefix = QStringLiteral("kestrova:");
    if (!message.startsWith(prefix))
      return;
    const QString rest = message.mid(prefix.size());
    const qsizetype a = rest.indexOf(u':');
    const qsizetype b = a < 0 ? -1 : rest.indexOf(u':', a + 1);
    if (b < 0)
      return;
    m_view->pageMessage(rest.left(a), rest.mid(a + 1, b - a - 1).toInt(), rest.mid(b + 1));
  }

private:
  TFlashView *m_view;
};

TFlashView::TFlashView(QWidget *parent) : QWebEngineView(parent)
{
  setObjectName(QStringLiteral("ShockwaveFlash1"));
  setContextMenuPolicy(Qt::NoContextMenu);
  setFocusPolicy(Qt::StrongFocus);
  m_standbyTimer = new QTimer(this);
  m_standbyTimer->setSingleShot(true);
  m_standbyTimer->setInterval(StandbyAfterMs);
  connect(m_standbyTimer, &QTimer::timeout, this, &TFlashView::requestStandby);
}

void TFlashView::PrepareWebEngine(const QString &helperFolder)
{
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  auto add = [&flags](const char *name, const char *flag) {
    // A switch the user gave is theirs: the web engine reads only the last
    // of equal switches, so ours would replace it.
    if (flags.contains(name))
      return;
    if (!flags.isEmpty())
      flags += ' ';
    flags += flag;
  };
  add("--js-flags", "--js-flags=--wasm-lazy-compilation");
  // Sound (the runtime plays through the page's audio context) is mixed in
  // this process rather than in a helper process of its own, which costs
  // some 15 MiB while doing nothing else.
  add("--disable-features", "--disable-features=AudioServiceOutOfProcess");
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);

  // The C library's heap in the web engine's helpers (they inherit the
  // environment).  By default every thread that allocates gets a heap of its
  // own of up to 64 MiB, which keeps what it once held: a player's process
  // that has run a dozen games holds tens of MiB that way, most of it freed.
  // And a large block freed once raises the size from which blocks are
  // mapped on their own (up to 32 MiB), after which such blocks come from
  // the heap and their pages stay with it when freed.  The helpers keep
  // MallocArenas heaps and a fixed MallocMapFrom, which hands large blocks
  // back to the system when they are freed.  The program's own process keeps
  // the library's number of heaps: its start-up, with the web engine's many
  // threads, would wait on a single heap.  A setting the user made, as a
  // variable or a tunable, is kept.
  const QByteArray tunables = qgetenv("GLIBC_TUNABLES");
  const struct {
    const char *variable, *tunable;
    int value;
  } heap[] = {
      {"MALLOC_ARENA_MAX", "arena_max", MallocArenas},
      {"MALLOC_MMAP_THRESHOLD_", "mmap_threshold", MallocMapFrom},
      {"MALLOC_TRIM_THRESHOLD_", "trim_threshold", MallocMapFrom},
  };
  for (const auto &h : heap) {
    if (qEnvironmentVariableIsEmpty(h.variable) && !tunables.contains(h.tunable))
      qputenv(h.variable, QByteArray::number(h.value));
  }
  // The program's own process (its heap was set up before this, so the
  // variables do not reach it) takes them after its start-up
  // (SettleProgramHeap): with a fixed threshold the start-up, which decodes
  // the skin's pictures and loads the web engine, would map, zero and unmap
  // its large blocks again and again, a fifth of a second before the window
  // shows.

  // Even so the runtime's compiler leaves the player's heap full of freed
  // pages between blocks still in use (some 70 MiB after a game started),
  // which only a trim of the whole heap returns: the helpers start through
  // our launcher, which loads the trimmer into them.
  if (!qEnvironmentVariableIsEmpty("QTWEBENGINEPROCESS_PATH"))
    return;  // the user's helper, or the launcher already
  QString folder = helperFolder.isEmpty() ? ProgramFolder() : helperFolder;
  if (!folder.endsWith(u'/'))
    folder += u'/';
  const QString launcher =
      QFileInfo(folder + QStringLiteral("kestrova-webhelper")).absoluteFilePath();
  if (!QFileInfo(launcher).isExecutable())
    return;
  const QString helper = WebEngineHelper();
  if (helper.isEmpty())
    return;
  qputenv("KESTROVA_WEBENGINE_PROCESS", QFile::encodeName(helper));
  qputenv("QTWEBENGINEPROCESS_PATH", QFile::encodeName(launcher));
}

QString TFlashView::WebEngineHelper()
{
  // Where the web engine itself looks: its library's folder of helper
  // programs, then the program's own folder.
  const QString name = QStringLiteral("QtWebEngineProcess");
  for (const QString &folder :
       {QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + u'/', ProgramFolder()}) {
    if (QFileInfo(folder + name).isExecutable())
      return folder + name;
  }
  return QString();
}

void TFlashView::ensurePage()
{
  // The page (and with it a process of the web engine) is made only when
  // the player is first needed, so that a start of the program does not
  // wait for it.
  if (m_page)
    return;
  m_server = TMediaServer::Acquire();
  m_page = new TFlashPage(this);
  m_page->setBackgroundColor(Qt::black);
  QWebEngineSettings *s = m_page->settings();
  s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
  s->setAttribute(QWebEngineSettings::ShowScrollBars, false);
  s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
  setPage(m_page);
  connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
    if (!ok) {
      m_ready = false;
      Q_EMIT movieFailed(QStringLiteral("player page did not load"));
    }
  });
  connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus, int) {
            // A crashed runtime takes the page with it: start afresh.
            m_ready = false;
            dropStandby();
            if (m_playing) {
              m_playing = false;
              Q_EMIT movieFailed(QStringLiteral("player process ended"));
            }
            QTimer::singleShot(0, this, [this] { loadPlayerPage(); });
          });
}

void TFlashView::showEvent(QShowEvent *event)
{
  ensurePage();
  QWebEngineView::showEvent(event);
}

void TFlashView::preload()
{
  if (!m_pageRequested)
    loadPlayerPage();
}

TFlashView::~TFlashView() = default;

QByteArray TFlashView::FirstFrameScript() { return QByteArray(FirstFrameTest); }

QString TFlashView::StopMovie() { return AppDir + QStringLiteral("flvplayer.swf?file=0.swf"); }

QString TFlashView::ScaleModeName(int mode)
{
  switch (mode) {
  case 1:
    return QStringLiteral("noBorder");
  case 2:
    return QStringLiteral("exactFit");
  case 3:
    return QStringLiteral("noScale");
  default:
    return QStringLiteral("showAll");
  }
}

QString TFlashView::BackgroundColorText(int color)
{
  if (color < 0)
    return QString();
  return QStringLiteral("#%1").arg(color & 0xffffff, 6, 16, QLatin1Char('0')).toUpper();
}

void TFlashView::loadPlayerPage()
{
  ensurePage();
  m_ready = false;
  dropStandby();
  if (!m_server)
    return;
  m_server->setFolders(AppDir, {CacheDir, DownloadDir});
  if (m_server
          ->resolveRequestPath(QUrl(m_server->runtimeUrl() + QStringLiteral("ruffle.js")).path())
          .isEmpty())
    return;
  QByteArray html(PlayerPage);
  html.replace("@RUFFLE@", m_server->runtimeUrl().toUtf8());
  html.replace("@FIRSTFRAME@", FirstFrameTest);
  m_server->addPage(QStringLiteral("player.html"), html, "text/html; charset=utf-8",
                    {{"Content-Security-Policy", PlayerPagePolicy}});
  m_pageRequested = true;
  m_page->load(QUrl(m_server->pageUrl(QStringLiteral("player.html"))));
}

void TFlashView::pageMessage(const QString &kind, int serial, const QString &text)
{
  if (kind == u"ready") {
    m_ready = true;
    Q_EMIT ready();
    if (!m_pending.isEmpty()) {
      const QString script = m_pending;
      m_pending.clear();
      m_page->runJavaScript(script);
    }
    return;
  }
  if (kind == u"standby" || kind == u"nostandby") {
    if (serial == m_standbyKey)
      m_standbyReady = kind == u"standby";
    return;
  }
  if (serial != m_serial)
    return;  // about a movie that was replaced since
  if (kind == u"started") {
    Q_EMIT movieStarted(text);
  } else if (kind == u"frame") {
    m_standbyTimer->start();  // the spare for the next movie, once this one settled
    Q_EMIT firstFrame();
  } else if (kind == u"failed") {
    m_playing = false;
    Q_EMIT movieFailed(text);
  } else if (kind == u"stopped") {
    Q_EMIT movieStopped();
  }
}

void TFlashView::runWhenReady(const QString &script)
{
  ensurePage();
  if (m_ready) {
    m_page->runJavaScript(script);
  } else {
    // Only the newest request matters: a movie set while the page loads
    // replaces the one set before it.
    m_pending = script;
    if (!m_pageRequested)
      loadPlayerPage();
  }
}

QString TFlashView::playSettings() const
{
  return ScaleModeName(m_scaleMode) + u' ' + BackgroundColorText(m_backgroundColor);
}

QString TFlashView::playOptions(const QString &url, const QJsonObject &parameters) const
{
  QJsonObject options;
  options.insert(QStringLiteral("url"), url);
  options.insert(QStringLiteral("parameters"), parameters);
  options.insert(QStringLiteral("scale"), ScaleModeName(m_scaleMode));
  options.insert(QStringLiteral("background"), BackgroundColorText(m_backgroundColor));
  return QString::fromUtf8(QJsonDocument(options).toJson(QJsonDocument::Compact));
}

void TFlashView::requestStandby()
{
  if (!m_ready || !m_server)
    return;
  if (m_standbyReady && m_standbySettings == playSettings())
    return;  // the one waiting fits the settings of the movie played last
  m_standbyReady = false;
  m_standbySettings = playSettings();
  m_page->runJavaScript(QStringLiteral("window.kestrovaStandby(%1, %2)")
                            .arg(++m_standbyKey)
                            .arg(playOptions(m_server->standbyUrl(), QJsonObject())));
}

void TFlashView::dropStandby()
{
  // A page loaded afresh has no spare; a report about the old one is stale.
  ++m_standbyKey;
  m_standbyReady = false;
  m_standbyTimer->stop();
}

void TFlashView::stopPlayback()
{
  ++m_serial;
  m_playing = false;
  m_movieUrl.clear();
  if (m_server)
    m_server->stopPlaying();
  if (!m_pageRequested) {
    // Nothing was ever played: nothing to end.
    m_pending.clear();
    Q_EMIT movieStopped();
    return;
  }
  runWhenReady(QStringLiteral("window.kestrovaStop && window.kestrovaStop(%1)").arg(m_serial));
}

void TFlashView::setMovie(const QString &movie)
{
  m_movie = movie;
  if (movie.isEmpty() || movie == StopMovie()) {
    stopPlayback();
    return;
  }
  ensurePage();
  if (!m_server) {
    Q_EMIT movieFailed(QStringLiteral("player server not running"));
    return;
  }
  // The folders may have changed (settings) since the page was loaded.
  m_server->setFolders(AppDir, {CacheDir, DownloadDir});
  QString path, query;
  SplitMovie(movie, &path, &query);
  QList<std::pair<QString, QString>> vars = ParseVariables(m_flashVars);
  QString url;
  QString missing;
  if (path == AppDir + QStringLiteral("flvplayer.swf")) {
    // The video player: its variables (also those in the movie's address)
    // name the video by its local path, which becomes the video's address.
    vars = ParseVariables(query) + vars;
    query.clear();
    for (auto &[name, value] : vars) {
      if (name == u"file" && value.startsWith(u'/')) {
        const QString address = m_server->servePlaying(value);
        if (address.isEmpty())
          missing = value;
        value = address;
      }
    }
    if (!QFileInfo(path).isFile())
      missing = path;
    url = m_server->videoPlayerUrl();
  } else {
    url = m_server->servePlaying(path);
    if (url.isEmpty())
      missing = path;
  }
  if (!missing.isEmpty()) {
    stopPlayback();
    Q_EMIT movieFailed(QStringLiteral("movie not found: ") + missing);
    return;
  }
  if (!query.isEmpty()) {
    QUrl withQuery(url);
    withQuery.setQuery(query, QUrl::DecodedMode);
    url = withQuery.toString(QUrl::FullyEncoded);
  }
  QJsonObject parameters;
  for (const auto &[name, value] : vars)
    parameters.insert(name, value);
  ++m_serial;
  m_playing = true;
  m_movieUrl = url;
  const QString json = playOptions(url, parameters);
  m_standbyTimer->stop();
  // A plain movie with the spare's settings plays in the spare player: the
  // server answers its waiting request with this movie.
  if (m_ready && m_standbyReady && parameters.isEmpty() && query.isEmpty() &&
      url != m_server->videoPlayerUrl() && m_standbySettings == playSettings() &&
      m_server->releaseStandby(url)) {
    m_standbyReady = false;
    m_page->runJavaScript(QStringLiteral("window.kestrovaTake(%1, %2, %3)")
                              .arg(m_serial)
                              .arg(m_standbyKey)
                              .arg(json));
    return;
  }
  runWhenReady(QStringLiteral("window.kestrovaPlay(%1, %2)").arg(m_serial).arg(json));
}

bool TFlashView::waitReady(int timeoutMs)
{
  if (m_ready)
    return true;
  preload();
  if (!m_server)
    return false;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  connect(this, &TFlashView::ready, &loop, &QEventLoop::quit);
  connect(this, &TFlashView::movieFailed, &loop, &QEventLoop::quit);
  timer.start(timeoutMs);
  loop.exec();
  return m_ready;
}

void TFlashView::SettleProgramHeap()
{
  if (qgetenv("MALLOC_MMAP_THRESHOLD_") == QByteArray::number(MallocMapFrom))
    ::mallopt(M_MMAP_THRESHOLD, MallocMapFrom);
  if (qgetenv("MALLOC_TRIM_THRESHOLD_") == QByteArray::number(MallocMapFrom))
    ::mallopt(M_TRIM_THRESHOLD, MallocMapFrom);
  ::malloc_trim(0);
}

bool TFlashView::IsFlashAvailable(const QString &appDir, int timeoutMs)
{
  // The probe's page is served from the given folder.
  const QString saved = AppDir;
  AppDir = appDir.endsWith(u'/') ? appDir : appDir + u'/';
  const bool available = IsFlashAvailable(timeoutMs);
  AppDir = saved;
  return available;
}

bool TFlashView::IsFlashAvailable(int timeoutMs)
{
  if (AppDir.isEmpty() || !QFileInfo(AppDir + QStringLiteral("ruffle/ruffle.js")).isFile())
    return false;
  TFlashView probe;
  return probe.waitReady(timeoutMs);
}
