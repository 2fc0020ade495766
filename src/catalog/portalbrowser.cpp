#include "catalog/portalbrowser.h"

#include "widgets/desktop.h"

#include "base/globals.h"
#include "base/pathcase.h"
#include "download/downloads.h"
#include "lists/playback.h"
#include "lists/playlist.h"
#include "player/listnodes.h"
#include "player/pagebrowser.h"
#include "player/playerhost.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <stdexcept>

namespace {

// The page a new window would show.  It never shows: its first real address
// goes to the portal browser and the page goes away.
class TNewWindowPage : public QWebEnginePage {
public:
  TNewWindowPage(TPortalBrowser *browser, QWebEngineProfile *profile)
      : QWebEnginePage(profile, browser), m_browser(browser)
  {
    // A window opened without an address (or kept empty by its page) goes
    // too.
    QTimer::singleShot(10000, this, &QObject::deleteLater);
  }

protected:
  bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
  {
    if (url.isEmpty() || url.toString() == u"about:blank")
      return true;
    if (isMainFrame && !m_done) {
      m_done = true;
      // Carried out once the browser has left this call.
      QMetaObject::invokeMethod(
          m_browser,
          [b = QPointer<TPortalBrowser>(m_browser), url] {
            if (b)
              b->wbMainNewWindow2(url);
          },
          Qt::QueuedConnection);
      deleteLater();
    }
    return false;
  }

private:
  TPortalBrowser *m_browser;
  bool m_done = false;
};

// The play list tree as a list command sees it.
class TreeList : public ILinkPlayList {
public:
  explicit TreeList(QTreeWidget *tree) : m_tree(tree) {}
  QString Find(const QString &id) const override { return TPlayList::FindInPlayList(id, m_tree); }
  bool Append(const TKsvPlayPtr &record) override
  {
    return TPlayList::AddToPlayList(record, m_tree, 1, false) != nullptr;
  }
  int Count() const override { return m_tree->topLevelItemCount(); }

private:
  QTreeWidget *m_tree;
};

}  // namespace

TPortalPage::TPortalPage(TPortalBrowser *browser, QObject *parent)
    : QWebEnginePage(parent), m_browser(browser)
{
}

bool TPortalPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
  if (m_browser->wbMainBeforeNavigate2(url))
    return false;
  return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QWebEnginePage *TPortalPage::createWindow(WebWindowType)
{
  return new TNewWindowPage(m_browser, profile());
}

TPortalBrowser::TPortalBrowser(IMainWindow *window, QWebEngineView *view,
                               QStackedWidget *pageControl, QWidget *buttonBar, TPlayback *playback,
                               IDownloads *downloads, QObject *parent)
    : QObject(parent), wbMain(view), m_window(window), m_pages(pageControl), m_playback(playback),
      m_downloads(downloads)
{
  openExternal = [](const QUrl &url) { Desktop().OpenUrl(url); };

  if (PageOnFirstUse) {
    SetPageMaker(wbMain, [this] { EnsurePage(); });
    // Seen before the view itself sees its showing (which would make a
    // default page, without the navigation filter).
    wbMain->installEventFilter(this);
  } else {
    EnsurePage();
  }

  // The two page/play buttons go at the front of the bar above the page
  // control (both pages); without one they get a strip of their own above
  // the page view.
  auto *bar = buttonBar ? qobject_cast<QBoxLayout *>(buttonBar->layout()) : nullptr;
  if (bar) {
    pnlPageButtons = buttonBar;
  } else {
    QWidget *holder = wbMain->parentWidget();
    pnlPageButtons = new QWidget(holder);
    pnlPageButtons->setObjectName(QStringLiteral("pnlPageButtons"));
    pnlPageButtons->setFixedHeight(32);
    auto *row = new QHBoxLayout(pnlPageButtons);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(4);
    row->addStretch(1);
    bar = row;
    if (auto *column = holder ? qobject_cast<QBoxLayout *>(holder->layout()) : nullptr)
      column->insertWidget(0, pnlPageButtons);
  }
  limgBack = new tLxsimage(pnlPageButtons);
  limgBack->setObjectName(QStringLiteral("limgBack"));
  limgBack->setToolTip(QStringLiteral("返回列表窗口"));
  limgBack->setFixedSize(64, 28);
  limgForward = new tLxsimage(pnlPageButtons);
  limgForward->setObjectName(QStringLiteral("limgForward"));
  limgForward->setToolTip(QStringLiteral("进入游戏窗口"));
  limgForward->setFixedSize(64, 28);
  bar->insertWidget(0, limgBack);
  bar->insertWidget(1, limgForward);
  backSkin = new SkinButton(limgBack, QStringLiteral("Back"), SkinButton::HasUnavailable, 0);
  forwardSkin =
      new SkinButton(limgForward, QStringLiteral("Forward"), SkinButton::HasUnavailable, 1);
  connect(backSkin, &SkinButton::pressed, this, [this] { limgBackMouseDown(); });
  connect(forwardSkin, &SkinButton::pressed, this, [this] { limgForwardMouseDown(); });

  if (m_pages) {
    connect(m_pages, &QStackedWidget::currentChanged, this, [this](int index) {
      if (index == 0)
        TabSheet1Show();
      else if (index == 1)
        TabSheet2Show();
    });
  }
  if (m_pages && m_pages->currentIndex() == 1)
    TabSheet2Show();
  else
    TabSheet1Show();
}

QString TPortalBrowser::NavigationAddress(const QUrl &url)
{
  return DecodeNonAsciiEscapes(url.toString(QUrl::FullyEncoded));
}

