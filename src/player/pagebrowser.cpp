#include "player/pagebrowser.h"

#include "base/globals.h"
#include "base/pathcase.h"
#include "net/netroutines.h"

#include <QDir>
#include <QPointer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>

void OpenPage(QWebEngineView *browser, const QString &address)
{
  if (!browser || address.isEmpty())
    return;
  if (QDir::isAbsolutePath(address) && !address.contains(QStringLiteral("://")))
    browser->load(QUrl::fromLocalFile(address));
  else
    browser->load(QUrl::fromUserInput(address));
}

namespace {
// The newest checked request of a browser (a property of the view).
constexpr char kCheckSerial[] = "kestrovaPageCheck";
}  // namespace

void OpenPageChecked(QWebEngineView *browser, const QString &address, const QString &fallback)
{
  if (!browser)
    return;
  const qulonglong serial = browser->property(kCheckSerial).toULongLong() + 1;
  browser->setProperty(kCheckSerial, serial);
  if (address.isEmpty()) {
    OpenPage(browser, fallback);
    return;
  }
  // The browser itself asks: the address opens at once, and when it cannot
  // be reached or answers with an error status the fallback opens instead.
  // Nothing waits on the user-interface thread, and a newer request of the
  // same browser makes this one's outcome void.
  auto connection = std::make_shared<QMetaObject::Connection>();
  QPointer<QWebEngineView> target(browser);
  *connection =
      QObject::connect(browser->page(), &QWebEnginePage::loadingChanged, browser,
                       [target, serial, fallback, connection](const QWebEngineLoadingInfo &info) {
                         if (!target || target->property(kCheckSerial).toULongLong() != serial) {
                           QObject::disconnect(*connection);
                           return;
                         }
                         if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                           return;
                         QObject::disconnect(*connection);
                         const bool httpError =
                             info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain &&
                             info.errorCode() >= 400;
                         if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus || httpError)
                           OpenPage(target, fallback);
                       });
  OpenPage(browser, address);
}

void CancelPageCheck(QWebEngineView *browser)
{
  if (browser)
    browser->setProperty(kCheckSerial, browser->property(kCheckSerial).toULongLong() + 1);
}

void SetBrowserBodyStyle(QWebEngineView *browser)
{
  if (!browser || !browser->page())
    return;
  browser->page()->runJavaScript(QStringLiteral(
      "if (document.body) { document.body.setAttribute('scroll', 'auto');"
      " document.body.style.overflow = 'auto'; document.body.style.border = 'none'; }"));
}

QString OfflinePagePath()
{
  return ResolveCase(AppDir + QStringLiteral("Resource/Html/offline/OffLine.htm"));
}
