#pragma once
// The main window `TfrmMain`: a borderless window that draws its own frame.
//
// This class is the composition root of the window: it builds the controls
// (the "form", with the names other code refers to) and owns one object per
// area of behaviour, each holding that area's handlers:
//   frame     MainFrame      caption, window buttons, resize, close, tray hiding
//   tray      TTrayMenu      tray icon and its menu pm_tray
//   filter    FrameFilter    the application-wide input filter
//   life      StartupSequence creation, first showing and destruction order
// Other areas attach to the containers below (PageControl pages, pnlName,
// pnlCommentAds, the timers) without changing this class much.
#include "widgets/mainwindowport.h"
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QStackedWidget;
class QTimer;
class QTreeWidget;
class QWebEngineView;
class tLxsimage;
class SkinButton;
class SkinGroup;
class MainFrame;
class TTrayMenu;
class FrameFilter;
class StartupSequence;
class TPlayback;
class TChannelTree;
class TCategoryBar;
class TListTabs;
class TPortalBrowser;
class TSearchBox;
class TDownloadArea;
class IEngine;
class IUserService;
class TSignIn;
class TComments;
class TUpdateCheck;
struct UserServices;

class TfrmMain : public QWidget, public IMainWindow {
  Q_OBJECT
public:
  // Builds the window's controls and its behaviour objects.  Nothing of the
  // start-up order runs here: the process entry calls life->FormCreate().
  // The engine library is made before the window and given to it (the
  // binding, or a test's stand-in); it lives as long as the window.
  explicit TfrmMain(std::unique_ptr<IEngine> engine, QWidget *parent = nullptr);
  // Runs FormDestroy (once) if the life cycle has not already done so.
  ~TfrmMain() override;

  // Design client size.
  static constexpr int DesignWidth = 1008;
  static constexpr int DesignHeight = 642;

  // --- Caption area pnlTop (88 high) ----------------------------------------
  QWidget *pnlTop = nullptr;
  tLxsimage *imgTl = nullptr;       // left edge, 8 wide
  tLxsimage *imgTc = nullptr;       // stretched middle: drag and double-click
  tLxsimage *imgTr = nullptr;       // right edge, 8 wide
  tLxsimage *imgLogo = nullptr;     // (10, 15), 183 x 58
  QLabel *lblOnlineUser = nullptr;  // sign-in greeting (built by signIn), hidden at start
  QLabel *lblLogin = nullptr;       // "登录", hidden at start
  QLabel *lblReg = nullptr;         // "免费注册", hidden at start
  // The category bar (built by categoryBar), in bar order: sbtnMain,
  // sbtnMjGame, sbtnClGame, sbtnTyGame, sbtnXxGame, sbtnYzGame, sbtnZzGame,
  // sbtnZjGame, sbtnZhezGame.
  std::array<tLxsimage *, 9> categoryButtons{};
  std::array<SkinButton *, 9> categorySkins{};
  SkinGroup *categoryGroup = nullptr;  // keyed by ActiveCategory
  tLxsimage *limgMin = nullptr;
  tLxsimage *limgMax = nullptr;
  tLxsimage *limgNor = nullptr;
  tLxsimage *limgClose = nullptr;
  // Hidden message channels onto the user-interface thread.
  QLineEdit *edtShowmessage = nullptr;
  QLineEdit *edtWsClientLogin = nullptr;

  // --- Body pnlMain ------------------------------------------------------------
  QWidget *pnlMain = nullptr;
  tLxsimage *imgLeftBorder = nullptr;
  tLxsimage *imgRightBorder = nullptr;
  tLxsimage *limgFenge = nullptr;   // divider, 2 wide
  QWidget *pnlLeft = nullptr;       // 200 wide
  QWidget *pnlTabs = nullptr;       // strip of the left tabs (built by listTabs)
  QWidget *pnlPlayList = nullptr;   // holds PageControl2 (built by listTabs)
  tLxsimage *imgTuijian = nullptr;  // left tabs, 67 x 41 each
  tLxsimage *imgSelfSel = nullptr;
  tLxsimage *imgFavorite = nullptr;
  std::array<SkinButton *, 3> tabSkins{};
  SkinGroup *tabGroup = nullptr;  // keyed by ActiveListTab
  QStackedWidget *PageControl2 = nullptr;
  QWidget *tbsChannel = nullptr;     // page 0; its windowTitle is the tab caption
  QTreeWidget *tv1 = nullptr;        // channel tree (channels); "Tag" starts at 1
  QWidget *tbsPlayList = nullptr;    // page 1: empty, with a QVBoxLayout
  QWidget *tbsFavorite = nullptr;    // page 2: empty, with a QVBoxLayout
  QWidget *pnlCommentAds = nullptr;  // 200 high, bottom of pnlLeft; QVBoxLayout
  QWidget *pnlMiddle = nullptr;
  QWidget *pnlName = nullptr;   // 41 high; QHBoxLayout
  QLineEdit *edtkey = nullptr;  // search box, built by TSearchBox
  QWidget *pnlPages = nullptr;  // PageControl1's parent
  QStackedWidget *PageControl1 = nullptr;
  QWidget *tbsPage = nullptr;        // page 0 "页面"
  QWidget *pnlwbMain = nullptr;      // holds wbMain
  QWebEngineView *wbMain = nullptr;  // the portal browser
  QWidget *tbsPlay = nullptr;        // page 1 "播放": empty, with a QVBoxLayout

