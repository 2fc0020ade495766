#pragma once
// The stand-in portal as a child process for one test or benchmark run.
#include <QProcess>
#include <QString>

class PortalProcess {
public:
  PortalProcess() = default;
  ~PortalProcess();
  // Starts `exe --port 0 --data dataDir --platform-ini platformIni` and
  // waits for its base address.  False (with the reason in error()) when it
  // does not come up within `timeoutMs`.
  bool start(const QString &exe, const QString &dataDir, const QString &platformIni,
             int timeoutMs = 60000);
  void stop();
  QString base() const { return m_base; }
  QString error() const { return m_error; }

private:
  QProcess m_process;
  QString m_base;
  QString m_error;
};
