#include "player/pagebrowser.h"

#include "base/globals.h"
#include "base/pathcase.h"
#include "net/netroutines.h"

#include <QDir>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

void OpenPage(QWebEngineView *browser, const QString &address)
{
  if (!browser || address.isEmpty())
    return;
  if (QDir::isAbsolutePath(address) && !address.contains(QStringLiteral("://")))
    browser->load(QUrl::fromLocalFile(address));
  else
    browser->load(QUrl::fromUserInput(address));
}

void OpenPageChecked(QWebEngineView *browser, const QString &address, const QString &fallback)
{
  if (!browser)
    return;
  if (!address.isEmpty() && (UrlAnswers(address) || UrlAnswers(address)))
    OpenPage(browser, address);
  else
    OpenPage(browser, fallback);
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
