#pragma once
// The play area as the main window builds it (play page, play list,
// favorites, organiser buttons), around a plain window and a fake engine.
#include "../player/fakeengine.h"
#include "standinwindow.h"
#include "../player/testappdir.h"
#include "testdesktop.h"

#include "base/globals.h"
#include "lists/favorites.h"
#include "lists/playback.h"
#include "lists/playlist.h"
#include "player/contentfetch.h"
#include "player/listnodes.h"
#include "player/playerhost.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"
#include "widgets/wintemplate.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using FakeMainWindow = StandInWindow;

// A press (and, with `release`, a release) of the left button on a control.
inline void Press(QWidget *w, bool release = false)
{
  const QPointF at(2, 2);
  QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  if (release) {
    QMouseEvent up(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QApplication::sendEvent(w, &up);
  }
}

inline QByteArray FileBytes(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Ids of the top-level nodes of a tree, in order, as "1,2,3".
inline QString TreeIds(const QTreeWidget *tree)
{
  QStringList ids;
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    ids << NodeItem(tree->topLevelItem(i))->id;
  return ids.join(u',');
}

struct AreaRig {
  AreaRig()
  {
    auto *column = new QHBoxLayout(&window.widget);
    for (QWidget *page : {playPage, listPage, favoritePage}) {
      new QVBoxLayout(page);
      column->addWidget(page);
    }
    timer = new QTimer(&window.widget);
    playback = std::make_unique<TPlayback>(&window, &engine, playPage, listPage, timer, nullptr);
    playback->list->releaseActiveListTab = [this] { ++releasedTabs; };
    playback->AddFavorites(favoritePage);
    TfrmWinTemplate::SetMainWindow(&window.widget);
  }

  TPlayList *list() const { return playback->list; }
  TFavorites *favorites() const { return playback->favorites; }

  // Boxes are recorded; dialogs are played through PlayDialogsWith.
  RecordingDesktop desktop;
  TestAppDir app{false};
  FakeEngine engine;
  FakeMainWindow window;
  QWidget *playPage = new QWidget(&window.widget);
  QWidget *listPage = new QWidget(&window.widget);
  QWidget *favoritePage = new QWidget(&window.widget);
  QTimer *timer = nullptr;
  std::unique_ptr<TPlayback> playback;
  int releasedTabs = 0;
};
