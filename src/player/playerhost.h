#pragma once
// The play page: one item at a time.  A Flash game (type "1") runs in the
// Flash player ShockwaveFlash1; a video (type "4") runs in the video-player
// movie AppDir/flvplayer.swf inside the same player; an audio item (type "2")
// plays through a hidden media player while the page browser wbMp3 shows the
// audio page.  PlayItem is the single entry for playing: it finds the item's
// file in the cache or the download folder, or has TContentFetch fetch it
// first.  Games and videos can be played full screen.
//
// Layout of the page (a widget the main window puts on its page "播放"):
//   pnlConMain      ShockwaveFlash1 and wbMp3, each filling it, stacked
//   pnlPlayFlv      41 high: imgComment, imgAdvice, imgFavorite2,
//                   imgDownload, imgFullScreen, lblStatus
// The exit panel pnlExitFullScreen (40 x 30, top left of the main window,
// hidden) belongs to the main window; the host puts imgExitFullScreen in it.
#include "player/core/ksvplay.h"

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

class QLabel;
class TAudioPlayer;
class QShortcut;
class QWebEngineView;
class tLxsimage;
class SkinButton;
class TFlashView;
class TContentFetch;
class IPlayQueue;

// What the host needs of the main window.
struct TPlayerWindow {
  QWidget *window = nullptr;             // the main window
  QWidget *pnlExitFullScreen = nullptr;  // hidden 40 x 30 panel on it
  // Shows the play page (page 1 of PageControl1).
  std::function<void()> showPlayPage;
  // The geometry of a maximised window.
  std::function<QRect()> maximizedGeometry;
};

class TPlayerHost : public QWidget {
  Q_OBJECT
public:
  TPlayerHost(const TPlayerWindow &window, QWidget *parent = nullptr);
  ~TPlayerHost() override;

  // The fetch that brings items without a local file; the host draws what
  // it reports (advertisement page, status text) and plays what it brings.
  void setContentFetch(TContentFetch *fetch);
  void setPlayList(IPlayQueue *list) { m_list = list; }

  // --- Controls --------------------------------------------------------
  QWidget *pnlConMain = nullptr;
  TFlashView *ShockwaveFlash1 = nullptr;
  QWebEngineView *wbMp3 = nullptr;
  QWidget *pnlPlayFlv = nullptr;
  tLxsimage *imgComment = nullptr;
  tLxsimage *imgAdvice = nullptr;
  tLxsimage *imgFavorite2 = nullptr;
  tLxsimage *imgDownload = nullptr;
  tLxsimage *imgFullScreen = nullptr;
  QLabel *lblStatus = nullptr;
  tLxsimage *imgExitFullScreen = nullptr;
  SkinButton *commentSkin = nullptr, *adviceSkin = nullptr, *favoriteSkin = nullptr,
             *downloadSkin = nullptr, *fullScreenSkin = nullptr, *exitFullScreenSkin = nullptr;

  // Used marks: set when a request for a Flash item (game or video) or an
  // audio item arrives.
  int flashUsed = 0;
  int audioUsed = 0;

  // --- Operations ------------------------------------------------------
  // Plays an item; with addToList it is added to (or selected in) the play
  // list.  An item whose id is not a decimal number is refused with a
  // message and changes nothing.
  void PlayItem(const TKsvPlayPtr &item, bool addToList);
  // 1: empty text; 4: "正在缓冲,请稍等"; other codes change nothing.
  void ShowPlayStatus(int code);
  // Plays CurrentItem again (added to the list).
  void ReplayClick();
  // Full-screen play of a game or a video; a message for audio.
  void imgFullScreenMouseDown();
  // Ends full-screen play (whatever the current item is).
  void LeaveFullScreen();
  bool isFullScreen() const { return m_fullScreen; }

  // The hidden audio player.
  void CloseMp3();
  void CreateMediaPlayer();
  void ReleaseMediaPlayer();
  TAudioPlayer *audioPlayer() const { return m_audio; }

  // The download button: queues CurrentItem with the download manager.
  void imgDownloadMouseDown();
  // What the download button needs of the download manager, which sets
  // them: queue a row (throws std::exception when it cannot), and show a
  // folder in the file browser.
  std::function<void(const QString &fileName, const QString &id, const QString &address)>
      addDownloadRow;
  std::function<void(const QString &folder)> openFolder;

  // Enables or disables the download button (with its hint).
  void setDownloadButton(bool enabled, const QString &hint);
  // The status label's text colour: magenta while fetching, normal after.
  void setStatusFetching(bool fetching);

  // Page browser wbMp3 in front (hides the Flash player behind it).
  void showPageBrowser();
  // The Flash player in front.
  void showFlashPlayer();

  // Address of the audio page: Mp3PageUrl + "_" + VarType + ".html".
  static QString AudioPageUrl();
  // The video player's variables for the video file at `path` (the path
  // percent-encoded).
  static QString VideoFlashVars(const QString &path);

Q_SIGNALS:
  // An item was handed to a player (after the list was updated).
  void itemStarted(const TKsvPlayPtr &item);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void pnlConMainResize();
  void wbMp3DocumentComplete(bool ok);
  void fillConMain(QWidget *w);
  void enterFullScreen();

  TPlayerWindow m_window;
  TContentFetch *m_fetch = nullptr;
  IPlayQueue *m_list = nullptr;
  TAudioPlayer *m_audio = nullptr;
  QPointer<QShortcut> m_escape;
  bool m_fullScreen = false;
  QRect m_boundsBeforeFullScreen;
};
