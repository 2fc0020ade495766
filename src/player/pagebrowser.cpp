#include "player/pagebrowser.h"

#include "base/globals.h"
#include "base/pathcase.h"
#include "net/netroutines.h"

#include <QDir>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>
#include <utility>

namespace {
QHash<QWebEngineView *, std::function<void()>> &PageMakers()
{
  static QHash<QWebEngineView *, std::function<void()>> makers;
  return makers;
}
}  // namespace

void SetPageMaker(QWebEngineView *browser, std::function<void()> prepare)
{
  if (!browser)
    return;
  if (!PageMakers().contains(browser))
    QObject::connect(browser, &QObject::destroyed, [browser] { PageMakers().remove(browser); });
  PageMakers().insert(browser, std::move(prepare));
}

void PrepareBrowser(QWebEngineView *browser)
{
  const auto it = PageMakers().find(browser);
  if (it == PageMakers().end())
    return;
  const std::function<void()> prepare = std::move(it.value());
  PageMakers().erase(it);
  if (prepare)
    prepare();
}

namespace {
struct HeldLoad {
  QPointer<QWebEngineView> browser;
  std::function<void()> open;
};
bool g_loadsHeld = false;
QList<HeldLoad> &HeldLoads()
{
  static QList<HeldLoad> loads;
  return loads;
}
// True when the request was kept for later.
bool KeepWhileHeld(QWebEngineView *browser, std::function<void()> open)
{
  if (!g_loadsHeld)
    return false;
  QList<HeldLoad> &loads = HeldLoads();
  loads.removeIf([browser](const HeldLoad &l) { return !l.browser || l.browser == browser; });
  loads.append({browser, std::move(open)});
  return true;
}
}  // namespace

void HoldPageLoads() { g_loadsHeld = true; }

void ReleasePageLoads(bool open)
{
  g_loadsHeld = false;
  const QList<HeldLoad> loads = std::exchange(HeldLoads(), {});
  for (const HeldLoad &l : loads) {
    if (open && l.browser)
      l.open();
  }
}

void OpenPage(QWebEngineView *browser, const QString &address)
{
  if (!browser || address.isEmpty())
    return;
  if (KeepWhileHeld(browser, [browser, address] { OpenPage(browser, address); }))
    return;
  PrepareBrowser(browser);
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
  if (KeepWhileHeld(browser, [browser, address, fallback] {
        OpenPageChecked(browser, address, fallback);
      }))
    return;
  PrepareBrowser(browser);
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
  if (!browser)
    return;
  PrepareBrowser(browser);
  browser->page()->runJavaScript(QStringLiteral(
      "if (document.body) { document.body.setAttribute('scroll', 'auto');"
      " document.body.style.overflow = 'auto'; document.body.style.border = 'none'; }"));
}

QString OfflinePagePath()
{
  return ResolveCase(AppDir + QStringLiteral("Resource/Html/offline/OffLine.htm"));
}
