#pragma once
// Helpers of the main-window tests: a fresh program folder with the
// configuration loaded, a main window with a recording engine, and a
// recorder of the life cycle's steps.
#include "base/config.h"
#include "testdesktop.h"
#include "base/globals.h"
#include "base/ini.h"
#include "net/enginelibrary.h"
#include "shell/frame.h"
#include "shell/lifecycle.h"
#include "shell/mainwindow.h"
#include "shell/tray.h"
#include "widgets/wintemplate.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

// Records the engine calls the window makes.
class RecordingEngine : public IEngine {
public:
  explicit RecordingEngine(QStringList *log) : m_log(log) {}
  bool Initkestrova(std::int32_t clientVersion) override
  {
    m_log->append(QStringLiteral("Initkestrova %1").arg(clientVersion));
    return true;
  }
  void UnInitkestrova() override { m_log->append(QStringLiteral("UnInitkestrova")); }
  bool NewDownload(std::int32_t, const QString &, const QString &) override { return false; }
  bool StopDownload(std::int32_t) override { return false; }
  bool GetProgInfo(std::int32_t, std::int32_t *, std::int32_t *, std::int32_t *) override
  {
    return false;
  }
  bool SetProgramInfo(const QString &, std::int32_t, std::int32_t, std::int32_t, char *) override
  {
    return false;
  }
  bool SetPcRun(std::int32_t run) override
  {
    m_log->append(QStringLiteral("SetPcRun %1").arg(run));
    return true;
  }
  // Called on the sign-in worker thread.
  bool ClientLoginIn(std::int32_t clientVersion, const QString &siteUrl) override
  {
    QMetaObject::invokeMethod(
        this,
        [this, clientVersion, siteUrl] {
          m_log->append(QStringLiteral("ClientLoginIn %1 %2").arg(clientVersion).arg(siteUrl));
        },
        Qt::QueuedConnection);
    return true;
  }

private:
  QStringList *m_log;
};

// A loopback web server that answers every GET with a small page and keeps
// the requested paths.
class PageServer : public QTcpServer {
public:
  PageServer()
  {
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket *s = nextPendingConnection()) {
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QTcpSocket::readyRead, s, [this, s] {
          m_buffer[s] += s->readAll();
          if (!m_buffer[s].contains("\r\n\r\n"))
            return;
          const QList<QByteArray> words = m_buffer[s].split(' ');
          paths.append(QString::fromLatin1(words.value(1)));
          m_buffer.remove(s);
          s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 27\r\n"
                   "Connection: close\r\n\r\n<html><body>ok</body></html>");
          s->disconnectFromHost();
        });
      }
    });
  }
  QString url(const QString &path) const
  {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
  }
  QStringList paths;

private:
  QHash<QTcpSocket *, QByteArray> m_buffer;
};

// A program folder of its own (ending in '/'), globals reset, paths
// prepared; the configuration is read by LoadConfig() so a test can shape
// local.ini first.
class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp_.isValid());
    ResetGlobals();
    dir_ = tmp_.path() + QLatin1Char('/');
    PreparePaths(dir_);
    // The desktop has a tray unless a test says otherwise; boxes are the
    // real skinned ones, handed to the dialog handler like every dialog.
    desktop_ = std::make_unique<RecordingDesktop>();
    desktop_->recordBoxes = false;
    desktop_->trayAvailable = true;
  }
  void TearDown() override
  {
    TfrmWinTemplate::SetMainWindow(nullptr);
    window_.reset();
    desktop_.reset();
    ResetGlobals();
    steps_.clear();
    engineCalls_.clear();
    endings_ = 0;
  }

  void LoadConfig() { LoadConfiguration(); }

  // The window with a recording engine; its steps go to steps_.
  TfrmMain &Window()
  {
    if (!window_) {
      window_ = std::make_unique<TfrmMain>(std::make_unique<RecordingEngine>(&engineCalls_));
      QObject::connect(window_->life, &StartupSequence::stepRan,
                       [this](const QString &s) { steps_.append(s); });
      QObject::connect(window_->frame, &MainFrame::programEnding, [this] { ++endings_; });
      TfrmWinTemplate::SetMainWindow(window_.get());
    }
    return *window_;
  }

  QString Ini(const QString &key) const
  {
    return ReadIniValue(LocalIniFile, QStringLiteral("Info"), key, QStringLiteral("<missing>"));
  }

  QTemporaryDir tmp_;
  QString dir_;
  std::unique_ptr<RecordingDesktop> desktop_;
  std::unique_ptr<TfrmMain> window_;
  QStringList steps_;
  QStringList engineCalls_;
  int endings_ = 0;
};
