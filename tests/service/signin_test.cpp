#include "servicetest.h"

#include "crypto/cipher.h"
#include "service/core/signin.h"

namespace {

class SignInCore : public FreshAppDir {};

TEST(SignInTable, EachResultCodeHasItsEffectAndMessage)
{
  struct Case {
    int result;
    SignInDecision::Kind kind;
    QString message;
  };
  const Case cases[] = {
      {0, SignInDecision::ShowSignedIn, {}},
      {-1004, SignInDecision::Refused, QStringLiteral("用户不存在!")},
      {-1005, SignInDecision::Refused, QStringLiteral("用户密码不正确!")},
      {-1006, SignInDecision::Refused, QStringLiteral("用户信息错误!")},
      {1, SignInDecision::TryService, {}},
      {-1, SignInDecision::TryService, {}},
      {-1003, SignInDecision::TryService, {}},
      {-1007, SignInDecision::TryService, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.result);
    const SignInDecision d = DecideSignInResult(c.result);
    EXPECT_EQ(d.kind, c.kind);
    EXPECT_EQ(d.message, c.message);
  }
}

TEST(SignInTable, CaptionPutsLevelBeforeJiAndPointsBeforeFen)
{
  EXPECT_EQ(SignedInCaption(QStringLiteral("xiaoming"), 3, 120),
            QStringLiteral("xiaoming[3级/120分]"));
  EXPECT_EQ(SignedInCaption(QString(), 0, 7), QStringLiteral("[0级/7分]"));
}

// Keys "4" and "5" after a sign-in: the password is kept only when
// RememberPassword is exactly "1".
TEST_F(SignInCore, StoredKeysFollowRememberPassword)
{
  struct Case {
    QString remember;
    QString name, password;
    bool keepsPassword;
  };
  const Case cases[] = {
      {QStringLiteral("1"), QStringLiteral("xiaoming"), QStringLiteral("123456"), true},
      {QStringLiteral("0"), QStringLiteral("xiaoming"), QStringLiteral("123456"), false},
      {QString(), QStringLiteral("xiaoming"), QStringLiteral("123456"), false},
      {QStringLiteral(" 1"), QStringLiteral("xiaoming"), QStringLiteral("123456"), false},
      {QStringLiteral("1"), QStringLiteral("乐乐"), QStringLiteral("654321"), true},
      {QStringLiteral("1"), QString(), QString(), true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.remember.toStdString() + " " + c.name.toStdString());
    ASSERT_TRUE(WriteIniValue(LocalIniFile, "Info", "5", QStringLiteral("OLD")));
    RememberPassword = c.remember;
    UserName = c.name;
    UserPassword = c.password;
    SignedIn = false;
    RecordSignedIn(1001);
    EXPECT_TRUE(SignedIn);
    EXPECT_EQ(UserId, 1001);
    EXPECT_EQ(Ini("4"), EncipherText(c.name));
    EXPECT_EQ(DecipherText(Ini("4")), c.name);
    EXPECT_EQ(Ini("5"), c.keepsPassword ? EncipherText(c.password) : QString());
    if (c.keepsPassword) {
      EXPECT_EQ(DecipherText(Ini("5")), c.password);
    }
  }
  // The empty name still gives a cipher text: 16 hexadecimal digits.
  UserName.clear();
  RecordSignedIn(1);
  EXPECT_EQ(Ini("4").size(), 16);
}

// The keys written are read back as the next start's user name and password.
TEST_F(SignInCore, NextStartReadsTheStoredUser)
{
  RememberPassword = QStringLiteral("1");
  UserName = QStringLiteral("乐乐");
  UserPassword = QStringLiteral("654321");
  RecordSignedIn(1002);
  ASSERT_TRUE(WriteIniValue(LocalIniFile, "Info", "2", QStringLiteral("1")));
  ResetGlobals();
  PreparePaths(dir_);
  LoadConfiguration();
  EXPECT_EQ(UserName, QStringLiteral("乐乐"));
  EXPECT_EQ(UserPassword, QStringLiteral("654321"));
}

TEST_F(SignInCore, MissingLocalIniIsIgnored)
{
  ASSERT_TRUE(QFile::remove(LocalIniFile));
  UserName = QStringLiteral("xiaoming");
  RecordSignedIn(5);
  EXPECT_TRUE(SignedIn);
  EXPECT_EQ(UserId, 5);
  EXPECT_FALSE(QFile::exists(LocalIniFile));
}

TEST(SignInService, NameUnchangedPasswordAsMd5AndOnlyResultOneAccepts)
{
  FakeUserService service;
  KsvUserCurPoint answer;
  service.login.curResult = 1;
  service.login.userId = 1001;
  service.login.curLevel = 3;
  service.login.usesValue = 120;
  EXPECT_TRUE(
      AskServiceSignIn(&service, QStringLiteral(" Xiao Ming "), QStringLiteral("123456"), &answer));
  EXPECT_EQ(service.calls,
            QStringList{QStringLiteral("userLogin  Xiao Ming  e10adc3949ba59abbe56e057f20f883e")});
  EXPECT_EQ(answer.userId, 1001);
  EXPECT_EQ(answer.curLevel, 3);
  EXPECT_EQ(answer.usesValue, 120);

  for (int refused : {0, 2, 3, -1}) {
    service.login.curResult = refused;
    EXPECT_FALSE(AskServiceSignIn(&service, QStringLiteral("a"), QStringLiteral("b"), &answer));
    EXPECT_EQ(CallServiceSignIn(&service, QStringLiteral("a"), QStringLiteral("b"), &answer),
              ServiceSignIn::Refused);
  }
  service.failWith = "connection refused";
  EXPECT_FALSE(AskServiceSignIn(&service, QStringLiteral("a"), QStringLiteral("b"), &answer));
  EXPECT_EQ(CallServiceSignIn(&service, QStringLiteral("a"), QStringLiteral("b"), &answer),
            ServiceSignIn::Failed);
  EXPECT_FALSE(AskServiceSignIn(nullptr, QStringLiteral("a"), QStringLiteral("b"), &answer));
  EXPECT_EQ(CallServiceSignIn(nullptr, QStringLiteral("a"), QStringLiteral("b"), &answer),
            ServiceSignIn::Failed);
}

TEST(SignInService, RefusalForgetsTheCredentials)
{
  ResetGlobals();
  UserName = QStringLiteral("a");
  UserPassword = QStringLiteral("b");
  EXPECT_TRUE(HasCredentials());
  SignedIn = true;
  UserId = 9;
  ForgetSignIn();
  EXPECT_FALSE(HasCredentials());
  EXPECT_FALSE(SignedIn);
  EXPECT_EQ(UserId, 9);  // the number stays as it was
  UserName = QStringLiteral("a");
  EXPECT_FALSE(HasCredentials());  // a name alone is not enough
  ResetGlobals();
}

}  // namespace
