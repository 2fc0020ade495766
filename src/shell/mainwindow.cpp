#include "shell/mainwindow.h"

#include "base/globals.h"
#include "net/enginelibrary.h"
#include "service/core/userservice.h"
#include "service/services.h"
#include "service/signinarea.h"
#include "shell/frame.h"
#include "shell/framefilter.h"
#include "shell/lifecycle.h"
#include "shell/mainwindow_skin.h"
#include "shell/tray.h"
#include "widgets/lxsimage.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineView>

// The engine's full type is needed where it is deleted.
#include "net/enginelibrary.h"

namespace {

constexpr int kCaptionHeight = 88;
constexpr int kStatusHeight = 24;
constexpr int kEdge = 8;
constexpr int kLeftWidth = 200;
constexpr int kNameHeight = 41;
constexpr int kCommentAdsHeight = 200;
constexpr int kTabHeight = 41;

tLxsimage *NewImage(QWidget *parent, const char *name)
{
  auto *img = new tLxsimage(parent);
  img->setObjectName(QString::fromLatin1(name));
  return img;
}

QLabel *NewLabel(QWidget *parent, const char *name, const QString &text)
{
  auto *l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

QVBoxLayout *EmptyColumn(QWidget *w)
{
  auto *lay = new QVBoxLayout(w);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);
  return lay;
}

}  // namespace

TfrmMain::TfrmMain(std::unique_ptr<IEngine> engine, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_engine(std::move(engine))
{
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Kestrova游戏"));
  QFont f(QStringLiteral("宋体"));
  f.setPixelSize(12);
  setFont(f);
  setMinimumSize(400, 300);
  setAttribute(Qt::WA_DeleteOnClose, false);

  buildCaption();
  buildBody();
  buildStatus();

  auto *root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);
  root->addWidget(pnlTop);
  root->addWidget(pnlMain, 1);
  root->addWidget(pnlStatus);

  pnlExitFullScreen = new QWidget(this);
  pnlExitFullScreen->setObjectName(QStringLiteral("pnlExitFullScreen"));
  pnlExitFullScreen->setFixedSize(40, 30);
  pnlExitFullScreen->hide();

  TimerSystemMsg = new QTimer(this);
  TimerSystemMsg->setObjectName(QStringLiteral("TimerSystemMsg"));
  TimerSystemMsg->setInterval(60000);
  TimerDownload = new QTimer(this);
  TimerDownload->setObjectName(QStringLiteral("TimerDownload"));
  TimerDownload->setInterval(1000);
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(500);

  frame = new MainFrame(this);
  tray = new TTrayMenu(this);
  filter = new FrameFilter(this);
  life = new StartupSequence(this);
  buildAreas();

  connect(Timer1, &QTimer::timeout, frame, [this] {
    Timer1->stop();
    frame->EndProgram();
  });
  connect(edtShowmessage, &QLineEdit::textChanged, life, &StartupSequence::edtShowmessageChange);
  connect(edtWsClientLogin, &QLineEdit::textChanged, life,
          &StartupSequence::edtWsClientLoginChange);

  // Window buttons.
  connect(limgMin, &tLxsimage::clicked, frame, &MainFrame::limgMinClick);
  connect(limgMax, &tLxsimage::clicked, frame, &MainFrame::limgMaxClick);
  connect(limgNor, &tLxsimage::clicked, frame, &MainFrame::limgNorClick);
  connect(limgClose, &tLxsimage::clicked, frame, &MainFrame::limgCloseClick);
  // Caption: press, move and release reach the frame with positions.
  imgTc->installEventFilter(this);
  // Status-bar links and their icons.
  for (QWidget *w : {static_cast<QWidget *>(lblSetting), static_cast<QWidget *>(Image2),
                     static_cast<QWidget *>(lblAdvice), static_cast<QWidget *>(Image1)})
    w->installEventFilter(this);
  pnlPages->installEventFilter(this);

  filter->addNoContextMenu(wbMain);

  // Design placement: the design size in the centre of the desktop.
  const QRect avail = screen() ? screen()->availableGeometry() : QRect(0, 0, 1280, 800);
  normalBounds = QRect(QPoint(0, 0), QSize(DesignWidth, DesignHeight));
  normalBounds.moveCenter(avail.center());
  setGeometry(normalBounds);
}

