#include "player/playerhost.h"

#include "widgets/desktop.h"

#include "base/globals.h"
#include "base/routines.h"
#include "player/audioplayer.h"
#include "player/contentfetch.h"
#include "player/flashview.h"
#include "player/pagebrowser.h"
#include "player/playqueue.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <stdexcept>

namespace {

constexpr int BarHeight = 41;

tLxsimage *NewButton(QWidget *parent, const char *name, const QString &hint)
{
  auto *img = new tLxsimage(parent);
  img->setObjectName(QString::fromLatin1(name));
  img->setToolTip(hint);
  img->setCursor(Qt::PointingHandCursor);
  return img;
}

}  // namespace

TPlayerHost::TPlayerHost(const TPlayerWindow &window, QWidget *parent)
    : QWidget(parent), m_window(window)
{
  setObjectName(QStringLiteral("pnlPlay"));
  auto *column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  pnlConMain = new QWidget(this);
  pnlConMain->setObjectName(QStringLiteral("pnlConMain"));
  pnlConMain->installEventFilter(this);
  column->addWidget(pnlConMain, 1);

  ShockwaveFlash1 = new TFlashView(pnlConMain);
  wbMp3 = new QWebEngineView(pnlConMain);
  wbMp3->setObjectName(QStringLiteral("wbMp3"));
  wbMp3->setContextMenuPolicy(Qt::NoContextMenu);
  // Its page is made when it is first shown (showPageBrowser).
  connect(wbMp3, &QWebEngineView::loadFinished, this, &TPlayerHost::wbMp3DocumentComplete);
  wbMp3->hide();

  pnlPlayFlv = new QWidget(this);
  pnlPlayFlv->setObjectName(QStringLiteral("pnlPlayFlv"));
  pnlPlayFlv->setFixedHeight(BarHeight);
  auto *bar = new QHBoxLayout(pnlPlayFlv);
  bar->setContentsMargins(6, 0, 6, 0);
  bar->setSpacing(6);
  imgComment = NewButton(pnlPlayFlv, "imgComment", QStringLiteral("评论/查看评论"));
  imgAdvice = NewButton(pnlPlayFlv, "imgAdvice", QStringLiteral("意见、反馈"));
  imgFavorite2 = NewButton(pnlPlayFlv, "imgFavorite2", QStringLiteral("收藏该游戏"));
  imgDownload = NewButton(pnlPlayFlv, "imgDownload", QStringLiteral("下载该游戏"));
  imgFullScreen = NewButton(pnlPlayFlv, "imgFullScreen", QStringLiteral("全屏"));
  commentSkin = new SkinButton(imgComment, QStringLiteral("Pinglun"));
  adviceSkin = new SkinButton(imgAdvice, QStringLiteral("Fankui"));
  favoriteSkin = new SkinButton(imgFavorite2, QStringLiteral("Shoucang"));
  downloadSkin = new SkinButton(imgDownload, QStringLiteral("Xiazai"));
  fullScreenSkin = new SkinButton(imgFullScreen, QStringLiteral("Quanping"));
  lblStatus = new QLabel(pnlPlayFlv);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  // A long status text never widens the window.
  lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  for (QWidget *w : {static_cast<QWidget *>(imgComment), static_cast<QWidget *>(imgAdvice),
                     static_cast<QWidget *>(imgFavorite2), static_cast<QWidget *>(imgDownload),
                     static_cast<QWidget *>(imgFullScreen)})
    bar->addWidget(w, 0, Qt::AlignVCenter);
  bar->addSpacing(12);
  bar->addWidget(lblStatus, 1, Qt::AlignVCenter);
  column->addWidget(pnlPlayFlv);

  // The full-screen button acts on press; its pressed picture comes first.
  connect(fullScreenSkin, &SkinButton::pressed, this, [this](Qt::MouseButton b) {
    if (b == Qt::LeftButton)
      imgFullScreenMouseDown();
  });

  connect(downloadSkin, &SkinButton::pressed, this, [this](Qt::MouseButton b) {
    if (b == Qt::LeftButton)
      imgDownloadMouseDown();
  });

  if (QWidget *exitPanel = m_window.pnlExitFullScreen) {
    imgExitFullScreen = NewButton(exitPanel, "imgExitFullScreen", QStringLiteral("退出全屏"));
    imgExitFullScreen->setGeometry(0, 0, exitPanel->width(), exitPanel->height());
    imgExitFullScreen->setStretch(true);
    exitFullScreenSkin = new SkinButton(imgExitFullScreen, QStringLiteral("Tuichuquanping"));
    connect(exitFullScreenSkin, &SkinButton::pressed, this, [this](Qt::MouseButton b) {
      if (b == Qt::LeftButton)
        LeaveFullScreen();
    });
  }
  if (m_window.window)
    m_window.window->installEventFilter(this);
}

