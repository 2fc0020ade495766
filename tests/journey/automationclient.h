#pragma once
// The test's end of the client's automation socket: one JSON request per
// line, one answer per line (see src/shell/automation.h for the requests).
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QString>
#include <QThread>

class AutomationClient {
public:
  // Connects to the socket at `path`, retrying until the client listens.
  bool Connect(const QString &path, int timeoutMs)
  {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
      m_socket.connectToServer(path);
      if (m_socket.waitForConnected(1000))
        return true;
      m_socket.abort();
      QThread::msleep(200);
    }
    return false;
  }

  bool connected() const { return m_socket.state() == QLocalSocket::ConnectedState; }

  // Sends a request and waits for its answer; an answer with "ok" false (and
  // an "error") when the client does not answer in time or has gone.
  QJsonObject Ask(const QJsonObject &request, int timeoutMs = 30000)
  {
    if (!connected())
      return Failed(QStringLiteral("the client is not connected"));
    m_socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    m_socket.flush();
    QElapsedTimer t;
    t.start();
    while (!m_socket.canReadLine()) {
      if (t.elapsed() > timeoutMs || !connected())
        return Failed(QStringLiteral("no answer to ") +
                      QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)));
      m_socket.waitForReadyRead(200);
    }
    return QJsonDocument::fromJson(m_socket.readLine()).object();
  }

  // Shorthands for widget requests.
  QJsonObject Find(const QString &name, const QString &window = QString())
  {
    return Ask(Target(QStringLiteral("find"), name, window));
  }
  QJsonObject Click(const QString &name, const QString &window = QString())
  {
    return Ask(Target(QStringLiteral("click"), name, window));
  }
  QJsonObject Js(const QString &view, const QString &script)
  {
    QJsonObject r = Target(QStringLiteral("js"), view, QString());
    r.insert(QStringLiteral("script"), script);
    return Ask(r);
  }
  QJsonArray Rows(const QString &name, const QString &window)
  {
    return Ask(Target(QStringLiteral("items"), name, window))
        .value(QStringLiteral("rows"))
        .toArray();
  }

  static QJsonObject Target(const QString &op, const QString &name, const QString &window)
  {
    QJsonObject r{{QStringLiteral("op"), op}, {QStringLiteral("name"), name}};
    if (!window.isEmpty())
      r.insert(QStringLiteral("window"), window);
    return r;
  }

private:
  static QJsonObject Failed(const QString &why)
  {
    return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), why}};
  }
  QLocalSocket m_socket;
};
