#pragma once
// The player's own small web server on 127.0.0.1.  The web engine cannot load
// the Flash runtime (WebAssembly) from files or a custom scheme, so the player
// page, the runtime and the movie reach it over loopback HTTP.
//
// It serves, read only, below a prefix drawn at random for each start
// ("/<32 hex digits>/"), these and nothing else:
//   <prefix>ruffle/<name>   a runtime file (.js, .wasm) of AppDir/ruffle/
//   <prefix>flvplayer.swf   the video-player movie of AppDir
//   <prefix>page/<name>     a page registered with addPage()
//   <prefix>play/<name>     the one file being played (servePlaying())
//   <prefix>standby/<n>     the movie of a player made ready ahead of it
//                           (standbyUrl()): the request waits until
//                           releaseStandby() names the movie, then gets it
// A request whose Host is not this server's own "127.0.0.1:PORT" is refused,
// so a web page elsewhere that finds the port (also through a name that was
// made to point here) gets nothing, and no answer lets another origin read
// it.  Other programs of the machine do not know the prefix.
//
// The server runs on its own thread from the first Acquire() until the last
// holder lets go.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class TMediaServer {
public:
  // The running server, started on first use.  Null when it cannot listen.
  static std::shared_ptr<TMediaServer> Acquire();

  ~TMediaServer();
  TMediaServer(const TMediaServer &) = delete;
  TMediaServer &operator=(const TMediaServer &) = delete;

  int port() const;
  // "http://127.0.0.1:PORT"
  QString origin() const;
  // origin() + "/<prefix>/": every address served starts with it.
  QString base() const;

  // The program's folder (for the runtime and the video-player movie) and
  // the folders a played file may lie in (absolute, any trailing '/').
  // Empty entries are ignored.  Safe to call from any thread.
  void setFolders(const QString &appDir, const QStringList &mediaFolders);

  // base() + "ruffle/"
  QString runtimeUrl() const;
  // base() + "flvplayer.swf"
  QString videoPlayerUrl() const;

  // Serves `bytes` at base() + "page/<name>" with the given content type
  // and extra headers.
  void addPage(const QString &name, const QByteArray &bytes, const QByteArray &contentType,
               const QList<std::pair<QByteArray, QByteArray>> &headers = {});
  QString pageUrl(const QString &name) const;

  // Makes the local file `path` the one file played; the file served before
  // is served no more.  Gives its address (the file name percent-encoded),
  // or empty text, serving nothing, when `path` is not a plain file inside
  // one of the media folders (checked segment by segment, "..", "." and
  // empty segments refused, and again after resolving links).
  QString servePlaying(const QString &path);
  void stopPlaying();

  // A player that is made before its movie is known (building a player
  // takes the runtime most of a play's time) loads from this address, a new
  // one for each call.  Its request waits here until releaseStandby() names
  // the movie and is then answered with the movie's file (not redirected:
  // the runtime takes tens of milliseconds longer over a redirect), or
  // until the server stops, or until a newer standby address is handed out:
  // only the newest one is ever waited on, an older one is answered "not
  // found", and each is answered with a movie once.
  QString standbyUrl();
  // Answers the newest standby request (now, or when it comes) with the
  // file played at `playUrl`, an address servePlaying() gave for the file
  // being played.  False, changing nothing, for any other address or when
  // no standby address is out.
  bool releaseStandby(const QString &playUrl);

  // The local file a request path (percent-decoded) stands for, or empty
  // text when nothing is served there.
  QString resolveRequestPath(const QString &decodedPath) const;

  // Content type by file extension (.wasm application/wasm, .js
  // application/x-javascript, .swf, .flv, .mp3, .htm ...).
  static QByteArray ContentTypeFor(const QString &path);

private:
  TMediaServer();
  struct Impl;
  std::unique_ptr<Impl> d;
};
