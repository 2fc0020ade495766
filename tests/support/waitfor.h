#pragma once
// Waiting in tests: the test's own events (its loopback servers, the web
// engine's replies, timers) are served while it waits.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

// Waits until `done` is true or timeoutMs have passed; false on time-out.
template <typename F>
bool WaitFor(F done, int timeoutMs)
{
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

// Serves events for ms milliseconds.
inline void Pump(int ms)
{
  WaitFor([] { return false; }, ms);
}
