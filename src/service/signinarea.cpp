#include "service/signinarea.h"

#include "base/config.h"
#include "base/globals.h"
#include "base/ini.h"
#include "net/enginelibrary.h"
#include "service/core/signin.h"
#include "service/core/userservice.h"
#include "service/services.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

namespace {
constexpr int kLabelTop = 53;
constexpr int kSignedInTop = 65;
constexpr int kRightMargin = 20;
}  // namespace

// --- TClientLogin ----------------------------------------------------------

TClientLogin::TClientLogin(IEngine *engine, int clientVersion, const QString &siteUrl)
    : m_engine(engine), m_clientVersion(clientVersion), m_siteUrl(siteUrl)
{
  setObjectName(QStringLiteral("TClientLogin"));
  connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TClientLogin *TClientLogin::Start(IEngine *engine, int clientVersion, const QString &siteUrl)
{
  auto *worker = new TClientLogin(engine, clientVersion, siteUrl);
  worker->start();
  return worker;
}

void TClientLogin::run()
{
  try {
    if (IEngine *engine = m_engine.data())
      engine->ClientLoginIn(m_clientVersion, m_siteUrl);
  } catch (...) {
  }
}

// --- TSignIn -----------------------------------------------------------------

TSignIn::TSignIn(QWidget *captionSlot, IEngine *engine, UserServices *services,
                 QLineEdit *messageChannel, IMainWindow *window, QObject *parent)
    : QObject(parent), m_slot(captionSlot), m_engine(engine), m_services(services),
      m_channel(messageChannel), m_window(window), m_calls(new BackgroundCalls(this))
{
  QFont font(QStringLiteral("宋体"));
  font.setPixelSize(12);
  font.setBold(true);
  const auto make = [&](const char *name, const QString &text) {
    auto *l = new QLabel(text, captionSlot);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->adjustSize();
    l->move(l->x(), kLabelTop);
    l->hide();
    l->setMouseTracking(true);
    l->installEventFilter(this);
    setLabelColour(l, Qt::white, false);
    return l;
  };
  lblOnlineUser = make("lblOnlineUser", QStringLiteral("您好，小朋友！"));
  lblLogin = make("lblLogin", QStringLiteral("登录"));
  lblReg = make("lblReg", QStringLiteral("免费注册"));
  lblLogin->setCursor(Qt::PointingHandCursor);
  lblReg->setCursor(Qt::PointingHandCursor);
  if (engine)
    connect(engine, &IEngine::signInResult, this, &TSignIn::SignInResult);
}

TSignIn::~TSignIn() { WaitForWorkers(); }

void TSignIn::StartClientLogin()
{
  if (!m_engine)
    return;
  m_workers.removeIf([](const QPointer<QThread> &w) { return w.isNull(); });
  m_workers.append(TClientLogin::Start(m_engine, ClientVersion, SiteUrl));
}

void TSignIn::WaitForWorkers()
{
  // The engine's sign-in ends within its own time-outs.
  for (const QPointer<QThread> &worker : std::as_const(m_workers)) {
    if (worker && worker->isRunning())
      worker->wait(QDeadlineTimer(20000));
  }
}

void TSignIn::setLabelColour(QLabel *label, const QColor &colour, bool underline)
{
  QFont f = label->font();
  f.setUnderline(underline);
  label->setFont(f);
  label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(colour.name()));
}

void TSignIn::placeLabels()
{
  // Right-aligned in the caption, as the window lays them out.
  const int w = m_slot->width();
  lblOnlineUser->adjustSize();
  lblOnlineUser->move(w - kRightMargin - lblOnlineUser->width(), lblOnlineUser->y());
}

void TSignIn::ShowSignedIn(int level, int points, int userNumber)
{
  const QRect before = lblOnlineUser->geometry();
  lblOnlineUser->move(lblOnlineUser->x(), kSignedInTop);
  lblOnlineUser->setText(SignedInCaption(UserName, level, points));
  placeLabels();
  // Hidden, repainted and shown, so the transparent label is drawn anew
  // over a clean caption where the old text was.
  lblOnlineUser->hide();
  m_slot->repaint(before.united(lblOnlineUser->geometry()));
  lblOnlineUser->show();
  lblLogin->hide();
  lblReg->hide();
  RecordSignedIn(userNumber);
}

void TSignIn::ShowRefused()
{
  lblOnlineUser->hide();
  lblLogin->show();
  lblReg->show();
}

void TSignIn::SignInResult(int result, int userNumber, int points, int level)
{
  const SignInDecision d = DecideSignInResult(result);
  switch (d.kind) {
  case SignInDecision::ShowSignedIn:
    ShowSignedIn(level, points, userNumber);
    break;
  case SignInDecision::Refused:
    ShowRefused();
    if (m_channel)
      m_channel->setText(d.message);
    break;
  case SignInDecision::TryService:
    if (m_channel)
      m_channel->setText(QStringLiteral("wslogin"));
    break;
  }
}

bool TSignIn::SignInWithService(const QString &name, const QString &password)
{
  return SignInWithServiceOutcome(name, password) == ServiceSignIn::Accepted;
}

ServiceSignIn TSignIn::SignInWithServiceOutcome(const QString &name, const QString &password)
{
  KsvUserCurPoint answer;
  ServiceSignIn outcome = ServiceSignIn::Failed;
  if (m_services) {
    const std::lock_guard<std::mutex> lock(m_services->sharedLock);
    outcome = CallServiceSignIn(m_services->shared, name, password, &answer);
  }
  if (outcome == ServiceSignIn::Accepted)
    ShowSignedIn(answer.curLevel, answer.usesValue, answer.userId);
  return outcome;
}

