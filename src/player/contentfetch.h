#pragma once
// Fetching items into the cache through the engine: the fetch of the item
// the user asked for (with its progress in the status label, once a second),
// the prefetch of the play list's next item, the engine's task-end reports,
// and the not-yet-cached mark of the play list's rows.
//
// A fetch ends in one of three ways: the file stands at the cache path (the
// item is handed to the player), another play request stops it, or the
// engine reports the task ended below 100% (a server that answers 404 or
// stops): the progress timer stops and the status label says
// "服务器连接失败", so a click on the row starts afresh.
#include "player/core/ksvplay.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <functional>

class QTimer;
class QTreeWidget;
class IEngine;

class TContentFetch : public QObject {
  Q_OBJECT
public:
  // `timerDownload` is the main window's progress timer (1000 ms); it is
  // connected to TimerDownloadTimer here.
  TContentFetch(IEngine *engine, QTimer *timerDownload, QObject *parent = nullptr);

  void setEngine(IEngine *engine);
  IEngine *engine() const { return m_engine; }
  QTimer *TimerDownload = nullptr;

  // Fetches an item that has no local file; the player host calls it.
  void StartFetch(const TKsvPlayPtr &item);
  // The progress timer's tick.
  void TimerDownloadTimer();
  // Prefetches the item after the selected row (the first after the last).
  void PrefetchNext(QTreeWidget *playList);
  // The engine's report that a task ended (100 = complete).
  void TaskEndCallback(int id, int percent);
  // Percent fetched of that id; -1 when the engine knows nothing of it or
  // the text is not a number.
  int FlvCurDownloadPercent(const QString &id) const;
  // Deletes every cache file whose id is not in the play list.
  void PruneCache(QTreeWidget *playList);

  // The advertisement page shown while an item is fetched.
  static QString AdvertisementAddress();

  // Stops the running fetch (the player host, when another request arrives
  // while the progress timer runs).
  void StopCurrentFetch();

  // Whether a task-end report belongs to the download window (its task is
  // the one shown there); such reports are left to it.
  std::function<bool(int id)> belongsToDownloadWindow;
  // Where those reports go.
  std::function<void(int id, int percent)> downloadWindowTaskEnd;

Q_SIGNALS:
  // What happened, for whoever draws it (the player host, the play list).
  // A fetch of `item` starts (the play page shows the advertisement).
  void fetchStarted(const TKsvPlayPtr &item);
  // The status text: progress (bold) or "服务器连接失败".
  void statusChanged(const QString &text, bool bold);
  // The item's file now stands in the cache (its row loses the mark).
  void itemCached(int id);
  // The fetched item is ready to play.
  void fetchReady(const TKsvPlayPtr &item);
  // The item's fetch could not complete.
  void fetchFailed(const TKsvPlayPtr &item);

private:
  bool newTask(std::int32_t id, const QString &address, const QString &path);
  bool stopTask(std::int32_t id);

  IEngine *m_engine = nullptr;
  // The item this fetch follows (not whatever CurrentItem holds later).
  TKsvPlayPtr m_item;
  // The tasks started here whose end is still to be reported, oldest first
  // per id, each marked when it was stopped here on purpose.
  QHash<std::int32_t, QList<bool>> m_running;
};