TPlayerHost::~TPlayerHost() { delete m_escape; }

QString TPlayerHost::AudioPageUrl()
{
  if (Mp3PageUrl.isEmpty())
    return QString();
  return Mp3PageUrl + u'_' + QString::number(VarType) + QStringLiteral(".html");
}

QString TPlayerHost::VideoFlashVars(const QString &path)
{
  // The path is percent-encoded, so a folder with '&', '+', '%', '#' or '?'
  // in its name stays one value.
  return QStringLiteral("file=") + QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
         QStringLiteral("&overstretch=true&showdigits=true&autostart=true&showplayerbar=true") +
         QStringLiteral("&callback=true&enablejs=true&streamscript=http://");
}

void TPlayerHost::ShowPlayStatus(int code)
{
  QString text;
  if (code == 1)
    text = QString();
  else if (code == 4)
    text = QStringLiteral("正在缓冲,请稍等");
  else
    return;
  QFont f = lblStatus->font();
  f.setBold(false);
  lblStatus->setFont(f);
  lblStatus->setText(text);
}

void TPlayerHost::imgDownloadMouseDown()
{
  downloadSkin->showState(3);
  const TKsvPlayPtr item = CurrentItem;
  if (!item) {
    ShowInfoBox(QStringLiteral("没有当前正在玩的游戏。"), window());
    return;
  }
  const QString failed =
      QStringLiteral("启动下载界面异常,请稍后重试。\n\r或请通过“意见反馈”给我们反馈。");
  const QString fileName = SpacedName(item->name + TypeToExtension(item->type));
  // A name that is not a single file name in the download folder is never
  // looked up there, nor queued.
  if (!IsSafeFileName(fileName) || DownloadDir.isEmpty()) {
    ShowInfoBox(failed, window());
    return;
  }
  if (QFileInfo::exists(DownloadDir + fileName)) {
    if (AskYesNo(QStringLiteral("该文件本机已存在, 是否要打开文件所在文件夹?"), window())) {
      if (openFolder)
        openFolder(DownloadDir);
      else
        Desktop().OpenUrl(QUrl::fromLocalFile(DownloadDir));
    }
    return;
  }
  try {
    if (item->address.isEmpty())
      item->address = ContentAddress(*item);
    if (!addDownloadRow || item->address.isEmpty())
      throw std::runtime_error("no download manager");
    addDownloadRow(fileName, item->id, item->address);
  } catch (const std::exception &) {
    ShowInfoBox(failed, window());
  }
}

void TPlayerHost::setDownloadButton(bool enabled, const QString &hint)
{
  imgDownload->setEnabled(enabled);
  imgDownload->setToolTip(hint);
}

void TPlayerHost::setStatusFetching(bool fetching)
{
  QPalette p = lblStatus->palette();
  p.setColor(QPalette::WindowText,
             fetching ? QColor(0xff, 0x00, 0xff) : palette().color(QPalette::WindowText));
  lblStatus->setPalette(p);
}

void TPlayerHost::fillConMain(QWidget *w)
{
  w->setGeometry(0, 0, pnlConMain->width(), pnlConMain->height());
}

void TPlayerHost::showPageBrowser()
{
  QWebEngineSettings *settings = wbMp3->page()->settings();
  if (settings->testAttribute(QWebEngineSettings::PlaybackRequiresUserGesture))
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
  if (wbMp3->page()->lifecycleState() != QWebEnginePage::LifecycleState::Active)
    wbMp3->page()->setLifecycleState(QWebEnginePage::LifecycleState::Active);
  fillConMain(wbMp3);
  wbMp3->show();
  wbMp3->raise();
}

void TPlayerHost::showFlashPlayer()
{
  if (ShockwaveFlash1->parentWidget() == pnlConMain)
    fillConMain(ShockwaveFlash1);
  ShockwaveFlash1->show();
  ShockwaveFlash1->raise();
  // The page browser lies unseen behind the player until the next fetch or
  // song: its page is put away (discarded), so the web engine can free what
  // the page holds.  Showing it again brings the page back.
  // A page still being asked for is not opened behind the player either.
  CancelPageCheck(wbMp3);
  if (wbMp3->isVisible()) {
    wbMp3->hide();
    if (!wbMp3->page()->requestedUrl().isEmpty())  // it may still be loading
      wbMp3->page()->setLifecycleState(QWebEnginePage::LifecycleState::Discarded);
  }
}

