#pragma once
// The player's own small web server on 127.0.0.1.  The web engine cannot load
// the Flash runtime (WebAssembly) from files or a custom scheme, so the player
// page, the runtime and the movies reach it over loopback HTTP.
//
// It serves, read only:
//   /~kestrova/<page>          pages registered with addPage()
//   /<absolute path>           a file that lies inside one of the roots
// The roots are the program's folder, the cache folder and the download
// folder; nothing else on the disk is reachable.  A local path's address is
// simply its absolute path, so a movie that is handed a local file path
// (the video player's "file" variable) finds the file through the same
// server.  Paths are checked segment by segment ("..", "." and empty
// segments are refused) and again after resolving links, so no request
// leaves its root.
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

  // The folders whose files may be served (absolute, any trailing '/').
  // Empty entries are ignored.  Safe to call from any thread.
  void setRoots(const QStringList &roots);
  QStringList roots() const;

  // Serves `bytes` at /~kestrova/<name> with the given content type.
  void addPage(const QString &name, const QByteArray &bytes, const QByteArray &contentType);
  QString pageUrl(const QString &name) const;

  // The address of a local file, or empty text when the file is not inside
  // a root.  A "?query" after the path is kept.
  QString urlForPath(const QString &localPathWithQuery) const;

  // The local file a request path stands for, or empty text when the path
  // is refused (outside every root, not a plain file, bad segments).
  QString resolveRequestPath(const QString &decodedPath) const;

  // Content type by file extension (.wasm application/wasm, .js
  // application/x-javascript, .swf, .flv, .mp3, .htm ...).
  static QByteArray ContentTypeFor(const QString &path);

private:
  TMediaServer();
  struct Impl;
  std::unique_ptr<Impl> d;
};