void TfrmMain::buildCaption()
{
  pnlTop = new QWidget(this);
  pnlTop->setObjectName(QStringLiteral("pnlTop"));
  pnlTop->setFixedHeight(kCaptionHeight);

  imgTc = NewImage(pnlTop, "imgTc");
  imgTc->setStretch(true);
  imgTl = NewImage(pnlTop, "imgTl");
  imgTl->setStretch(true);
  imgTr = NewImage(pnlTop, "imgTr");
  imgTr->setStretch(true);
  ShowFramePicture(imgTc, FramePiece::CaptionMiddle);
  ShowFramePicture(imgTl, FramePiece::CaptionLeft);
  ShowFramePicture(imgTr, FramePiece::CaptionRight);

  imgLogo = NewImage(pnlTop, "imgLogo");
  imgLogo->setGeometry(10, 15, 183, 58);
  ShowFramePicture(imgLogo, FramePiece::Logo);

  limgMin = NewImage(pnlTop, "limgMin");
  limgMax = NewImage(pnlTop, "limgMax");
  limgNor = NewImage(pnlTop, "limgNor");
  limgClose = NewImage(pnlTop, "limgClose");
  limgMin->setToolTip(QStringLiteral("最小化"));
  limgMax->setToolTip(QStringLiteral("最大化"));
  limgNor->setToolTip(QStringLiteral("还原"));
  limgClose->setToolTip(QStringLiteral("关闭"));
  new SkinButton(limgMin, QStringLiteral("Min"));
  new SkinButton(limgMax, QStringLiteral("Max"));
  new SkinButton(limgNor, QStringLiteral("Nor"));
  new SkinButton(limgClose, QStringLiteral("Close"));
  limgNor->hide();

  // The message channels: one-line boxes nobody sees.
  edtShowmessage = new QLineEdit(pnlTop);
  edtShowmessage->setObjectName(QStringLiteral("edtShowmessage"));
  edtShowmessage->hide();
  edtWsClientLogin = new QLineEdit(pnlTop);
  edtWsClientLogin->setObjectName(QStringLiteral("edtWsClientLogin"));
  edtWsClientLogin->hide();

  pnlTop->installEventFilter(this);
}

