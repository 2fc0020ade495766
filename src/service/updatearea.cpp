#include "service/updatearea.h"

#include "base/globals.h"
#include "base/routines.h"
#include "net/enginelibrary.h"
#include "service/core/userservice.h"
#include "service/services.h"
#include "widgets/dialogs.h"
#include "widgets/mainwindowport.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <memory>

TUpdateCheck::TUpdateCheck(IEngine *engine, UserServices *services, QLineEdit *channel,
                           QTimer *quitTimer, IMainWindow *window, QObject *parent)
    : QObject(parent), m_services(services), m_channel(channel), m_quitTimer(quitTimer),
      m_window(window), m_calls(new BackgroundCalls(this))
{
  QWidget *owner = window ? window->mainWidget() : nullptr;
  seams.showInfo = [owner](const QString &text) { ShowInfoBox(text, owner); };
  seams.askYesNo = [owner](const QString &text) { return AskYesNo(text, owner); };
  seams.startQuitTimer = [this] {
    if (m_quitTimer)
      m_quitTimer->start();
  };
  seams.requestWebService = [this] {
    if (m_channel)
      m_channel->setText(QStringLiteral("wsClientLogin"));
  };
  // The catalog is downloaded on a worker while the window goes on; it is
  // checked and put in place here, on the window's thread.
  seams.fetchCatalog = [this](const QString &address, const QString &destination,
                              std::int32_t version) {
    // The answer lands in state shared with the worker's reply, so a loop
    // ended early (the program quitting) leaves nothing dangling.
    struct Reply {
      bool arrived = false;
      bool fetched = false;
      QByteArray body;
      QPointer<QEventLoop> loop;
    };
    auto reply = std::make_shared<Reply>();
    QEventLoop loop;
    reply->loop = &loop;
    m_calls->run<std::pair<bool, QByteArray>>(
        [address] {
          QByteArray b;
          const bool ok = FetchCatalogBody(address, &b);
          return std::make_pair(ok, b);
        },
        [reply](std::pair<bool, QByteArray> got) {
          reply->arrived = true;
          reply->fetched = got.first;
          reply->body = got.second;
          if (reply->loop)
            reply->loop->quit();
        });
    if (!reply->arrived)
      loop.exec();
    reply->loop = nullptr;
    const bool fetched = reply->arrived && reply->fetched;
    const QByteArray body = reply->body;
    return fetched && InstallFetchedCatalog(body, destination, version);
  };
  if (engine)
    connect(engine, &IEngine::versionInfo, this, &TUpdateCheck::HandleVersionInfo);
}

void TUpdateCheck::HandleVersionInfo(int action, int catalogVersion, int serviceNumber,
                                     int updaterVersion)
{
  ::HandleVersionInfo(action, catalogVersion, serviceNumber, updaterVersion, seams);
}

void TUpdateCheck::RequestVersionInfo(int serviceNumber)
{
  UserServices *services = m_services;
  if (!services || !services->shared)
    return;
  const QString version = FormatPackedVersion(ClientVersion);
  m_calls->run<std::pair<bool, TChnlVersioninfo>>(
      [services, version, serviceNumber] {
        try {
          const std::lock_guard<std::mutex> lock(services->sharedLock);
          if (!services->shared)
            return std::make_pair(false, TChnlVersioninfo{});
          return std::make_pair(true, services->shared->clientByVersion(version, serviceNumber));
        } catch (...) {
          return std::make_pair(false, TChnlVersioninfo{});
        }
      },
      [this, serviceNumber](std::pair<bool, TChnlVersioninfo> got) {
        const TChnlVersioninfo &answer = got.second;
        const QString updater = answer.upVersionID.trimmed();
        if (!got.first || answer.curResult != 1 || !IsIntegerText(updater))
          return;
        // The answer asks the service no further, even when it carries 1460.
        UpdateSeams once = seams;
        once.requestWebService = nullptr;
        ::HandleVersionInfo(answer.versionFlag, answer.lastVersionID, serviceNumber,
                            updater.toInt(), once);
      });
}
