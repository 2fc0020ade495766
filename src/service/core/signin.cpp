#include "service/core/signin.h"

#include "base/config.h"
#include "base/globals.h"
#include "base/ini.h"
#include "crypto/cipher.h"
#include "service/core/userservice.h"

SignInDecision DecideSignInResult(int result)
{
  switch (result) {
  case 0:
    return {SignInDecision::ShowSignedIn, {}};
  case -1004:
    return {SignInDecision::Refused, MsgNoSuchUser};
  case -1005:
    return {SignInDecision::Refused, MsgWrongPassword};
  case -1006:
    return {SignInDecision::Refused, MsgBadUserInfo};
  default:
    return {SignInDecision::TryService, {}};
  }
}

QString SignedInCaption(const QString &userName, int level, int points)
{
  return userName + QLatin1Char('[') + QString::number(level) + QStringLiteral("级/") +
         QString::number(points) + QStringLiteral("分]");
}

void RecordSignedIn(int userNumber)
{
  SignedIn = true;
  UserId = userNumber;
  const QString section = QString::fromLatin1(LocalIniSection);
  WriteIniValue(LocalIniFile, section, QStringLiteral("4"), EncipherText(UserName));
  WriteIniValue(LocalIniFile, section, QStringLiteral("5"),
                RememberPassword == QLatin1String("1") ? EncipherText(UserPassword) : QString());
}

void ForgetSignIn()
{
  UserName.clear();
  UserPassword.clear();
  SignedIn = false;
}

bool HasCredentials() { return !UserName.isEmpty() && !UserPassword.isEmpty(); }

ServiceSignIn CallServiceSignIn(IUserService *service, const QString &name, const QString &password,
                                KsvUserCurPoint *answer)
{
  if (!service)
    return ServiceSignIn::Failed;
  try {
    const KsvUserCurPoint got = service->userLogin(name, Md5Hex(password));
    if (got.curResult != 1)
      return ServiceSignIn::Refused;
    if (answer)
      *answer = got;
    return ServiceSignIn::Accepted;
  } catch (...) {
    return ServiceSignIn::Failed;
  }
}

bool AskServiceSignIn(IUserService *service, const QString &name, const QString &password,
                      KsvUserCurPoint *answer)
{
  return CallServiceSignIn(service, name, password, answer) == ServiceSignIn::Accepted;
}
