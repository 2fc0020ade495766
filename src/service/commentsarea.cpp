#include "service/commentsarea.h"

#include "base/globals.h"
#include "net/netroutines.h"
#include "player/core/ksvplay.h"
#include "player/pagebrowser.h"
#include "service/core/comments.h"
#include "service/services.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

QScreen *PrimaryScreen() { return QGuiApplication::primaryScreen(); }

}  // namespace

// --- TfrmComment -------------------------------------------------------------

TfrmComment::TfrmComment(const QString &commentAddress, QWidget *owner)
    : TfrmWinTemplate(owner, QSize(374, 506)), address(commentAddress)
{
  setObjectName(QStringLiteral("frmComment"));
  setCaption(QStringLiteral("评论"));
  wbComment = new QWebEngineView(pnlMain);
  wbComment->setObjectName(QStringLiteral("wbComment"));
  auto *lay = new QVBoxLayout(pnlMain);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->addWidget(wbComment);
  OpenPage(wbComment, address);
}

// --- TfrmSystemMsg -------------------------------------------------------------

std::function<QRect()> TfrmSystemMsg::workArea = [] {
  QScreen *s = PrimaryScreen();
  return s ? s->availableGeometry() : QRect(0, 0, 1280, 800);
};
std::function<QRect()> TfrmSystemMsg::screenArea = [] {
  QScreen *s = PrimaryScreen();
  return s ? s->geometry() : QRect(0, 0, 1280, 800);
};

TfrmSystemMsg::TfrmSystemMsg(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
  setObjectName(QStringLiteral("frmSystemMsg"));
  setWindowTitle(QStringLiteral("最新消息"));
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(350, 300);

  wbSystemMsg = new QWebEngineView(this);
  wbSystemMsg->setObjectName(QStringLiteral("wbSystemMsg"));
  wbSystemMsg->setGeometry(rect());
  // The message page is read fresh each time: a profile of its own with no
  // HTTP cache.
  auto *profile = new QWebEngineProfile(wbSystemMsg);
  profile->setHttpCacheType(QWebEngineProfile::NoCache);
  wbSystemMsg->setPage(new QWebEnginePage(profile, wbSystemMsg));
  connect(wbSystemMsg, &QWebEngineView::loadFinished, this,
          &TfrmSystemMsg::wbSystemMsgDocumentComplete);

  imgClose = new tLxsimage(this);
  imgClose->setObjectName(QStringLiteral("imgClose"));
  imgClose->setGeometry(width() - 41, 0, 41, 15);
  imgClose->setText(QStringLiteral("X"));
  imgClose->setAlignment(Qt::AlignCenter);
  imgClose->setStretch(true);
  imgClose->setPixmap(SkinPixmap(QStringLiteral("smallclose1")));
  imgClose->setCursor(Qt::PointingHandCursor);
  imgClose->setToolTip(QStringLiteral("关闭"));
  imgClose->raise();
  connect(imgClose, &tLxsimage::clicked, this, &TfrmSystemMsg::imgCloseClick);

  Timer1 = new QTimer(this);
  Timer1->setInterval(3600000);
  connect(Timer1, &QTimer::timeout, this, &QWidget::close);
}

TfrmSystemMsg::~TfrmSystemMsg() = default;

void TfrmSystemMsg::Offer()
{
  const QRect work = workArea();
  move(work.width() - width(), screenArea().height());
  show();
  slideFlag = 0;
  wbSystemMsg->load(QUrl(MiniIndexUrl));
}

void TfrmSystemMsg::wbSystemMsgDocumentComplete(bool)
{
  const QString address = currentAddress ? currentAddress() : wbSystemMsg->url().toString();
  if (!SameAddress(address, MiniIndexUrl) || slideFlag != 0)
    return;
  SlideIn();
}

void TfrmSystemMsg::SlideIn()
{
  slideFlag = 1;
  const int workHeight = workArea().height();
  move(x(), workHeight);
  for (int top : SlideInTops(workHeight, height())) {
    move(x(), top);
    QThread::msleep(1);
    QCoreApplication::processEvents();
    if (!isVisible())
      return;  // closed meanwhile
  }
  Timer1->start();
}

void TfrmSystemMsg::imgCloseClick() { close(); }

// --- TComments -------------------------------------------------------------------

TComments::TComments(QWidget *adsSlot, QTimer *systemMsgTimer, IMainWindow *window, QObject *parent)
    : QObject(parent), m_adsSlot(adsSlot), m_timer(systemMsgTimer), m_window(window),
      m_calls(new BackgroundCalls(this))
{
  urlAnswers = [](const QString &address) { return UrlAnswers(address); };
  wbChat = new QWebEngineView(adsSlot);
  wbChat->setObjectName(QStringLiteral("wbChat"));
  wbChat->setContextMenuPolicy(Qt::NoContextMenu);
  if (adsSlot->layout())
    adsSlot->layout()->addWidget(wbChat);
  connect(wbChat, &QWebEngineView::loadFinished, this, &TComments::wbChatDocumentComplete);
  if (window)
    window->addNoContextMenu(wbChat);
  if (m_timer)
    connect(m_timer, &QTimer::timeout, this, &TComments::TimerSystemMsgTimer);
}

TComments::~TComments()
{
  if (m_systemMsg)
    delete m_systemMsg.data();
}

void TComments::InitCommentAds()
{
  m_adsSlot->hide();
  const QString address = CommentAdsUrl;
  if (address.isEmpty())
    return;
  const auto answers = urlAnswers;
  m_calls->run<bool>([answers, address] { return answers(address); },
                     [this, address](bool ok) {
                       if (ok && address == CommentAdsUrl)
                         OpenPage(wbChat, address);
                     });
}

void TComments::wbChatDocumentComplete(bool)
{
  // loadFinished reports the top-level document only.
  SetBrowserBodyStyle(wbChat);
  m_adsSlot->setVisible(!CommentAdsUrl.isEmpty() &&
                        SameAddress(wbChat->url().toString(), CommentAdsUrl));
}

void TComments::imgCommentMouseDown()
{
  // Without an item on the play page there is nothing to comment on.
  if (!CurrentItem)
    return;
  const QString address = CommentAddress(CommentUrl, CurrentItem->id, UserId);
  TfrmWinTemplate::RunModal(new TfrmComment(address, m_window ? m_window->mainWidget() : nullptr));
}

void TComments::TimerSystemMsgTimer()
{
  SystemMsgClock clock(&SystemMsgTicks);
  if (!clock.Tick())
    return;
  const QString address = MiniIndexUrl;
  if (address.isEmpty())
    return;
  const auto answers = urlAnswers;
  m_calls->run<bool>([answers, address] { return answers(address); },
                     [this](bool ok) {
                       if (!ok)
                         return;
                       SystemMsgClock again(&SystemMsgTicks);
                       if (again.Answered(IsFullScreen == 1))
                         OfferSystemMsg();
                     });
}

void TComments::OfferSystemMsg()
{
  try {
    if (!m_systemMsg)
      m_systemMsg = new TfrmSystemMsg;
    m_systemMsg->Offer();
  } catch (...) {
  }
}

void TComments::StartSystemMessages() { m_timer->start(); }
