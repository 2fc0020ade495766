#pragma once
// Small operations on the program's page browsers.
#include <QString>

class QWebEngineView;

// Opens the address in the browser.  A local file path (absolute) is opened
// as a file address.  Failures are ignored.
void OpenPage(QWebEngineView *browser, const QString &address);

// Opens the address, and the fallback address instead when the address cannot
// be reached or answers with an error status.  Nothing waits for the answer
// (a silent server can take minutes); a newer request of the same browser
// makes an older one's outcome void.  Failures are ignored.
void OpenPageChecked(QWebEngineView *browser, const QString &address, const QString &fallback);

// Forgets the checked request still under way for the browser (its answer
// opens nothing).
void CancelPageCheck(QWebEngineView *browser);

// Once a page has loaded: the body scrolls automatically and has no border.
// Does nothing when no page is loaded.
void SetBrowserBodyStyle(QWebEngineView *browser);

// AppDir + "Resource/Html/offline/OffLine.htm" (found whatever the case of
// its folders), the page shown when a portal page does not answer.
QString OfflinePagePath();
