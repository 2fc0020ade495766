#pragma once
// An engine that records what the client asks of it; tests decide its
// answers and send its task-end reports.
#include "net/enginelibrary.h"

#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QString>
#include <array>

class FakeEngine final : public IEngine {
  Q_OBJECT
public:
  struct Call {
    QString what;  // "new", "stop", "progress"
    std::int32_t id = 0;
    QString url, path;
  };
  QList<Call> calls;
  bool newDownloadAnswer = true;
  QMap<std::int32_t, std::array<std::int32_t, 3>> progress;  // id -> percent, spare, total

  QList<Call> callsOf(const QString &what) const
  {
    QList<Call> out;
    for (const Call &c : calls)
      if (c.what == what)
        out << c;
    return out;
  }
  void report(int id, int percent) { Q_EMIT taskEnded(id, percent); }

  bool Initkestrova(std::int32_t) override { return true; }
  void UnInitkestrova() override {}
  bool NewDownload(std::int32_t id, const QString &url, const QString &path) override
  {
    calls << Call{"new", id, url, path};
    return newDownloadAnswer;
  }
  // Like the real engine, a stopped task still reports its end (below 100),
  // later, through the event queue.
  bool reportOnStop = true;
  bool StopDownload(std::int32_t id) override
  {
    calls << Call{"stop", id, {}, {}};
    if (reportOnStop)
      QMetaObject::invokeMethod(
          this, [this, id] { Q_EMIT taskEnded(id, 0); }, Qt::QueuedConnection);
    return true;
  }
  bool GetProgInfo(std::int32_t id, std::int32_t *percent, std::int32_t *spare,
                   std::int32_t *total) override
  {
    calls << Call{"progress", id, {}, {}};
    auto it = progress.find(id);
    if (it == progress.end())
      return false;
    *percent = (*it)[0];
    *spare = (*it)[1];
    *total = (*it)[2];
    return true;
  }
  bool SetProgramInfo(const QString &, std::int32_t, std::int32_t, std::int32_t, char *) override
  {
    return false;
  }
  bool SetPcRun(std::int32_t) override { return true; }
  bool ClientLoginIn(std::int32_t, const QString &) override { return false; }
};
