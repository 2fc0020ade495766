#pragma once
// Playback and the play list, put together inside the main window: the play
// page on PageControl1's page 1, the play list on PageControl2's page 1, the
// fetch on the window's TimerDownload and engine.  The main window creates
// one TPlayback; its start-up and shut-down call the three steps below.
#include <QObject>

class TfrmMain;
class TPlayerHost;
class TPlayList;
class TContentFetch;

class TPlayback : public QObject {
    Q_OBJECT
public:
    explicit TPlayback(TfrmMain *form);

    TPlayerHost *host = nullptr;
    TPlayList *list = nullptr;
    TContentFetch *fetch = nullptr;

    // While the window is initialised: the audio player's serial starts at 1
    // and the hidden audio player is created.
    void InitAudio();
    // At creation, once the engine exists: the play list is loaded from
    // LastPlayedFile (limit 100) and the cache pruned against it.  The Flash
    // runtime is loaded PreloadDelayMs later.
    void LoadPlayList();
    static constexpr int PreloadDelayMs = 4000;
    // At destruction: the audio player is released.
    void Shutdown();

private:
    TfrmMain *m_form;
};
