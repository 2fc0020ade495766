#include "lists/playback.h"

#include "base/globals.h"
#include "base/pathcase.h"
#include "lists/favorites.h"
#include "lists/playlist.h"
#include "lists/trimplaylist.h"
#include "player/contentfetch.h"
#include "player/flashview.h"
#include "player/playerhost.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"

#include <QFile>
#include <QLayout>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

#include <cerrno>
#include <sys/stat.h>

namespace {

// True only when the system says there is no such entry; a folder that
// cannot be searched is no proof that the file is missing.
bool SurelyAbsent(const QString &path)
{
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT;
}

}  // namespace

void WirePlayback(TPlayerHost *host, TPlayList *list, TContentFetch *fetch)
{
  host->setContentFetch(fetch);
  host->setPlayList(list);
  QObject::connect(fetch, &TContentFetch::itemCached, list, &TPlayList::ClearUncachedMark);
  list->playItem = [host](const TKsvPlayPtr &item, bool addToList) {
    host->PlayItem(item, addToList);
  };
}

TPlayback::TPlayback(IMainWindow *window, IEngine *engine, QWidget *playPage, QWidget *listPage,
                     QTimer *timerDownload, QObject *parent)
    : QObject(parent)
{
  TPlayerWindow playerWindow;
  playerWindow.window = window->mainWidget();
  playerWindow.pnlExitFullScreen = window->exitFullScreenPanel();
  playerWindow.showPlayPage = [window] { window->ShowCentrePage(1); };
  playerWindow.maximizedGeometry = [window] { return window->MaximizedGeometry(); };
  host = new TPlayerHost(playerWindow, playPage);
  playPage->layout()->addWidget(host);

  list = new TPlayList(listPage, this);
  fetch = new TContentFetch(engine, timerDownload, this);

  WirePlayback(host, list, fetch);
  list->showListPage = [window](int page) { window->ShowListPage(page); };
  window->addNoContextMenu(host->ShockwaveFlash1);
  window->addNoContextMenu(host->wbMp3);
  m_window = window;
}

void TPlayback::AddFavorites(QWidget *favoritePage)
{
  favorites = new TFavorites(favoritePage, this);
  favorites->playItem = list->playItem;
  favorites->releaseActiveListTab = [this] {
    if (list->releaseActiveListTab)
      list->releaseActiveListTab();
  };
  IMainWindow *window = m_window;
  favorites->showListPage = [window](int page) { window->ShowListPage(page); };
  connect(host->favoriteSkin, &SkinButton::pressed, favorites, [this](Qt::MouseButton button) {
    if (button == Qt::LeftButton)
      favorites->imgFavorite2MouseDown();
  });

  TTrimLists lists;
  lists.playList = list;
  lists.favorites = favorites;
  lists.playItem = list->playItem;
  lists.pruneCache = [this](QTreeWidget *tree) { fetch->PruneCache(tree); };
  list->openOrganiser = [lists, window] {
    TfrmTrimPlayList::Open(lists, QStringLiteral("整理游戏记录"), QStringLiteral("1"),
                           window->mainWidget());
  };
  favorites->openOrganiser = [lists, window] {
    TfrmTrimPlayList::Open(lists, QStringLiteral("整理收藏"), QStringLiteral("2"),
                           window->mainWidget());
  };
}

void TPlayback::InitAudio()
{
  AudioPlayerSerial = 1;
  host->CreateMediaPlayer();
}

void TPlayback::LoadPlayList()
{
  // The cache is pruned only against a list that was read: a list file
  // that is there but could not be read (an I/O or permission error) would
  // otherwise cost every cached item, and so would one with damaged lines
  // (their items are unknown).  An absent file is an empty list.
  const bool read = list->LoadListFile(LastPlayedFile, list->tvPlayList, 100);
  if ((read && !list->listFileDamaged()) || SurelyAbsent(ResolveCase(LastPlayedFile)))
    fetch->PruneCache(list->tvPlayList);
  // The Flash runtime is made ready in the background once the window and
  // its start page had their turn, so that the first game starts at once.
  QTimer::singleShot(PreloadDelayMs, host->ShockwaveFlash1, &TFlashView::preload);
}

void TPlayback::Shutdown()
{
  fetch->TimerDownload->stop();
  host->LeaveFullScreen();
  host->ReleaseMediaPlayer();
}
