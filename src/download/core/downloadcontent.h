#pragma once
// TDownloadContent: the worker thread that reads an item from the engine's
// local address over HTTP and writes it to its target path.
//
// The body is streamed into a temporary file beside the target, which is
// renamed onto the target only when the transfer completed; a failed or
// stopped transfer leaves no file behind and an existing target untouched.
// While it runs, its progress timer (on the creating thread, every 2000 ms)
// asks the engine how far the task is and reports the progress text.
#include "download/core/downloadqueue.h"

#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>

class QTimer;
class IEngine;

class TDownloadContent : public QThread {
  Q_OBJECT
public:
  static constexpr int ProgressIntervalMs = 2000;

  // `engine` answers the progress of task `taskNumber`; it may be null (no
  // progress is reported then).
  TDownloadContent(IEngine *engine, const QString &localAddress, const QString &targetPath,
                   std::int32_t taskNumber, QObject *parent = nullptr);
  // Asks the transfer to stop and waits for the thread.
  ~TDownloadContent() override;

  const QString &localAddress() const { return m_address; }
  const QString &targetPath() const { return m_target; }
  std::int32_t taskNumber() const { return m_task; }

  // Enables the progress timer and starts the thread.
  void begin();
  // The transfer stops at its next step; it then ends like a failed one.
  void requestStop() { m_stop.store(true); }
  bool stopRequested() const { return m_stop.load(); }

  // The progress timer's tick: GetProgInfo of the task.
  void ProgressTimerTimer();

  QTimer *progressTimer = nullptr;

Q_SIGNALS:
  // From the progress timer, when the engine answered.
  void progress(int percent, const QString &text);
  // On the creating thread, once the thread has ended; the timer is stopped.
  void transferEnded(const TTransferResult &result);

protected:
  void run() override;

private:
  void onThreadFinished();

  IEngine *m_engine;
  const QString m_address;
  const QString m_target;
  const std::int32_t m_task;
  std::atomic<bool> m_stop{false};
  TTransferResult m_result;  // written by the thread, read after it ended
};