void TfrmMain::buildBody()
{
  pnlMain = new QWidget(this);
  pnlMain->setObjectName(QStringLiteral("pnlMain"));
  auto *row = new QHBoxLayout(pnlMain);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);

  imgLeftBorder = NewImage(pnlMain, "imgLeftBorder");
  imgLeftBorder->setFixedWidth(kEdge);
  imgLeftBorder->setStretch(true);
  ShowFramePicture(imgLeftBorder, FramePiece::BodyLeft);
  imgRightBorder = NewImage(pnlMain, "imgRightBorder");
  imgRightBorder->setFixedWidth(kEdge);
  imgRightBorder->setStretch(true);
  ShowFramePicture(imgRightBorder, FramePiece::BodyRight);
  limgFenge = NewImage(pnlMain, "limgFenge");
  limgFenge->setFixedWidth(2);
  limgFenge->setStretch(true);
  ShowFramePicture(limgFenge, FramePiece::Divider);

  // Left panel: the three tabs over the list pages, the advertisement panel
  // at the bottom.
  pnlLeft = new QWidget(pnlMain);
  pnlLeft->setObjectName(QStringLiteral("pnlLeft"));
  pnlLeft->setFixedWidth(kLeftWidth);
  pnlLeft->setAutoFillBackground(true);
  auto *left = EmptyColumn(pnlLeft);

  pnlTabs = new QWidget(pnlLeft);
  pnlTabs->setObjectName(QStringLiteral("pnlTabs"));
  pnlTabs->setFixedHeight(kTabHeight);
  ShowFrameBackground(pnlTabs, FramePiece::TabStrip);
  left->addWidget(pnlTabs);
  pnlPlayList = new QWidget(pnlLeft);
  pnlPlayList->setObjectName(QStringLiteral("pnlPlayList"));
  left->addWidget(pnlPlayList, 1);

  pnlCommentAds = new QWidget(pnlLeft);
  pnlCommentAds->setObjectName(QStringLiteral("pnlCommentAds"));
  pnlCommentAds->setFixedHeight(kCommentAdsHeight);
  EmptyColumn(pnlCommentAds);
  left->addWidget(pnlCommentAds);

  // Centre: the name bar over the pages.
  pnlMiddle = new QWidget(pnlMain);
  pnlMiddle->setObjectName(QStringLiteral("pnlMiddle"));
  auto *middle = EmptyColumn(pnlMiddle);
  pnlName = new QWidget(pnlMiddle);
  pnlName->setObjectName(QStringLiteral("pnlName"));
  pnlName->setFixedHeight(kNameHeight);
  ShowFrameBackground(pnlName, FramePiece::NameBar);
  auto *nameRow = new QHBoxLayout(pnlName);
  nameRow->setContentsMargins(8, 6, 12, 7);  // room for the 28-high page/play buttons
  nameRow->setSpacing(6);
  nameRow->addStretch(1);
  middle->addWidget(pnlName);

  pnlPages = new QWidget(pnlMiddle);
  pnlPages->setObjectName(QStringLiteral("pnlPages"));
  middle->addWidget(pnlPages, 1);
  PageControl1 = new QStackedWidget(pnlPages);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  tbsPage = new QWidget;
  tbsPage->setObjectName(QStringLiteral("tbsPage"));
  tbsPage->setWindowTitle(QStringLiteral("页面"));
  auto *pageLayout = EmptyColumn(tbsPage);
  pnlwbMain = new QWidget(tbsPage);
  pnlwbMain->setObjectName(QStringLiteral("pnlwbMain"));
  pnlwbMain->setFocusPolicy(Qt::StrongFocus);
  auto *wbLayout = EmptyColumn(pnlwbMain);
  wbMain = new QWebEngineView(pnlwbMain);
  wbMain->setObjectName(QStringLiteral("wbMain"));
  wbMain->setContextMenuPolicy(Qt::NoContextMenu);
  wbLayout->addWidget(wbMain);
  pageLayout->addWidget(pnlwbMain);
  tbsPlay = new QWidget;
  tbsPlay->setObjectName(QStringLiteral("tbsPlay"));
  tbsPlay->setWindowTitle(QStringLiteral("播放"));
  EmptyColumn(tbsPlay);
  PageControl1->addWidget(tbsPage);
  PageControl1->addWidget(tbsPlay);

  row->addWidget(imgLeftBorder);
  row->addWidget(pnlLeft);
  row->addWidget(limgFenge);
  row->addWidget(pnlMiddle, 1);
  row->addWidget(imgRightBorder);
}

