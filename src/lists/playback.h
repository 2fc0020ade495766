#pragma once
// The play area: the play page (player host) on the centre's page 1, the play
// list on the left panel's page 1, and the fetch on the window's progress
// timer and engine.  The main window creates one TPlayback; its start-up and
// shut-down call the three steps below.
#include <QObject>

class QTimer;
class QWidget;
class IEngine;
class IMainWindow;
class TPlayerHost;
class TPlayList;
class TContentFetch;
class TFavorites;

// Puts the three together: the host plays through the list and the fetch,
// the list plays through the host and clears its marks when the fetch has
// brought a file.
void WirePlayback(TPlayerHost *host, TPlayList *list, TContentFetch *fetch);

class TPlayback : public QObject {
  Q_OBJECT
public:
  // `playPage` and `listPage` are the empty pages (each with a box layout)
  // the area builds into; `timerDownload` is the window's 1000 ms progress
  // timer.
  TPlayback(IMainWindow *window, IEngine *engine, QWidget *playPage, QWidget *listPage,
            QTimer *timerDownload, QObject *parent);

  TPlayerHost *host = nullptr;
  TPlayList *list = nullptr;
  TContentFetch *fetch = nullptr;
  TFavorites *favorites = nullptr;

  // Builds the favorites on `favoritePage` (the left panel's page 2, empty,
  // with a box layout) and connects them, the play page's favorite button
  // and both organiser buttons.
  void AddFavorites(QWidget *favoritePage);

  // While the window is initialised: the audio player's serial starts at 1
  // and the hidden audio player is created.
  void InitAudio();
  // At creation: the play list is loaded from LastPlayedFile (limit 100) and
  // the cache pruned against it; an absent file is an empty list, a file
  // that cannot be read leaves the cache as it is.  The Flash runtime is loaded
  // PreloadDelayMs later.
  void LoadPlayList();
  static constexpr int PreloadDelayMs = 4000;
  // At destruction: the audio player is released.
  void Shutdown();

private:
  IMainWindow *m_window = nullptr;
};
