#include "shell/mainwindow.h"

#include "base/globals.h"
#include "catalog/categorybar.h"
#include "catalog/channeltree.h"
#include "catalog/listtabs.h"
#include "catalog/portalbrowser.h"
#include "catalog/searchbox.h"
#include "download/downloadarea.h"
#include "lists/favorites.h"
#include "lists/playback.h"
#include "lists/playlist.h"
#include "net/enginelibrary.h"
#include "player/playerhost.h"
#include "service/adviceform.h"
#include "service/commentsarea.h"
#include "service/core/userservice.h"
#include "service/services.h"
#include "service/signinarea.h"
#include "service/updatearea.h"
#include "shell/frame.h"
#include "shell/framefilter.h"
#include "shell/lifecycle.h"
#include "widgets/lxsimage.h"

#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTimer>

// The areas of the main window, each built into the slot the frame left for
// it, and what the window does for them (IMainWindow).  A new area is made
// here, in the order its neighbours need: sign-in before the catalog (the
// caption), the catalog before playback (the list tabs), playback before the
// downloads, the portal browser and the accounts areas that use it.
void TfrmMain::buildAreas()
{
  // --- Sign-in: the caption's greeting and link labels ------------------------
  userServices = std::make_unique<UserServices>();
  signIn = new TSignIn(pnlTop, m_engine.get(), userServices.get(), edtShowmessage, this, this);
  lblOnlineUser = signIn->lblOnlineUser;
  lblLogin = signIn->lblLogin;
  lblReg = signIn->lblReg;
  // ---------------------------------------------------------------------------
  // --- Catalog: the left tabs, the channel tree, the category bar -----------
  listTabs = new TListTabs(this, pnlTabs, pnlPlayList, this);
  imgTuijian = listTabs->imgTuijian;
  imgSelfSel = listTabs->imgSelfSel;
  imgFavorite = listTabs->imgFavorite;
  tabSkins = listTabs->tabSkins;
  tabGroup = listTabs->tabGroup;
  PageControl2 = listTabs->PageControl2;
  tbsChannel = listTabs->tbsChannel;
  tbsPlayList = listTabs->tbsPlayList;
  tbsFavorite = listTabs->tbsFavorite;
  channels = new TChannelTree(this, tbsChannel, wbMain, pnlwbMain, this);
  tv1 = channels->tv1;
  categoryBar = new TCategoryBar(this, pnlTop, channels, listTabs, wbMain, this);
  categoryButtons = categoryBar->categoryButtons;
  categorySkins = categoryBar->categorySkins;
  categoryGroup = categoryBar->categoryGroup;
  // ---------------------------------------------------------------------------
  // --- Playback and the play list -------------------------------------------
  // The play page goes on tbsPlay, the play list on tbsPlayList; the fetch
  // runs on TimerDownload.  Everything else of it lives in TPlayback.
  playback = new TPlayback(this, m_engine.get(), tbsPlay, tbsPlayList, TimerDownload, this);
  playback->list->releaseActiveListTab = [this] { listTabs->ReleaseActiveListTab(); };
  connect(tabSkins[1], &SkinButton::pressed, playback->list, [this](Qt::MouseButton button) {
    if (button == Qt::LeftButton)
      playback->list->imgSelfSelMouseDown();
  });
  // --- Favorites (tbsFavorite) and the list organiser -----------------------
  playback->AddFavorites(tbsFavorite);
  connect(tabSkins[2], &SkinButton::pressed, playback->favorites, [this](Qt::MouseButton button) {
    if (button == Qt::LeftButton)
      playback->favorites->imgFavoriteMouseDown();
  });
  // --- Downloads: the download window, the play page's download button ------
  downloads = new TDownloadArea(this, m_engine.get(), playback->fetch, playback->host, this);
  // --- Portal browser: wbMain's page and its link commands --------------------
  portal = new TPortalBrowser(this, wbMain, PageControl1, pnlName, playback, downloads, this);
  // --- Search box (edtkey and imgSearch at the end of pnlName) ---------------
  search = new TSearchBox(pnlName, this, wbMain);
  edtkey = search->edtkey;
  // ---------------------------------------------------------------------------
  // --- Comments, system messages, the update check, feedback -----------------
  comments = new TComments(pnlCommentAds, TimerSystemMsg, this, this);
  updateCheck =
      new TUpdateCheck(m_engine.get(), userServices.get(), edtWsClientLogin, Timer1, this, this);
  frame->openFeedback = [this] {
    TfrmAdvice::Open(userServices.get(), {lblSysVersion->text(), PageControl1->currentIndex() == 1},
                     this);
  };
  // The play bar's comment and feedback buttons (their pressed pictures come
  // from their skin rule first).
  connect(playback->host->commentSkin, &SkinButton::pressed, comments,
          [this](Qt::MouseButton button) {
            if (button == Qt::LeftButton)
              comments->imgCommentMouseDown();
          });
  connect(playback->host->adviceSkin, &SkinButton::pressed, frame, [this](Qt::MouseButton button) {
    if (button == Qt::LeftButton)
      frame->lblAdviceClick();
  });
  // The web service sign-in and the update request arrive through the
  // message channels.
  OnChannelMessage(MessageChannel::ShowMessage, MsgWsLogin, [this] { signIn->wsLogin(); });
  OnChannelMessage(MessageChannel::WsClientLogin, MsgWsClientLogin,
                   [this] { updateCheck->RequestVersionInfo(ServiceNumber); });
  // ---------------------------------------------------------------------------
}

IEngine *TfrmMain::engine() const { return m_engine.get(); }

void TfrmMain::setUserService(std::unique_ptr<IUserService> shared,
                              std::function<std::unique_ptr<IUserService>()> makeAdviceProxy)
{
  m_sharedService = std::move(shared);
  userServices->shared = m_sharedService.get();
  userServices->makeAdviceProxy = std::move(makeAdviceProxy);
}

void TfrmMain::ShowCentrePage(int page) { PageControl1->setCurrentIndex(page); }

void TfrmMain::ShowListPage(int page) { PageControl2->setCurrentIndex(page); }

QRect TfrmMain::MaximizedGeometry() const { return frame->MaximizedGeometry(); }

void TfrmMain::addNoContextMenu(QWidget *w) { filter->addNoContextMenu(w); }

void TfrmMain::EndProgram() { frame->EndProgram(); }

void TfrmMain::OpenSettings() { frame->lblSettingClick(); }

void TfrmMain::SendChannelMessage(MessageChannel channel, const QString &text)
{
  (channel == MessageChannel::ShowMessage ? edtShowmessage : edtWsClientLogin)->setText(text);
}

void TfrmMain::OnChannelMessage(MessageChannel channel, const QString &text,
                                std::function<void()> handler)
{
  life->RegisterMessage(channel, text, std::move(handler));
}

TfrmMain::~TfrmMain()
{
  if (life && !life->destroyed())
    life->FormDestroy();
  // The account areas wait for their web service calls; they go before the
  // proxies they use.
  delete updateCheck;
  delete comments;
  delete signIn;
  filter->uninstall();
}