void TSignIn::wsLogin()
{
  if (!HasCredentials()) {
    // Nobody to sign in with: the links let the user sign in (or register)
    // instead of leaving the caption without a way to.
    if (!SignedIn) {
      lblLogin->show();
      lblReg->show();
    }
    return;
  }
  // The call runs on a worker; the window outlives it (it waits for its
  // calls before the proxies go).
  UserServices *services = m_services;
  const QString name = UserName;
  const QString password = UserPassword;
  m_calls->run<std::pair<bool, KsvUserCurPoint>>(
      [services, name, password] {
        KsvUserCurPoint answer;
        if (!services)
          return std::make_pair(false, answer);
        const std::lock_guard<std::mutex> lock(services->sharedLock);
        const bool ok = AskServiceSignIn(services->shared, name, password, &answer);
        return std::make_pair(ok, answer);
      },
      [this, name](std::pair<bool, KsvUserCurPoint> got) {
        if (got.first) {
          if (UserName == name)
            ShowSignedIn(got.second.curLevel, got.second.usesValue, got.second.userId);
          return;
        }
        ShowRefused();
        ForgetSignIn();
      });
}

QString TSignIn::RegistrationUrl()
{
  QString site = SiteUrl;
  while (site.endsWith(QLatin1Char('/')))
    site.chop(1);
  return site + QStringLiteral("/register.htm");
}

void TSignIn::lblLoginClick()
{
  TfrmWinTemplate::RunModal(new TfrmSignIn(this, m_window ? m_window->mainWidget() : nullptr));
}

void TSignIn::lblRegClick() { OpenInDesktop(RegistrationUrl()); }

bool TSignIn::eventFilter(QObject *watched, QEvent *event)
{
  auto *label = qobject_cast<QLabel *>(watched);
  if (label && (label == lblOnlineUser || label == lblLogin || label == lblReg)) {
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
      if (label == lblOnlineUser)
        setLabelColour(label, QColor(0, 255, 255), true);
      else
        setLabelColour(label, QColor(255, 0, 0), false);
      break;
    case QEvent::Leave:
      setLabelColour(label, Qt::white, false);
      break;
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton ||
          !label->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
        break;
      if (label == lblLogin)
        QMetaObject::invokeMethod(this, &TSignIn::lblLoginClick, Qt::QueuedConnection);
      else if (label == lblReg)
        lblRegClick();
      break;
    default:
      break;
    }
  }
  return QObject::eventFilter(watched, event);
}

// --- TfrmSignIn ------------------------------------------------------------------

TfrmSignIn::TfrmSignIn(TSignIn *signIn, QWidget *owner)
    : TfrmWinTemplate(owner, QSize(320, 210)), m_signIn(signIn)
{
  setObjectName(QStringLiteral("frmSignIn"));
  setCaption(QStringLiteral("登录"));
  AddText(pnlMain, QStringLiteral("用户名："), QPoint(30, 28));
  AddText(pnlMain, QStringLiteral("密　码："), QPoint(30, 62));
  edtUserName = new QLineEdit(UserName, pnlMain);
  edtUserName->setObjectName(QStringLiteral("edtUserName"));
  edtUserName->setGeometry(100, 24, 170, 22);
  edtUserName->setMaxLength(64);
  edtPassword = new QLineEdit(pnlMain);
  edtPassword->setObjectName(QStringLiteral("edtPassword"));
  edtPassword->setGeometry(100, 58, 170, 22);
  edtPassword->setEchoMode(QLineEdit::Password);
  edtPassword->setMaxLength(64);
  if (RememberPassword == QLatin1String("1"))
    edtPassword->setText(UserPassword);
  chkRemember = new QCheckBox(QStringLiteral("记住密码"), pnlMain);
  chkRemember->setObjectName(QStringLiteral("chkRemember"));
  StyleText(chkRemember);
  chkRemember->move(100, 90);
  chkRemember->adjustSize();
  chkRemember->setChecked(RememberPassword == QLatin1String("1"));
  limgOk =
      AddButton(pnlMain, QStringLiteral("ok"), QRect(120, 122, 80, 26), [this] { limgOkClick(); });
  limgOk->setObjectName(QStringLiteral("limgOk"));
  connect(edtPassword, &QLineEdit::returnPressed, this, &TfrmSignIn::limgOkClick);
}

void TfrmSignIn::limgOkClick()
{
  const QString name = edtUserName->text().trimmed();
  const QString password = edtPassword->text();
  if (name.isEmpty() || password.isEmpty()) {
    ShowInfoBox(MsgSignInEmpty, this);
    (name.isEmpty() ? edtUserName : edtPassword)->setFocus();
    return;
  }
  RememberPassword = chkRemember->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
  WriteIniValue(LocalIniFile, QString::fromLatin1(LocalIniSection), QStringLiteral("2"),
                RememberPassword);
  const QString previousName = UserName;
  const QString previousPassword = UserPassword;
  UserName = name;
  UserPassword = password;
  const ServiceSignIn outcome = m_signIn->SignInWithServiceOutcome(name, password);
  if (outcome == ServiceSignIn::Accepted) {
    Tag = 1;
    close();
    return;
  }
  // Refused or not reached: the dialog keeps what was typed; the user signed
  // in before (if any) stays.
  UserName = previousName;
  UserPassword = previousPassword;
  ShowInfoBox(outcome == ServiceSignIn::Refused ? MsgSignInRefused : MsgSignInNoService, this);
}
