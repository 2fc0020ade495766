#pragma once
// The client's side of the download and sign-in engine (libkestrova.so).
//
// IEngine is what the rest of the client calls: the engine's functions as
// methods, and its callbacks as signals that always arrive on the thread of
// the object (the user-interface thread), queued, whatever thread the engine
// reported from.  EngineLibrary is the real one, loaded from a path at run
// time; tests put their own IEngine in its place.
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class IEngine : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;

  // SetProgramInfo writes at most this many bytes (NUL included).
  static constexpr int kAddressBufferSize = 1024;

  // Starts the engine with the client version; the callbacks go to this
  // object's signals from now on.
  virtual bool Initkestrova(std::int32_t clientVersion) = 0;
  // Stops every task and joins the engine's threads; no signal is queued
  // after it returns.  Harmless when not started.
  virtual void UnInitkestrova() = 0;
  // true: the fetch runs and the complete file will stand at `path`; its end
  // is reported once through taskEnded(id, percent).
  virtual bool NewDownload(std::int32_t id, const QString &url, const QString &path) = 0;
  virtual bool StopDownload(std::int32_t id) = 0;
  // true: the three values were written (percent, KiB held, total bytes or 0).
  virtual bool GetProgInfo(std::int32_t id, std::int32_t *percent, std::int32_t *spare,
                           std::int32_t *total) = 0;
  // Registers the address and writes the local address
  // "http://127.0.0.1:PORT/<key>/P2P/<task>.<ext>" into `buffer`
  // (kAddressBufferSize bytes, always NUL-terminated).
  virtual bool SetProgramInfo(const QString &url, std::int32_t id, std::int32_t a, std::int32_t b,
                              char *buffer) = 0;
  // 1 = run at system start (writes the autostart entry), 0 = do not.
  virtual bool SetPcRun(std::int32_t run) = 0;
  // Blocking (bounded time-outs): call it on a worker thread.  The outcome
  // arrives as signInResult and then, if the portal told it, versionInfo.
  virtual bool ClientLoginIn(std::int32_t clientVersion, const QString &siteUrl) = 0;

Q_SIGNALS:
  void versionInfo(int action, int catalogVersion, int serviceNumber, int updaterVersion);
  void signInResult(int result, int userNumber, int points, int level);
  void taskEnded(int id, int percent);
};

class EngineLibrary final : public IEngine {
  Q_OBJECT
public:
  static constexpr const char *kFileName = "libkestrova.so";

  // Loads the library at `libraryPath` (for the program: AppDir + kFileName).
  // When it or one of its functions is missing every method gives false.
  explicit EngineLibrary(const QString &libraryPath, QObject *parent = nullptr);
  ~EngineLibrary() override;  // UnInitkestrova when still started

  bool isLoaded() const { return api_ != nullptr; }
  QString errorString() const { return error_; }

  bool Initkestrova(std::int32_t clientVersion) override;
  void UnInitkestrova() override;
  bool NewDownload(std::int32_t id, const QString &url, const QString &path) override;
  bool StopDownload(std::int32_t id) override;
  bool GetProgInfo(std::int32_t id, std::int32_t *percent, std::int32_t *spare,
                   std::int32_t *total) override;
  bool SetProgramInfo(const QString &url, std::int32_t id, std::int32_t a, std::int32_t b,
                      char *buffer) override;
  bool SetPcRun(std::int32_t run) override;
  bool ClientLoginIn(std::int32_t clientVersion, const QString &siteUrl) override;

private:
  struct Api;
  static void OnVersion(std::int32_t, std::int32_t, std::int32_t, std::int32_t);
  static void OnSignIn(std::int32_t, std::int32_t, std::int32_t, std::int32_t);
  static void OnSpare(std::int32_t, std::int32_t);
  static void OnTaskEnd(std::int32_t, std::int32_t);

  std::unique_ptr<Api> api_;
  QString error_;
  bool started_ = false;
};
