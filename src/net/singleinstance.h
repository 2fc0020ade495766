#pragma once
// One running copy of the client per user and executable name, and the test
// for the online updater, on Linux.
//
// The Windows program used a named mutex "kestrova" and searched the running
// copy's window to restore it; it recognised the updater by a top-level
// window captioned "Kestrova软件在线升级".  Here:
//
//  * The instance lock is a QLockFile "kestrova-<user>-<executable>.lock" in
//    RuntimeFolder().  Whoever holds it is the running copy; the lock is
//    released by the system when that process ends, also when it crashes
//    (QLockFile recognises a lock left by a dead process as stale).  Only a
//    lock file of this user naming a live process counts as a running copy;
//    a lock that cannot be taken for any other reason (a folder that cannot
//    be written, a lock planted by another user, something else in its
//    place) does not stop the start: the lock and the socket move to a
//    private folder made for this run (<temp>/kestrova-XXXXXX, removed at
//    the end).
//  * The running copy listens on a local socket "kestrova-<user>-<executable>"
//    in the same folder.  A second start that fails to take the lock connects
//    to it and sends the line "show"; the running copy restores its main
//    window and brings it to the front.  The second process then ends
//    silently, whether or not it could reach the first (which may still be
//    starting).
//  * The updater, while its window is open, listens on a local socket whose
//    file name is exactly its window caption, "Kestrova软件在线升级", in
//    RuntimeFolder().  The client treats a socket there that accepts a
//    connection as "the updater window exists".  A socket file left behind by
//    a crashed updater refuses connections and so counts as absent.
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;
class QTemporaryDir;

// Caption of the updater's window; also the name of its local socket.
inline const QString UpdaterCaption = QStringLiteral("Kestrova软件在线升级");

// The per-user folder for the lock and the sockets: $XDG_RUNTIME_DIR when it
// is set, exists and is short enough for a socket path; otherwise
// <temp>/kestrova-<user>, created private to the user.  No trailing '/'.
QString RuntimeFolder();

// Full path of the updater's socket.
QString UpdaterSocketPath();

// True when a process listens on the updater's socket.
bool IsUpdaterRunning(int timeoutMs = 500);

class SingleInstance : public QObject {
  Q_OBJECT
public:
  // `executableName` is the file name of the running program, without folder.
  explicit SingleInstance(const QString &executableName, QObject *parent = nullptr);
  ~SingleInstance() override;

  enum class Lock {
    Taken,              // this copy runs; it listens for later starts
    HeldByRunningCopy,  // hand over to the running copy and end
    Unusable,           // not even a private folder could hold a lock
  };
  // Takes the instance lock and starts listening for later starts.
  Lock Acquire();
  // Acquire() == Lock::Taken.
  bool TryAcquire() { return Acquire() == Lock::Taken; }

  // From a second start: asks the running copy to restore and raise its
  // window.  True when it confirmed within the time limit.
  bool AskRunningToShow(int timeoutMs = 2000);

  QString LockPath() const;
  QString SocketPath() const;

Q_SIGNALS:
  // A later start asked this copy to bring its window forward.
  void showRequested();

private:
  void onNewConnection();
  bool takeLock();

  QString m_name;  // "kestrova-<user>-<executable>"
  QString m_base;
  std::unique_ptr<QTemporaryDir> m_private;
  std::unique_ptr<QLockFile> m_lock;
  QLocalServer *m_server = nullptr;
};
