#pragma once
// Small operations on the program's page browsers.
#include <QString>

#include <functional>

class QWebEngineView;

// A browser whose page is made only when it is first needed: `prepare`
// (which gives the view its page) runs once, at the first of the operations
// below on it, or when the owner calls PrepareBrowser.  A view asked for its
// address or shown without a page would make a default page of its own.
void SetPageMaker(QWebEngineView *browser, std::function<void()> prepare);
void PrepareBrowser(QWebEngineView *browser);

// While held, pages asked for with OpenPage or OpenPageChecked are not
// opened yet (the first page starts the web engine, which takes the user-
// interface thread for a good part of a second): the newest request of each
// browser opens when the hold is released, in the order asked (or none, for
// a program that ends before).
void HoldPageLoads();
void ReleasePageLoads(bool open = true);

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