void TPlayerHost::setContentFetch(TContentFetch *fetch)
{
  if (m_fetch)
    disconnect(m_fetch, nullptr, this, nullptr);
  m_fetch = fetch;
  if (!m_fetch)
    return;
  connect(m_fetch, &TContentFetch::fetchStarted, this, [this] {
    setDownloadButton(false, QStringLiteral("正在缓冲,不要重复下载。"));
    setStatusFetching(true);
    if (isFullScreen())
      LeaveFullScreen();
    showPageBrowser();
    OpenPageChecked(wbMp3, TContentFetch::AdvertisementAddress(), OfflinePagePath());
  });
  connect(m_fetch, &TContentFetch::statusChanged, this, [this](const QString &text, bool bold) {
    QFont f = lblStatus->font();
    f.setBold(bold);
    lblStatus->setFont(f);
    lblStatus->setText(text);
  });
  connect(m_fetch, &TContentFetch::fetchReady, this,
          [this](const TKsvPlayPtr &item) { PlayItem(item, true); });
}

void TPlayerHost::PlayItem(const TKsvPlayPtr &item, bool addToList)
{
  if (!item)
    return;
  if (!IsContentId(item->id)) {
    ShowInfoBox(QStringLiteral("该项目的编号无效,无法播放。"), m_window.window);
    return;
  }
  ShowPlayStatus(4);

  // Leave the fetch that runs for the previous item.
  if (m_fetch && m_fetch->TimerDownload->isActive())
    m_fetch->StopCurrentFetch();

  if (m_audio && m_audio->isPlaying())
    m_audio->stop();
  ShockwaveFlash1->setMovie(TFlashView::StopMovie());

  // Switching between a game, a video and audio ends full screen.
  if (m_fullScreen && CurrentItem) {
    const QString was = CurrentItem->type, now = item->type;
    if ((was == u"1" && (now == u"2" || now == u"4")) ||
        (was == u"4" && (now == u"2" || now == u"1")))
      LeaveFullScreen();
  }

  if (m_window.showPlayPage)
    m_window.showPlayPage();
  CurrentItem = item;
  item->number = 0;

  const QString &type = item->type;
  if (type == u"1" || type == u"2" || type == u"4") {
    const QString file = LocalFileOf(*item);
    if (file.isEmpty()) {
      if (m_fetch)
        m_fetch->StartFetch(item);
      return;
    }
    if (type == u"1") {
      ShockwaveFlash1->setBackgroundColor(0);
      showFlashPlayer();
      flashUsed = 1;
      ShockwaveFlash1->setScaleMode(2);
      if (IsFullScreen == 1 && m_window.pnlExitFullScreen)
        m_window.pnlExitFullScreen->raise();
      ShockwaveFlash1->setMovie(file);
      PlayStarted = true;
      ShockwaveFlash1->setLoop(false);
      ShockwaveFlash1->setFocus(Qt::OtherFocusReason);  // the game takes the keys
    } else if (type == u"4") {
      showFlashPlayer();
      flashUsed = 1;
      if (IsFullScreen == 1 && m_window.pnlExitFullScreen)
        m_window.pnlExitFullScreen->raise();
      ShockwaveFlash1->setFlashVars(VideoFlashVars(file));
      PlayStarted = true;
      ShockwaveFlash1->setMovie(AppDir + QStringLiteral("flvplayer.swf"));
      ShockwaveFlash1->setLoop(false);
    } else {
      showPageBrowser();
      audioUsed = 1;
      OpenPageChecked(wbMp3, AudioPageUrl(), OfflinePagePath());
      CreateMediaPlayer();
      PlayStarted = true;
      m_audio->playFile(file);
    }
  }

  setDownloadButton(true, QStringLiteral("下载该游戏"));
  setStatusFetching(false);

  if (m_list) {
    if (addToList)
      m_list->AddPlayedItem(item);
    else
      m_list->SavePlayList(m_list->playListTree());
  }
  if (PlayStarted) {
    ShowPlayStatus(1);
    if (m_fetch && m_list)
      m_fetch->PrefetchNext(m_list->playListTree());
  }
  Q_EMIT itemStarted(item);
}

void TPlayerHost::ReplayClick()
{
  if (CurrentItem)
    PlayItem(CurrentItem, true);
}

void TPlayerHost::imgFullScreenMouseDown()
{
  // The pressed picture ("Quanping3") is shown by the button's state rule.
  if (!CurrentItem)
    return;
  const QString &type = CurrentItem->type;
  if (type == u"1" || type == u"4")
    enterFullScreen();
  else if (type == u"2")
    ShowInfoBox(QStringLiteral("音频文件不能全屏!"), m_window.window);
}

