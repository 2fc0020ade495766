#pragma once
// An engine for the download window's tests: SetProgramInfo registers an
// address and gives a local address on a loopback server (with a path part
// before "P2P/", as a hardened engine may give), whose body the test sets;
// progress and task-end reports are the test's to decide.
#include "loopserver.h"

#include "net/enginelibrary.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QMetaObject>
#include <array>
#include <cstring>

class DownloadEngine final : public IEngine {
  Q_OBJECT
public:
  struct Registration {
    QString url;
    std::int32_t id = 0;
    std::int32_t task = 0;
    QString local;
  };
  QList<Registration> registrations;
  QList<std::int32_t> stopped;  // task numbers
  bool giveAddress = true;
  QMap<std::int32_t, std::array<std::int32_t, 3>> progress;  // task -> percent, spare, total
  LoopServer server;

  // The body served for the local address of `url`.
  // With `stall` the body stops after cutAfter bytes without ending.
  void serve(const QString &url, const QByteArray &body, qint64 cutAfter = -1, bool stall = false)
  {
    m_bodies[url] = Body{body, cutAfter, stall};
  }
  void report(int id, int percent) { Q_EMIT taskEnded(id, percent); }
  const Registration *last() const
  {
    return registrations.isEmpty() ? nullptr : &registrations.last();
  }

  bool Initkestrova(std::int32_t) override { return true; }
  void UnInitkestrova() override {}
  bool NewDownload(std::int32_t, const QString &, const QString &) override { return false; }
  bool StopDownload(std::int32_t task) override
  {
    stopped << task;
    for (const Registration &r : registrations)
      if (r.task == task) {
        const int id = r.id;
        QMetaObject::invokeMethod(
            this, [this, id] { Q_EMIT taskEnded(id, 0); }, Qt::QueuedConnection);
      }
    return true;
  }
  bool GetProgInfo(std::int32_t task, std::int32_t *percent, std::int32_t *spare,
                   std::int32_t *total) override
  {
    auto it = progress.find(task);
    if (it == progress.end())
      return false;
    *percent = (*it)[0];
    *spare = (*it)[1];
    *total = (*it)[2];
    return true;
  }
  bool SetProgramInfo(const QString &url, std::int32_t id, std::int32_t, std::int32_t,
                      char *buffer) override
  {
    if (!giveAddress)
      return false;
    const std::int32_t task = 2000000001 + static_cast<std::int32_t>(registrations.size());
    const QString path = QStringLiteral("/Zq81kLx0/P2P/%1.swf").arg(task);
    const QString local = server.base() + path;
    const Body body = m_bodies.value(url);
    server.put(path, body.bytes, body.cutAfter, body.stall);
    registrations << Registration{url, id, task, local};
    const QByteArray bytes = local.toUtf8();
    std::memcpy(buffer, bytes.constData(),
                std::min<qsizetype>(bytes.size(), kAddressBufferSize - 1));
    return true;
  }
  bool SetPcRun(std::int32_t) override { return true; }
  bool ClientLoginIn(std::int32_t, const QString &) override { return false; }

private:
  struct Body {
    QByteArray bytes;
    qint64 cutAfter = -1;
    bool stall = false;
  };
  QHash<QString, Body> m_bodies;
};
