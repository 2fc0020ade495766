#include "servicetest.h"
#include "testdesktop.h"

#include "crypto/cipher.h"
#include "service/services.h"
#include "service/signinarea.h"
#include "waitfor.h"
#include "widgets/dialogs.h"
#include "widgets/mainwindowport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

// The caption panel and the message channel of a window, and the sign-in
// area built into them.
class SignInArea : public FreshAppDir {
protected:
  // Real boxes and dialogs, played by the test; nothing opens outside.
  PlayedDesktop desktop_;
protected:
  void SetUp() override
  {
    FreshAppDir::SetUp();
    caption_.resize(1008, 88);
    channel_ = new QLineEdit(&caption_);
    channel_->hide();
    QObject::connect(channel_, &QLineEdit::textChanged,
                     [this](const QString &t) { written_.append(t); });
    services_.shared = &service_;
    area_ = std::make_unique<TSignIn>(&caption_, nullptr, &services_, channel_, nullptr);
    caption_.show();
  }
  void TearDown() override
  {
    area_.reset();
    FreshAppDir::TearDown();
  }
  bool Greeting() const { return area_->lblOnlineUser->isVisibleTo(&caption_); }
  bool Links() const
  {
    return area_->lblLogin->isVisibleTo(&caption_) && area_->lblReg->isVisibleTo(&caption_);
  }

  QWidget caption_;
  QLineEdit *channel_ = nullptr;
  QStringList written_;
  FakeUserService service_;
  UserServices services_;
  std::unique_ptr<TSignIn> area_;
};

TEST_F(SignInArea, LabelsStartHiddenWithTheirCaptions)
{
  EXPECT_EQ(area_->lblOnlineUser->text(), QStringLiteral("您好，小朋友！"));
  EXPECT_EQ(area_->lblLogin->text(), QStringLiteral("登录"));
  EXPECT_EQ(area_->lblReg->text(), QStringLiteral("免费注册"));
  EXPECT_FALSE(Greeting());
  EXPECT_FALSE(area_->lblLogin->isVisibleTo(&caption_));
  EXPECT_FALSE(area_->lblReg->isVisibleTo(&caption_));
  EXPECT_EQ(area_->lblOnlineUser->y(), 53);
}

TEST_F(SignInArea, EngineResultsShowGreetingOrRefusalOrAskTheService)
{
  UserName = QStringLiteral("xiaoming");
  UserPassword = QStringLiteral("123456");
  RememberPassword = QStringLiteral("1");
  area_->SignInResult(0, 1001, 120, 3);
  EXPECT_TRUE(Greeting());
  EXPECT_FALSE(area_->lblLogin->isVisibleTo(&caption_));
  EXPECT_EQ(area_->lblOnlineUser->text(), QStringLiteral("xiaoming[3级/120分]"));
  EXPECT_EQ(area_->lblOnlineUser->y(), 65);
  // Right-aligned, whole caption visible.
  EXPECT_EQ(area_->lblOnlineUser->geometry().right() + 1, caption_.width() - 20);
  EXPECT_TRUE(SignedIn);
  EXPECT_EQ(UserId, 1001);
  EXPECT_EQ(Ini("4"), EncipherText(QStringLiteral("xiaoming")));
  EXPECT_EQ(Ini("5"), EncipherText(QStringLiteral("123456")));
  EXPECT_TRUE(written_.isEmpty());

  struct Case {
    int result;
    QString message;
  };
  const Case refusals[] = {{-1004, QStringLiteral("用户不存在!")},
                           {-1005, QStringLiteral("用户密码不正确!")},
                           {-1006, QStringLiteral("用户信息错误!")}};
  for (const Case &c : refusals) {
    SCOPED_TRACE(c.result);
    written_.clear();
    area_->SignInResult(c.result, 0, 0, 0);
    EXPECT_FALSE(Greeting());
    EXPECT_TRUE(Links());
    EXPECT_EQ(written_, QStringList{c.message});
  }
  // A refusal after a success leaves SignedIn and UserId as they were.
  EXPECT_TRUE(SignedIn);
  EXPECT_EQ(UserId, 1001);

  written_.clear();
  area_->SignInResult(1, 0, 0, 0);
  EXPECT_EQ(written_, QStringList{QStringLiteral("wslogin")});
  EXPECT_TRUE(service_.calls.isEmpty());  // the channel's handler asks, not this
}