void TPlayerHost::enterFullScreen()
{
  QWidget *win = m_window.window;
  if (!win)
    return;
  IsFullScreen = 1;
  pnlPlayFlv->hide();
  if (!m_fullScreen) {
    m_boundsBeforeFullScreen = win->geometry();
    if (IsMaximized == 0) {
      const QRect bounds = win->geometry();
      SavedBounds.left = bounds.x();
      SavedBounds.top = bounds.y();
      SavedBounds.width = bounds.width();
      SavedBounds.height = bounds.height();
    }
  }
  m_fullScreen = true;
  QScreen *screen = win->screen() ? win->screen() : QGuiApplication::primaryScreen();
  const QRect screenRect = screen ? screen->geometry() : win->geometry();
  win->setGeometry(screenRect);

  // The player leaves the play page and covers the whole window.
  if (ShockwaveFlash1->parentWidget() != win)
    ShockwaveFlash1->setParent(win);
  ShockwaveFlash1->setGeometry(0, 0, win->width(), win->height());
  ShockwaveFlash1->show();
  ShockwaveFlash1->raise();
  connect(downloadSkin, &SkinButton::pressed, this, [this](Qt::MouseButton b) {
    if (b == Qt::LeftButton)
      imgDownloadMouseDown();
  });

  if (QWidget *exitPanel = m_window.pnlExitFullScreen) {
    exitPanel->move(0, 0);
    exitPanel->show();
    exitPanel->raise();
  }
  ShockwaveFlash1->setFocus(Qt::OtherFocusReason);

  // Esc ends full screen wherever the keyboard focus is in the program.
  if (!m_escape) {
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), win);
    m_escape->setContext(Qt::ApplicationShortcut);
    connect(m_escape, &QShortcut::activated, this, [this] {
      if (m_window.pnlExitFullScreen && m_window.pnlExitFullScreen->isVisible())
        LeaveFullScreen();
    });
  }
}

void TPlayerHost::LeaveFullScreen()
{
  if (!m_fullScreen)
    return;
  QWidget *win = m_window.window;
  m_fullScreen = false;
  if (win) {
    if (IsMaximized == 1) {
      win->setGeometry(m_window.maximizedGeometry ? m_window.maximizedGeometry()
                                                  : m_boundsBeforeFullScreen);
    } else {
      const QRect saved(SavedBounds.left, SavedBounds.top, SavedBounds.width, SavedBounds.height);
      win->setGeometry(saved.isValid() ? saved : m_boundsBeforeFullScreen);
    }
  }
  // Back into the play page, filling it.
  ShockwaveFlash1->setParent(pnlConMain);
  fillConMain(ShockwaveFlash1);
  ShockwaveFlash1->show();
  if (wbMp3->isVisible() && CurrentItem && CurrentItem->type == u"2")
    wbMp3->raise();
  else
    ShockwaveFlash1->raise();
  if (m_window.pnlExitFullScreen)
    m_window.pnlExitFullScreen->hide();
  pnlPlayFlv->show();
  delete m_escape;
  IsFullScreen = 0;
}

void TPlayerHost::pnlConMainResize()
{
  if (ShockwaveFlash1->parentWidget() == pnlConMain && ShockwaveFlash1->isVisible()) {
    fillConMain(ShockwaveFlash1);
    if (isVisible())
      ShockwaveFlash1->setFocus(Qt::OtherFocusReason);
  }
  if (wbMp3->isVisible())
    fillConMain(wbMp3);
}

void TPlayerHost::wbMp3DocumentComplete(bool ok)
{
  if (ok)
    SetBrowserBodyStyle(wbMp3);
}

bool TPlayerHost::eventFilter(QObject *watched, QEvent *event)
{
  if (event->type() == QEvent::Resize) {
    if (watched == pnlConMain)
      pnlConMainResize();
    else if (watched == m_window.window && m_fullScreen)
      ShockwaveFlash1->setGeometry(0, 0, m_window.window->width(), m_window.window->height());
  }
  return QWidget::eventFilter(watched, event);
}

void TPlayerHost::CreateMediaPlayer()
{
  if (m_audio)
    return;
  QObject *owner = m_window.window ? static_cast<QObject *>(m_window.window) : this;
  m_audio = new TAudioPlayer(QStringLiteral("FrameMP") + QString::number(AudioPlayerSerial), owner);
}

void TPlayerHost::ReleaseMediaPlayer()
{
  if (m_audio) {
    if (m_audio->isPlaying()) {
      // A playing player is stopped and rewound, and stays.
      m_audio->stopAndRewind();
    } else {
      delete m_audio;
      m_audio = nullptr;
    }
  }
  ++AudioPlayerSerial;
}

void TPlayerHost::CloseMp3()
{
  ReleaseMediaPlayer();
  CreateMediaPlayer();
}