  // --- Status bar pnlStatus (24 high) ------------------------------------------
  QWidget *pnlStatus = nullptr;
  tLxsimage *imgBottomLeft = nullptr;
  tLxsimage *imgBottom = nullptr;
  tLxsimage *imgBottomRight = nullptr;
  QLabel *lblSysVersion = nullptr;  // (14, 6)
  tLxsimage *Image1 = nullptr;      // icon of lblAdvice
  QLabel *lblAdvice = nullptr;      // "意见反馈"
  tLxsimage *Image2 = nullptr;      // icon of lblSetting
  QLabel *lblSetting = nullptr;     // "设置"

  QWidget *pnlExitFullScreen = nullptr;  // 40 x 30, hidden

  // --- Timers ------------------------------------------------------------------
  QTimer *TimerSystemMsg = nullptr;  // 60000 ms, running
  QTimer *TimerDownload = nullptr;   // 1000 ms, off
  QTimer *Timer1 = nullptr;          // 500 ms, off; ends the program when it fires

  // --- Behaviour -----------------------------------------------------------------
  MainFrame *frame = nullptr;
  TTrayMenu *tray = nullptr;
  FrameFilter *filter = nullptr;
  StartupSequence *life = nullptr;
  // Playback and the play list (play page, list page, fetch): player/playback.h
  TPlayback *playback = nullptr;
  // The catalog: the left tabs and PageControl2, the channel tree tv1, the
  // category bar.  catalog/listtabs.h, channeltree.h, categorybar.h
  TListTabs *listTabs = nullptr;
  TChannelTree *channels = nullptr;
  TCategoryBar *categoryBar = nullptr;
  // The portal browser (wbMain's page, link commands): catalog/portalbrowser.h
  TPortalBrowser *portal = nullptr;
  // The search box edtkey and its magnifier: catalog/searchbox.h
  TSearchBox *search = nullptr;
  // The download window and the download button: download/downloadarea.h
  // (the program's IDownloads).
  TDownloadArea *downloads = nullptr;
  // Sign-in (caption labels), comments and system messages (wbChat in
  // pnlCommentAds, TimerSystemMsg), the update check (Timer1,
  // edtWsClientLogin): service/signinarea.h, commentsarea.h, updatearea.h.
  TSignIn *signIn = nullptr;
  TComments *comments = nullptr;
  TUpdateCheck *updateCheck = nullptr;
  // The web service proxies these areas and the feedback dialog use.
  std::unique_ptr<UserServices> userServices;
  // Hands in the shared web service proxy (kept by the window) and the maker
  // of the feedback dialog's own proxy.
  void setUserService(std::unique_ptr<IUserService> shared,
                      std::function<std::unique_ptr<IUserService>()> makeAdviceProxy);
  // The engine library.
  IEngine *engine() const;
  // The frame's own parts the start-up order sets: the version in the status
  // bar, the keyboard focus on the portal page's panel.
  void ShowSysVersion(const QString &text);
  void FocusPortalPanel();

  // --- IMainWindow ---------------------------------------------------------------
  QWidget *mainWidget() override { return this; }
  void ShowCentrePage(int page) override;
  void ShowListPage(int page) override;
  QRect MaximizedGeometry() const override;
  QWidget *exitFullScreenPanel() override { return pnlExitFullScreen; }
  void addNoContextMenu(QWidget *w) override;
  void EndProgram() override;
  void OpenSettings() override;
  void SendChannelMessage(MessageChannel channel, const QString &text) override;
  void OnChannelMessage(MessageChannel channel, const QString &text,
                        std::function<void()> handler) override;

  // The geometry the window has when it is not maximised (design size,
  // centred on the screen at first).
  QRect normalBounds;

  // Whether the window was ever painted.
  bool painted() const { return m_painted; }

Q_SIGNALS:
  // The first paint of the window (the portal view waits for it; the
  // start-up benchmark probe reports it).
  void firstPainted();

protected:
  void paintEvent(QPaintEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void showEvent(QShowEvent *e) override;
  void changeEvent(QEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  bool eventFilter(QObject *watched, QEvent *e) override;

private:
  void buildCaption();
  // The areas built into their slots (mainwindow_areas.cpp).
  void buildAreas();
  void buildBody();
  void buildStatus();
  void placeCaptionControls();
  void placeStatusControls();

  std::unique_ptr<IEngine> m_engine;
  std::unique_ptr<IUserService> m_sharedService;
  bool m_painted = false;
  bool m_shownOnce = false;
};