TEST_F(SignInArea, WebServiceSignInOnWsLogin)
{
  // Without both credentials the service is not asked; the links offer the
  // sign-in dialog instead.
  UserName = QStringLiteral("xiaoming");
  area_->wsLogin();
  EXPECT_TRUE(area_->calls()->waitIdle(5000));
  EXPECT_TRUE(service_.calls.isEmpty());
  EXPECT_FALSE(Greeting());
  EXPECT_TRUE(Links());

  // Accepted: the greeting from the answer.
  UserPassword = QStringLiteral("123456");
  service_.login.curResult = 1;
  service_.login.userId = 1001;
  service_.login.curLevel = 3;
  service_.login.usesValue = 120;
  area_->wsLogin();
  ASSERT_TRUE(area_->calls()->waitIdle(5000));
  EXPECT_EQ(service_.calls,
            QStringList{QStringLiteral("userLogin xiaoming e10adc3949ba59abbe56e057f20f883e")});
  EXPECT_TRUE(Greeting());
  EXPECT_EQ(area_->lblOnlineUser->text(), QStringLiteral("xiaoming[3级/120分]"));
  EXPECT_EQ(UserId, 1001);
  EXPECT_EQ(Ini("5"), QString());  // RememberPassword "0"

  // Refused, or the service fails: the links, the credentials forgotten.
  for (const char *failure : {static_cast<const char *>(nullptr), "no connection"}) {
    UserName = QStringLiteral("xiaoming");
    UserPassword = QStringLiteral("bad");
    SignedIn = true;
    service_.login.curResult = 2;
    service_.failWith = failure;
    area_->wsLogin();
    ASSERT_TRUE(area_->calls()->waitIdle(5000));
    EXPECT_FALSE(Greeting());
    EXPECT_TRUE(Links());
    EXPECT_TRUE(UserName.isEmpty());
    EXPECT_TRUE(UserPassword.isEmpty());
    EXPECT_FALSE(SignedIn);
  }
}

TEST_F(SignInArea, SignInDialogKeepsWhatWasTypedUntilAccepted)
{
  TfrmSignIn *seen = nullptr;
  QStringList boxes;
  PlayDialogsWith([&](TfrmWinTemplate *dlg) {
    auto *d = qobject_cast<TfrmSignIn *>(dlg);
    ASSERT_NE(d, nullptr);
    seen = d;
    EXPECT_EQ(d->caption(), QStringLiteral("登录"));
    EXPECT_EQ(d->chkRemember->text(), QStringLiteral("记住密码"));
    EXPECT_FALSE(d->chkRemember->isChecked());
    ScopedDialogRecorder rec;
    // Nothing typed: asked for both.
    d->limgOkClick();
    // Refused by the service: stays open with the text.
    d->edtUserName->setText(QStringLiteral(" xiaoming "));
    d->edtPassword->setText(QStringLiteral("wrong"));
    service_.login.curResult = 2;
    d->limgOkClick();
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->edtPassword->text(), QStringLiteral("wrong"));
    EXPECT_TRUE(UserName.isEmpty());
    // The service not reached: told so, still open.
    service_.failWith = "connection refused";
    d->limgOkClick();
    EXPECT_TRUE(d->isVisible());
    service_.failWith = nullptr;
    // Accepted, with the password remembered.
    d->edtPassword->setText(QStringLiteral("123456"));
    d->chkRemember->setChecked(true);
    service_.login = {};
    service_.login.curResult = 1;
    service_.login.userId = 1001;
    service_.login.curLevel = 3;
    service_.login.usesValue = 120;
    d->limgOkClick();
    EXPECT_FALSE(d->isVisible());
    boxes = rec.infoTexts();
  });
  area_->lblLoginClick();
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(boxes, (QStringList{MsgSignInEmpty, MsgSignInRefused, MsgSignInNoService}));
  EXPECT_EQ(UserName, QStringLiteral("xiaoming"));
  EXPECT_TRUE(Greeting());
  EXPECT_EQ(area_->lblOnlineUser->text(), QStringLiteral("xiaoming[3级/120分]"));
  EXPECT_EQ(Ini("2"), QStringLiteral("1"));
  EXPECT_EQ(DecipherText(Ini("4")), QStringLiteral("xiaoming"));
  EXPECT_EQ(DecipherText(Ini("5")), QStringLiteral("123456"));
  EXPECT_EQ(service_.calls.size(), 3);
}

TEST_F(SignInArea, LinkLabelsClickAndHover)
{
  SiteUrl = QStringLiteral("http://127.0.0.1:5/");
  ScopedDesktopRecorder desktop;
  area_->ShowRefused();
  QTest::mouseClick(area_->lblReg, Qt::LeftButton);
  EXPECT_EQ(desktop.opened, QStringList{QStringLiteral("http://127.0.0.1:5/register.htm")});

  QEvent enter(QEvent::Enter);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(area_->lblReg, &enter);
  EXPECT_TRUE(area_->lblReg->styleSheet().contains(QStringLiteral("#ff0000")));
  QCoreApplication::sendEvent(area_->lblReg, &leave);
  EXPECT_TRUE(area_->lblReg->styleSheet().contains(QStringLiteral("#ffffff")));
  QCoreApplication::sendEvent(area_->lblOnlineUser, &enter);
  EXPECT_TRUE(area_->lblOnlineUser->styleSheet().contains(QStringLiteral("#00ffff")));
  EXPECT_TRUE(area_->lblOnlineUser->font().underline());
  EXPECT_TRUE(area_->lblOnlineUser->font().bold());
  QCoreApplication::sendEvent(area_->lblOnlineUser, &leave);
  EXPECT_FALSE(area_->lblOnlineUser->font().underline());
  EXPECT_TRUE(area_->lblOnlineUser->font().bold());
}

}  // namespace
