#pragma once
// The Flash player control: a web view that shows our own player page, which
// runs the Flash runtime (Ruffle, WebAssembly) from AppDir/ruffle/.  The
// page, the runtime and the movie come from the player's loopback server
// (TMediaServer), which serves the one movie (or video) being played, from
// CacheDir or DownloadDir, and the program's own few files.  A movie gets
// no more of the network than a game needs: it cannot open pages or windows
// (an address it asks to open is refused), reach another origin or call
// into the page, and the page never navigates away.
//
// The control keeps the property names of the Flash control the rest of the
// program talks to:
//   Movie            local path of the movie, "?query" allowed; setting it
//                    loads the movie with the properties below.  Setting it
//                    to AppDir + "flvplayer.swf?file=0.swf" (or to empty text)
//                    ends whatever was playing.
//   FlashVars        the movie's variables ("a=1&b=2", values percent-encoded),
//                    read when Movie is set.  For the video-player movie a
//                    "file" that is a local path is handed over as the
//                    video's address.
//   Loop             kept for callers; the runtime has no switch for it, and
//                    the movies played here loop or stop by their own script
//   ScaleMode        0 show all, 1 no border, 2 exact fit, 3 no scale
//   BackgroundColor  0xRRGGBB, -1 = the movie's own background
#include <QString>
#include <QWebEngineView>
#include <memory>

class TMediaServer;
class TFlashPage;
class QJsonObject;
class QTimer;

class TFlashView : public QWebEngineView {
  Q_OBJECT
public:
  explicit TFlashView(QWidget *parent = nullptr);
  ~TFlashView() override;

  QString Movie() const { return m_movie; }
  void setMovie(const QString &movie);
  QString FlashVars() const { return m_flashVars; }
  void setFlashVars(const QString &vars) { m_flashVars = vars; }
  bool Loop() const { return m_loop; }
  void setLoop(bool loop) { m_loop = loop; }
  int ScaleMode() const { return m_scaleMode; }
  void setScaleMode(int mode) { m_scaleMode = mode; }
  int BackgroundColor() const { return m_backgroundColor; }
  void setBackgroundColor(int color) { m_backgroundColor = color; }

  // The movie text that ends playback.
  static QString StopMovie();

  // The script function kestrovaFramePainted(player) with which the player
  // page finds a movie's first frame on a Ruffle player element.
  static QByteArray FirstFrameScript();

  // Settings of the web engine that the runtime wants; to be called before
  // the application object exists.  The runtime is one large WebAssembly
  // module of which a game uses a small part: its functions are compiled
  // when first called, not all at load, which keeps tens of MiB of machine
  // code out of the player's process.  Sound is mixed in the program's own
  // process, and the web engine's helper processes keep MallocArenas heaps
  // of the C library (MALLOC_ARENA_MAX) instead of one per thread, and map
  // every block of MallocMapFrom bytes and more on its own, so that its pages
  // go back to the system when it is freed.  Switches
  // the user gave the web engine (--js-flags, --disable-features) and a heap
  // setting of theirs are left as they are.  The helpers start through
  // kestrova-webhelper from `helperFolder` (by default the running program's
  // folder) when it is there and the user named no helper of their own
  // (QTWEBENGINEPROCESS_PATH): it loads the heap trimmer into each of them,
  // which hands the pages of freed memory back to the system.
  static void PrepareWebEngine(const QString &helperFolder = QString());
  // The web engine's own helper program as the web engine finds it, or
  // empty text when it is missing.
  static QString WebEngineHelper();
  // The program's own process takes the helpers' heap settings (unless the
  // user made their own) once its start-up is over, and hands back what the
  // start-up left freed: during the start-up the library's own settings are
  // faster by a fifth of a second.
  static void SettleProgramHeap();
  static constexpr int MallocArenas = 1;
  static constexpr int MallocMapFrom = 128 * 1024;

  // Loads the player page (and with it the runtime) now, if it is not
  // loaded yet; otherwise that happens when the first movie is set.  The
  // runtime takes a few seconds of processor time to compile.
  void preload();

  // True once the player page has loaded the runtime.
  bool isReady() const { return m_ready; }
  // True while a movie is loaded (from Movie set until it is ended).
  bool isPlaying() const { return m_playing; }
  // Address the current movie was loaded from (empty when none).
  QString movieUrl() const { return m_movieUrl; }

  // Waits (running the event loop) until the page is ready; false on time-out.
  bool waitReady(int timeoutMs);

  // Can the player be created here?  False when AppDir/ruffle/ruffle.js is
  // missing, the loopback server cannot listen, or the web view does not
  // load the player page within `timeoutMs`.  Creates and frees one player.
  static bool IsFlashAvailable(int timeoutMs = 20000);
  // The same for a program folder given before AppDir is set (start-up).
  static bool IsFlashAvailable(const QString &appDir, int timeoutMs = 20000);

  // After a movie's first frame the control builds, once the movie had this
  // long to settle, a spare player for the next movie with the same scale
  // and background, hidden in the page: building one is most of what a play
  // costs the runtime.  The next plain movie (no variables, no query, not
  // the video player) with those settings plays in it.
  static constexpr int StandbyAfterMs = 1000;
  // True while a spare player is built and waits for its movie.
  bool hasStandby() const { return m_standbyReady; }

  // The runtime's name for a ScaleMode value ("showAll", "noBorder",
  // "exactFit", "noScale"); other values give "showAll".
  static QString ScaleModeName(int mode);
  // "#RRGGBB" for a BackgroundColor value, empty for -1 (the movie's own).
  static QString BackgroundColorText(int color);

Q_SIGNALS:
  void ready();
  // The runtime accepted the movie and started it.
  void movieStarted(const QString &url);
  // The first frame of the movie was painted.
  void firstFrame();
  // The movie could not be loaded (missing file, runtime error).
  void movieFailed(const QString &reason);
  void movieStopped();

protected:
  void showEvent(QShowEvent *event) override;

private:
  friend class TFlashPage;
  void ensurePage();
  void pageMessage(const QString &kind, int serial, const QString &text);
  void loadPlayerPage();
  void runWhenReady(const QString &script);
  void stopPlayback();
  void requestStandby();
  void dropStandby();
  // The scale and background a player is built with, as one text.
  QString playSettings() const;
  // The player page's options for playing `url` with `parameters` and the
  // control's scale and background (JSON).
  QString playOptions(const QString &url, const QJsonObject &parameters) const;

  std::shared_ptr<TMediaServer> m_server;
  TFlashPage *m_page = nullptr;
  QString m_movie;
  QString m_flashVars;
  bool m_loop = true;
  int m_scaleMode = 0;
  int m_backgroundColor = -1;
  bool m_pageRequested = false;  // the player page was asked for
  bool m_ready = false;
  bool m_playing = false;
  int m_serial = 0;
  QString m_movieUrl;
  QString m_pending;  // script to run once the page is ready
  // The spare player: its number, whether the page built it, and the
  // settings it was built with (playSettings).
  int m_standbyKey = 0;
  bool m_standbyReady = false;
  QString m_standbySettings;
  QTimer *m_standbyTimer = nullptr;
};
