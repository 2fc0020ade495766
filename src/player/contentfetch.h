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
class TPlayerHost;
class IPlayQueue;

class TContentFetch : public QObject {
  Q_OBJECT
public:
  // `timerDownload` is the main window's progress timer (1000 ms); it is
  // connected to TimerDownloadTimer here.
  TContentFetch(IEngine *engine, QTimer *timerDownload, QObject *parent = nullptr);

  void setPlayerHost(TPlayerHost *host) { m_host = host; }
  void setPlayList(IPlayQueue *list) { m_list = list; }
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
  // Removes the not-yet-cached mark of the play list's row for `id`.
  void setPlayOverlay(int id);
  // Percent fetched of that id; -1 when the engine knows nothing of it or
  // the text is not a number.
  int FlvCurDownloadPercent(const QString &id) const;
  // Deletes every cache file whose id is not in the play list.
  void PruneCache(QTreeWidget *playList);

  // Stops the running fetch of CurrentItem (the player host, when another
  // request arrives while the progress timer runs).
  void StopCurrentFetch();

  // Whether a task-end report belongs to the download window (its task is
  // the one shown there); such reports are left to it.
  std::function<bool(int id)> belongsToDownloadWindow;
  // Where those reports go.
  std::function<void(int id, int percent)> downloadWindowTaskEnd;

Q_SIGNALS:
  // The current item's fetch could not complete.
  void fetchFailed(const TKsvPlayPtr &item);

private:
  bool stopTask(std::int32_t id);

  IEngine *m_engine = nullptr;
  TPlayerHost *m_host = nullptr;
  IPlayQueue *m_list = nullptr;
  // Reports still to come for tasks this program stopped itself: they end
  // with a percent below 100 and must not be taken for a failure of a later
  // fetch of the same id.
  QHash<std::int32_t, int> m_stoppedReports;
};
