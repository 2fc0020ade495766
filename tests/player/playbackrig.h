#pragma once
// The playback objects wired as the main window wires them, around a plain
// window: the player host on the play page, the play list on its page, the
// fetch with a fake (or real) engine.
#include "fakeengine.h"
#include "testappdir.h"

#include "lists/playback.h"
#include "lists/playlist.h"
#include "player/contentfetch.h"
#include "player/flashview.h"
#include "player/listnodes.h"
#include "player/playerhost.h"

#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

struct PlaybackRig {
  explicit PlaybackRig(IEngine *engine)
  {
    window = std::make_unique<QWidget>();
    window->resize(900, 600);
    auto *column = new QHBoxLayout(window.get());
    listPage = new QWidget;
    new QVBoxLayout(listPage);
    listPage->setFixedWidth(200);
    pages = new QStackedWidget;
    pages->addWidget(new QWidget);  // page 0, the portal pages
    playPage = new QWidget;
    new QVBoxLayout(playPage);
    pages->addWidget(playPage);
    column->addWidget(listPage);
    column->addWidget(pages, 1);
    exitPanel = new QWidget(window.get());
    exitPanel->setFixedSize(40, 30);
    exitPanel->hide();
    timer = new QTimer(window.get());

    TPlayerWindow w;
    w.window = window.get();
    w.pnlExitFullScreen = exitPanel;
    w.showPlayPage = [this] { pages->setCurrentIndex(1); };
    host = new TPlayerHost(w, playPage);
    playPage->layout()->addWidget(host);
    list = new TPlayList(listPage, window.get());
    fetch = new TContentFetch(engine, timer, window.get());
    WirePlayback(host, list, fetch);
  }

  // Adds an item as a link command does (appended, not selected).
  TKsvPlayPtr add(const QString &id, const QString &type, const QString &name = QString())
  {
    auto item = MakeKsvPlay(id, "0701", name.isEmpty() ? "game " + id : name, type);
    TPlayList::AddToPlayList(item, list->tvPlayList, 1, false);
    return item;
  }
  // Selects a row and clicks the list, as the link commands do.
  void click(int row)
  {
    SelectNode(list->tvPlayList, list->tvPlayList->topLevelItem(row));
    list->tvPlayListClick();
  }
  QTreeWidgetItem *node(int row) const { return list->tvPlayList->topLevelItem(row); }

  std::unique_ptr<QWidget> window;
  QWidget *listPage = nullptr, *playPage = nullptr, *exitPanel = nullptr;
  QStackedWidget *pages = nullptr;
  QTimer *timer = nullptr;
  TPlayerHost *host = nullptr;
  TPlayList *list = nullptr;
  TContentFetch *fetch = nullptr;
};
