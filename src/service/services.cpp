#include "service/services.h"

#include "widgets/desktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QUrl>

bool OpenInDesktop(const QString &address)
{
  const QUrl url = QUrl::fromUserInput(address);
  if (!url.isValid() || url.isEmpty())
    return false;
  Desktop().OpenUrl(url);
  return true;
}

BackgroundCalls::~BackgroundCalls()
{
  // Every call is bounded by the HTTP time-outs; none outlives its owner.
  for (const QPointer<QThread> &worker : std::as_const(m_workers)) {
    if (worker && worker->isRunning())
      worker->wait(QDeadlineTimer(40000));
  }
}

void BackgroundCalls::track(QThread *worker)
{
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
  m_workers.removeIf([](const QPointer<QThread> &w) { return w.isNull(); });
  m_workers.append(worker);
  worker->start();
}

int BackgroundCalls::running() const
{
  int n = 0;
  for (const QPointer<QThread> &worker : m_workers)
    n += worker && !worker->isFinished();
  return n;
}

bool BackgroundCalls::waitIdle(int timeoutMs)
{
  QElapsedTimer timer;
  timer.start();
  while (running() > 0) {
    if (timer.elapsed() > timeoutMs)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  // The results are queued to this thread: deliver them.
  QCoreApplication::sendPostedEvents(this);
  QCoreApplication::processEvents();
  return true;
}
