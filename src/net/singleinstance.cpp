#include "net/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QTemporaryDir>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A Unix socket path holds at most 107 bytes; leave room for our names.
constexpr int kMaxFolderBytes = 64;

QString UserName()
{
  if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_name && *pw->pw_name)
    return QString::fromLocal8Bit(pw->pw_name);
  return QString::number(getuid());
}

QString SafeName(QString s)
{
  s.replace(QLatin1Char('/'), QLatin1Char('_'));
  return s;
}

}  // namespace

QString RuntimeFolder()
{
  const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!xdg.isEmpty() && QFileInfo(xdg).isDir() &&
      QFile::encodeName(xdg).size() <= kMaxFolderBytes) {
    QString f = QDir::cleanPath(xdg);
    return f;
  }
  const QString folder =
      QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/kestrova-") + SafeName(UserName());
  const QByteArray native = QFile::encodeName(folder);
  if (mkdir(native.constData(), 0700) != 0) {
    // It may exist already; only a folder of our own, private to us, is
    // acceptable (someone else could otherwise plant a socket in it).
    struct stat st {};
    if (lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
      return QDir::cleanPath(QDir::tempPath());
    if ((st.st_mode & 077) != 0)
      chmod(native.constData(), 0700);
  }
  return folder;
}

QString UpdaterSocketPath() { return RuntimeFolder() + QLatin1Char('/') + UpdaterCaption; }

bool IsUpdaterRunning(int timeoutMs)
{
  const QString path = UpdaterSocketPath();
  if (!QFileInfo::exists(path))
    return false;
  QLocalSocket socket;
  socket.connectToServer(path);
  const bool up = socket.waitForConnected(timeoutMs);
  socket.abort();
  return up;
}

SingleInstance::SingleInstance(const QString &executableName, QObject *parent)
    : QObject(parent), m_name(QStringLiteral("kestrova-") + SafeName(UserName()) +
                              QLatin1Char('-') + SafeName(executableName)),
      m_base(RuntimeFolder() + QLatin1Char('/') + m_name)
{
}

SingleInstance::~SingleInstance()
{
  if (m_server)
    m_server->close();
  if (m_lock)
    m_lock->unlock();
  m_lock.reset();
  m_private.reset();  // after the lock and the socket in it are gone
}

QString SingleInstance::LockPath() const { return m_base + QStringLiteral(".lock"); }
QString SingleInstance::SocketPath() const { return m_base; }

namespace {

// Is the lock file at `path` a plain file of this user?  Only such a file,
// naming a live process, stands for a running copy.
bool OwnLockFile(const QString &path)
{
  struct stat st {};
  return lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
         st.st_uid == getuid();
}

}  // namespace

bool SingleInstance::takeLock()
{
  m_lock = std::make_unique<QLockFile>(LockPath());
  // A lock is stale only when its process is gone, never because of its age.
  m_lock->setStaleLockTime(0);
  return m_lock->tryLock(0);
}

SingleInstance::Lock SingleInstance::Acquire()
{
  if (m_lock && m_lock->isLocked())
    return Lock::Taken;
  if (!takeLock()) {
    if (m_lock->error() == QLockFile::LockFailedError && OwnLockFile(LockPath()))
      return Lock::HeldByRunningCopy;
    // Not a running copy of ours: this copy runs with a folder of its own.
    m_lock.reset();
    m_private =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kestrova-XXXXXX"));
    if (!m_private->isValid()) {
      m_private.reset();
      return Lock::Unusable;
    }
    m_base = m_private->path() + QLatin1Char('/') + m_name;
    if (!takeLock()) {
      m_lock.reset();
      return Lock::Unusable;
    }
  }

  // Holding the lock, any socket file left at our path is from a copy that
  // ended without cleaning up.
  QLocalServer::removeServer(SocketPath());
  m_server = new QLocalServer(this);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
  // Not listening only costs the hand-over; the lock still keeps one copy.
  m_server->listen(SocketPath());
  return Lock::Taken;
}

void SingleInstance::onNewConnection()
{
  while (QLocalSocket *raw = m_server->nextPendingConnection()) {
    QPointer<QLocalSocket> socket(raw);
    connect(raw, &QLocalSocket::disconnected, raw, &QObject::deleteLater);
    connect(raw, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket)
        return;
      while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(64).trimmed();
        if (line == "show") {
          Q_EMIT showRequested();
          socket->write("ok\n");
          socket->flush();
        }
      }
      // A peer that sends garbage without a line end is cut off.
      if (socket->bytesAvailable() > 64)
        socket->abort();
    });
  }
}

bool SingleInstance::AskRunningToShow(int timeoutMs)
{
  QLocalSocket socket;
  socket.connectToServer(SocketPath());
  if (!socket.waitForConnected(timeoutMs))
    return false;
  socket.write("show\n");
  if (!socket.waitForBytesWritten(timeoutMs))
    return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs))
      return false;
  }
  const bool ok = socket.readLine(64).trimmed() == "ok";
  socket.disconnectFromServer();
  return ok;
}