void TfrmMain::buildStatus()
{
  pnlStatus = new QWidget(this);
  pnlStatus->setObjectName(QStringLiteral("pnlStatus"));
  pnlStatus->setFixedHeight(kStatusHeight);
  pnlStatus->setAutoFillBackground(true);
  QPalette pal = pnlStatus->palette();
  pal.setColor(QPalette::Window, QColor(213, 220, 241));
  pnlStatus->setPalette(pal);

  imgBottom = NewImage(pnlStatus, "imgBottom");
  imgBottom->setStretch(true);
  imgBottomLeft = NewImage(pnlStatus, "imgBottomLeft");
  imgBottomLeft->setStretch(true);
  imgBottomRight = NewImage(pnlStatus, "imgBottomRight");
  imgBottomRight->setStretch(true);
  ShowFramePicture(imgBottom, FramePiece::StatusMiddle);
  ShowFramePicture(imgBottomLeft, FramePiece::StatusLeft);
  ShowFramePicture(imgBottomRight, FramePiece::StatusRight);

  const QString linkStyle = QStringLiteral("color: rgb(40, 72, 128); background: transparent;");
  lblSysVersion = NewLabel(pnlStatus, "lblSysVersion", QString());
  lblSysVersion->setStyleSheet(linkStyle);
  lblSysVersion->move(14, 6);
  Image1 = NewImage(pnlStatus, "Image1");
  Image2 = NewImage(pnlStatus, "Image2");
  ShowFramePicture(Image1, FramePiece::AdviceIcon);
  ShowFramePicture(Image2, FramePiece::SettingIcon);
  lblAdvice = NewLabel(pnlStatus, "lblAdvice", QStringLiteral("意见反馈"));
  lblSetting = NewLabel(pnlStatus, "lblSetting", QStringLiteral("设置"));
  for (QWidget *w : {static_cast<QWidget *>(Image1), static_cast<QWidget *>(lblAdvice),
                     static_cast<QWidget *>(Image2), static_cast<QWidget *>(lblSetting)})
    w->setCursor(Qt::PointingHandCursor);
  for (QLabel *l : {lblAdvice, lblSetting}) {
    l->setStyleSheet(linkStyle);
    l->adjustSize();
  }
  pnlStatus->installEventFilter(this);
}

void TfrmMain::placeCaptionControls()
{
  const int w = pnlTop->width();
  imgTl->setGeometry(0, 0, kEdge, kCaptionHeight);
  imgTr->setGeometry(w - kEdge, 0, kEdge, kCaptionHeight);
  imgTc->setGeometry(kEdge, 0, qMax(0, w - 2 * kEdge), kCaptionHeight);
  // Window buttons keep their distance to the right edge (design: 929, 952,
  // 953 and 976 in a 1008 wide window).
  limgMin->setGeometry(w - (DesignWidth - 929), 1, 23, 16);
  limgMax->setGeometry(w - (DesignWidth - 952), 1, 23, 16);
  limgNor->setGeometry(w - (DesignWidth - 953), 1, 23, 16);
  limgClose->setGeometry(w - (DesignWidth - 976), 1, 23, 16);
  // The greeting sits at the right end of the caption, under the buttons.
  lblOnlineUser->move(w - 20 - lblOnlineUser->width(),
                      lblOnlineUser->y() ? lblOnlineUser->y() : 53);
  lblReg->move(w - 20 - lblReg->width(), 53);
  lblLogin->move(lblReg->x() - 12 - lblLogin->width(), 53);
}

void TfrmMain::placeStatusControls()
{
  const int w = pnlStatus->width();
  imgBottomLeft->setGeometry(0, 0, kEdge, kStatusHeight);
  imgBottomRight->setGeometry(w - kEdge, 0, kEdge, kStatusHeight);
  imgBottom->setGeometry(kEdge, 0, qMax(0, w - 2 * kEdge), kStatusHeight);
  int x = w - 16 - lblSetting->width();
  lblSetting->move(x, 6);
  Image2->setGeometry(x - 18, 4, 16, 16);
  x = Image2->x() - 20 - lblAdvice->width();
  lblAdvice->move(x, 6);
  Image1->setGeometry(x - 18, 4, 16, 16);
}

void TfrmMain::ShowSysVersion(const QString &text)
{
  lblSysVersion->setText(text);
  lblSysVersion->adjustSize();
}

void TfrmMain::FocusPortalPanel() { pnlwbMain->setFocus(); }
