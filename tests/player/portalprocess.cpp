#include "portalprocess.h"

#include <QDeadlineTimer>

PortalProcess::~PortalProcess() { stop(); }

bool PortalProcess::start(const QString &exe, const QString &dataDir, const QString &platformIni,
                          int timeoutMs)
{
  m_process.setProgram(exe);
  m_process.setArguments({"--port", "0", "--data", dataDir, "--platform-ini", platformIni});
  m_process.setProcessChannelMode(QProcess::SeparateChannels);
  m_process.start();
  if (!m_process.waitForStarted(10000)) {
    m_error = "cannot start " + exe + ": " + m_process.errorString();
    return false;
  }
  QDeadlineTimer deadline(timeoutMs);
  QByteArray out;
  while (!out.contains('\n')) {
    if (deadline.hasExpired() || m_process.state() != QProcess::Running) {
      m_error =
          "no address from the portal: " + QString::fromLocal8Bit(m_process.readAllStandardError());
      return false;
    }
    m_process.waitForReadyRead(200);
    out += m_process.readAllStandardOutput();
  }
  m_base = QString::fromUtf8(out.left(out.indexOf('\n'))).trimmed();
  return m_base.startsWith("http://127.0.0.1:");
}

void PortalProcess::stop()
{
  if (m_process.state() == QProcess::NotRunning)
    return;
  m_process.terminate();
  if (!m_process.waitForFinished(10000)) {
    m_process.kill();
    m_process.waitForFinished(5000);
  }
}
