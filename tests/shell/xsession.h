#pragma once
// Whole-program runs of the built client on a private X server: a program
// folder laid out like an installation (the client, a recording engine
// library, the Flash runtime, the configuration), the client started as a
// real process, and the X server asked which windows it shows.
#include "waitfor.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include <csignal>
#include <unistd.h>

// An Xvfb server of its own (1280 x 800), ended with the object.
class XServer {
public:
  XServer()
  {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
      return;
    for (int n = 0; n < 40 && !m_proc; ++n) {
      const int display = 100 + (static_cast<int>(getpid()) + n * 7) % 800;
      if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
        continue;
      auto proc = std::make_unique<QProcess>();
      proc->setProcessChannelMode(QProcess::MergedChannels);
      proc->start(QStringLiteral("Xvfb"),
                  {QStringLiteral(":%1").arg(display), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp"), QStringLiteral("-noreset")});
      if (!proc->waitForStarted(5000))
        continue;
      const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
      QElapsedTimer t;
      t.start();
      while (t.elapsed() < 10000 && proc->state() == QProcess::Running &&
             !QFileInfo::exists(socket))
        QThread::msleep(50);
      if (proc->state() == QProcess::Running && QFileInfo::exists(socket)) {
        m_display = QStringLiteral(":%1").arg(display);
        m_proc = std::move(proc);
      } else {
        proc->kill();
        proc->waitForFinished(2000);
      }
    }
  }
  ~XServer()
  {
    if (m_proc) {
      m_proc->terminate();
      if (!m_proc->waitForFinished(5000))
        m_proc->kill();
      m_proc->waitForFinished(2000);
    }
  }
  bool ok() const { return m_proc != nullptr; }
  QString display() const { return m_display; }

  // Ids of the visible top-level windows whose title matches `regex`.
  QStringList VisibleWindows(const QString &regex) const
  {
    return Xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                regex})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  // Ids of the visible windows of a window class (the client's is "kestrova").
  QStringList VisibleWindowsOfClass(const QString &cls) const
  {
    return Xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                QStringLiteral("--class"), cls})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  // Runs xdotool on this display; gives what it printed.
  QString Xdo(const QStringList &args) const
  {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
  }
  // Starts a tray host (trayer) along the bottom right; it ends with the
  // returned process.
  std::unique_ptr<QProcess> StartTray() const
  {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p->setProcessEnvironment(env);
    p->start(QStringLiteral("trayer"),
             {QStringLiteral("--edge"), QStringLiteral("bottom"), QStringLiteral("--align"),
              QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
              QStringLiteral("--height"), QStringLiteral("28"), QStringLiteral("--SetDockType"),
              QStringLiteral("true")});
    p->waitForStarted(5000);
    return p;
  }

private:
  std::unique_ptr<QProcess> m_proc;
  QString m_display;
};

// A program folder with the built client in it.
class Installation {
public:
  Installation()
  {
    m_dir = m_tmp.path() + QLatin1Char('/');
    QDir().mkpath(m_dir + QStringLiteral("Config"));
    QDir().mkpath(m_dir + QStringLiteral("run"));
    QFile::setPermissions(m_dir + QStringLiteral("run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(m_dir + QStringLiteral("home"));
    QFile::copy(QStringLiteral(KESTROVA_EXE), m_dir + QStringLiteral("kestrova"));
    QFile::copy(QStringLiteral(FAKE_ENGINE), m_dir + QStringLiteral("libkestrova.so"));
    WriteText(QStringLiteral("Config/pvlt_Source.ini"),
              QStringLiteral("[sys]\r\nvar_type=0\r\nExeUpdate=1\r\nXmlUpdate=1\r\n"));
  }

  QString dir() const { return m_dir; }
  QString path(const QString &relative) const { return m_dir + relative; }
  // The per-user folder of the lock and sockets (short, as a socket path needs).
  QString runtimeDir() const { return m_dir + QStringLiteral("run"); }
  QString engineLog() const { return m_dir + QStringLiteral("engine.log"); }

  void WriteText(const QString &relative, const QString &text) const
  {
    QFile f(m_dir + relative);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
      f.write(text.toUtf8());
  }
  QString ReadText(const QString &relative) const
  {
    QFile f(m_dir + relative);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
  QStringList EngineCalls() const
  {
    return ReadText(QStringLiteral("engine.log")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  // The Flash runtime from the project's pinned package.
  bool AddFlashRuntime() const
  {
    const QString from = qEnvironmentVariable("KESTROVA_SOURCE_DIR") +
                         QStringLiteral("/node_modules/@ruffle-rs/ruffle/");
    QDir().mkpath(m_dir + QStringLiteral("ruffle"));
    bool any = false;
    const QStringList files =
        QDir(from).entryList({QStringLiteral("*.js"), QStringLiteral("*.wasm")}, QDir::Files);
    for (const QString &f : files)
      any = QFile::copy(from + f, m_dir + QStringLiteral("ruffle/") + f) || any;
    return any;
  }

  // Points the client at a start page.
  void SetPortal(const QString &root) const
  {
    WriteText(
        QStringLiteral("Config/platform.ini"),
        QStringLiteral("[Info]\r\n1=%1\r\n2=%1/hl/\r\n3=%1/dl/\r\n4=%1/index.htm\r\n").arg(root));
  }

  // Starts the client with `args` on `display`.
  std::unique_ptr<QProcess> Start(const QString &display, const QStringList &args = {},
                                  const QProcessEnvironment &extra = {}) const
  {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    env.insert(QStringLiteral("HOME"), m_dir + QStringLiteral("home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir + QStringLiteral("home/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir + QStringLiteral("home/data"));
    env.insert(QStringLiteral("KESTROVA_FAKE_ENGINE_LOG"), engineLog());
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    for (const QString &name : extra.keys())
      env.insert(name, extra.value(name));
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(m_dir + QStringLiteral("kestrova"), args);
    p->waitForStarted(10000);
    return p;
  }

private:
  QTemporaryDir m_tmp{QDir::tempPath() + QStringLiteral("/kui-XXXXXX")};
  QString m_dir;
};

// Ends a client that is still running (for example one waiting in a modal
// box), without the session-end path.
inline void Kill(QProcess *p)
{
  if (p && p->state() != QProcess::NotRunning) {
    p->kill();
    p->waitForFinished(10000);
  }
}

// Sends a signal and waits for the process to end.
inline bool SignalAndWait(QProcess *p, int sig, int timeoutMs)
{
  ::kill(static_cast<pid_t>(p->processId()), sig);
  return p->waitForFinished(timeoutMs);
}
