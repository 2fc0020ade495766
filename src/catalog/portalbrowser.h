#pragma once
// The portal browser: the page of wbMain (page 0 of the centre, "页面") and
// the two buttons above it that switch between the page view and the play
// view.  Every navigation of wbMain -- main frame, frames, script
// navigations, new windows -- is inspected before it starts
// (wbMainBeforeNavigate2): a link command is carried out and its navigation
// cancelled, so a command address never reaches the server.  A page that
// asks for a new window gets the same inspection; an ordinary address asked
// for in a new window opens in the desktop's web browser.
#include "catalog/core/linkcommand.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <functional>

class QStackedWidget;
class QWebEngineView;
class QWidget;
class IDownloads;
class IMainWindow;
class SkinButton;
class TPlayback;
class tLxsimage;

class TPortalBrowser;

// wbMain's page: hands every navigation to the browser before it starts.
class TPortalPage : public QWebEnginePage {
  Q_OBJECT
public:
  TPortalPage(TPortalBrowser *browser, QObject *parent);

protected:
  bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage *createWindow(WebWindowType type) override;

private:
  TPortalBrowser *m_browser;
};

class TPortalBrowser : public QObject {
  Q_OBJECT
public:
  // `wbMain` is the view on page 0 of `pageControl` (PageControl1).
  // limgBack and limgForward go at the front of `buttonBar`'s box layout (the
  // bar above the page control); with no bar they get a strip of their own
  // above wbMain.  `downloads` may be null until the download area exists (a
  // download command then reports that it could not be queued).
  TPortalBrowser(IMainWindow *window, QWebEngineView *wbMain, QStackedWidget *pageControl,
                 QWidget *buttonBar, TPlayback *playback, IDownloads *downloads, QObject *parent);

  // Set by the program's start-up before the browser is made: the page (and
  // with the first page the web engine, which takes a good part of a second
  // to start) is then made at the browser's first use, not at once.  Its
  // first use is whichever comes first: the view shown, a page opened in it
  // (pagebrowser.h), EnsurePage.
  static inline bool PageOnFirstUse = false;
  void EnsurePage();
  // The view kept hidden (an empty panel shows in its place), so that the
  // window can be shown and painted before the web engine starts; and shown
  // again, with its page.
  void HoldView();
  void ReleaseView();

  QWebEngineView *wbMain = nullptr;
  TPortalPage *page = nullptr;
  QWidget *pnlPageButtons = nullptr;  // the bar that holds the two buttons
  tLxsimage *limgBack = nullptr;      // "返回列表窗口"
  tLxsimage *limgForward = nullptr;   // "进入游戏窗口"
  SkinButton *backSkin = nullptr, *forwardSkin = nullptr;

  void setDownloads(IDownloads *downloads) { m_downloads = downloads; }

  // The address about to be opened (as the browser reports it).  True when
  // the navigation is to be cancelled: the address holds a command, which is
  // carried out right after (PerformCommand, through the event queue).
  bool wbMainBeforeNavigate2(const QUrl &url);
  // Opens the portal's start page (StartPageUrl), when there is one.
  void OpenStartPage();
  // The text a command is read from: the reported address with the escapes
  // of non-ASCII bytes decoded.
  static QString NavigationAddress(const QUrl &url);
  // Carries out a command (the navigation was cancelled already).
  void PerformCommand(LinkKind kind, const QString &address);
  // A new window's first address: a command is carried out, any other
  // address opens in the desktop's web browser.
  void wbMainNewWindow2(const QUrl &url);

  // Page 0 (the page view) shown: Back0 / Forward1.  Page 1: Back1 / Forward0.
  void TabSheet1Show();
  void TabSheet2Show();
  void limgBackMouseDown();
  void limgForwardMouseDown();

  // Opens an address outside the client (the desktop's web browser, or the
  // file manager for a folder).  Tests replace it to record the calls.
  std::function<void(const QUrl &)> openExternal;

Q_SIGNALS:
  // A navigation was inspected: the address text and whether it was a
  // command (cancelled).
  void navigationInspected(const QString &address, bool cancelled);
  // A command was carried out (whatever its outcome).
  void commandPerformed(const QString &address);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void runListCommand(LinkKind kind, const QString &address);
  void runDownloadCommand(const QString &address);
  void playNode(int position);

  IMainWindow *m_window;
  QStackedWidget *m_pages;
  TPlayback *m_playback;
  IDownloads *m_downloads;
  bool m_held = false;
};