bool TPortalBrowser::wbMainBeforeNavigate2(const QUrl &url)
{
  const QString address = NavigationAddress(url);
  const LinkKind kind = ClassifyLink(address);
  const bool cancel = kind != LinkKind::Ordinary;
  Q_EMIT navigationInspected(address, cancel);
  // The command is carried out once the browser has left its navigation
  // call: its boxes and the player must not run inside the browser's event.
  if (cancel) {
    QMetaObject::invokeMethod(
        this, [this, kind, address] { PerformCommand(kind, address); }, Qt::QueuedConnection);
  }
  return cancel;
}

void TPortalBrowser::PerformCommand(LinkKind kind, const QString &address)
{
  try {
    switch (kind) {
    case LinkKind::Ordinary:
      break;
    case LinkKind::EmptySelection:
      ShowInfoBox(LinkMessages::EmptySelection, m_window->mainWidget());
      break;
    case LinkKind::FullList:
    case LinkKind::ChannelList:
      runListCommand(kind, address);
      break;
    case LinkKind::Download:
      runDownloadCommand(address);
      break;
    }
  } catch (...) {
    // Swallowed: the navigation is cancelled whatever happened.
  }
  Q_EMIT commandPerformed(address);
}

void TPortalBrowser::wbMainNewWindow2(const QUrl &url)
{
  if (!wbMainBeforeNavigate2(url) && openExternal)
    openExternal(url);
}

void TPortalBrowser::runListCommand(LinkKind kind, const QString &address)
{
  try {
    QTreeWidget *tree = m_playback->list->tvPlayList;
    const auto records = ParseListCommand(kind, address, CurrentChannelId, CurrentChannelType);
    TreeList list(tree);
    const ListCommandOutcome out = RunListCommand(kind, records, ListPlayMode, list);
    if (out.appended > 0 && m_playback->list->syncScrollBar)
      m_playback->list->syncScrollBar();
    if (out.showPlayPage)
      m_window->ShowCentrePage(1);
    if (out.playPosition >= 0)
      playNode(out.playPosition);
    if (!out.message.isEmpty())
      ShowInfoBox(out.message, m_window->mainWidget());
  } catch (...) {
    // A failing list command changes nothing more; its navigation is
    // cancelled all the same.
  }
}

void TPortalBrowser::playNode(int position)
{
  QTreeWidget *tree = m_playback->list->tvPlayList;
  QTreeWidgetItem *node = tree->topLevelItem(position);
  if (!node)
    return;
  SelectNode(tree, node);
  m_playback->list->tvPlayListClick();
}

void TPortalBrowser::runDownloadCommand(const QString &address)
{
  QWidget *owner = m_window->mainWidget();
  const TKsvPlayPtr record = ParseDownloadCommand(address);
  if (!record) {
    ShowInfoBox(LinkMessages::NoDownloadAddress, owner);
    return;
  }
  // The file as the download manager saves it (blanks for "%20").
  const QString target = ResolveCase(DownloadDir + DownloadFileName(*record));
  if (QFileInfo(target).isFile()) {
    if (AskYesNo(LinkMessages::FileExists, owner) && openExternal)
      openExternal(QUrl::fromLocalFile(DownloadDir));
    return;
  }
  try {
    if (!m_downloads)
      throw std::runtime_error("no download area");
    m_downloads->AddDownloadRow(DownloadFileName(*record), record->id, record->address);
  } catch (...) {
    try {
      ShowInfoBox(LinkMessages::QueueFailed, owner);
    } catch (...) {
      ShowInfoBox(LinkMessages::ServiceDown, owner);
    }
  }
}

void TPortalBrowser::TabSheet1Show()
{
  backSkin->setAvailable(false);
  forwardSkin->setAvailable(true);
}

void TPortalBrowser::TabSheet2Show()
{
  backSkin->setAvailable(true);
  forwardSkin->setAvailable(false);
}

void TPortalBrowser::limgBackMouseDown()
{
  // The pressed picture is shown by the button's state rule.
  m_window->ShowCentrePage(0);
}

void TPortalBrowser::limgForwardMouseDown()
{
  TPlayerHost *host = m_playback->host;
  TPlayList *list = m_playback->list;
  if (host->flashUsed != 0 || host->audioUsed != 0) {
    m_window->ShowCentrePage(1);
    return;
  }
  QTreeWidget *tree = list->tvPlayList;
  if (tree->topLevelItemCount() == 0) {
    ShowInfoBox(LinkMessages::EmptyPlayList, m_window->mainWidget());
    return;
  }
  if (!CurrentItem) {
    SelectNode(tree, tree->topLevelItem(0));
    CurrentItem = NodeItem(tree->topLevelItem(0));
  }
  m_window->ShowCentrePage(1);
  if (QTreeWidgetItem *node = SelectedNode(tree))
    tree->scrollToItem(node);
  list->imgSelfSelMouseDown();
  if (CurrentItem)
    host->PlayItem(CurrentItem, true);
}

void TPortalBrowser::EnsurePage()
{
  if (page)
    return;
  page = new TPortalPage(this, wbMain);
  wbMain->setPage(page);
  wbMain->removeEventFilter(this);
  PrepareBrowser(wbMain);  // forgets the page maker
}

bool TPortalBrowser::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == wbMain && event->type() == QEvent::Show)
    EnsurePage();
  return QObject::eventFilter(watched, event);
}

void TPortalBrowser::HoldView()
{
  if (page || m_held)
    return;  // the web engine runs already: nothing to win
  m_held = true;
  wbMain->hide();
}

void TPortalBrowser::ReleaseView()
{
  if (!m_held)
    return;
  m_held = false;
  EnsurePage();
  wbMain->show();
}

void TPortalBrowser::OpenStartPage()
{
  // A portal that does not answer shows the offline page, not the
  // browser's error page.
  if (!StartPageUrl.isEmpty())
    OpenPageChecked(wbMain, StartPageUrl, OfflinePagePath());
}
