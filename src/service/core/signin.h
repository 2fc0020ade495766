#pragma once
// The decisions of the sign-in, free of widgets: what an engine sign-in
// result asks for, the greeting's caption, what is kept in local.ini, and the
// sign-in through the user web service.
#include <QString>

class IUserService;
struct KsvUserCurPoint;

// What the window does with a result code of the engine's sign-in.
struct SignInDecision {
  enum Kind {
    ShowSignedIn,  // the greeting with level and points
    Refused,       // greeting hidden, "登录" and "免费注册" shown, `message` told
    TryService,    // "wslogin" into the message channel: the web service tries
  };
  Kind kind = TryService;
  QString message;  // only for Refused
};
SignInDecision DecideSignInResult(int result);

// The three refusal messages.
inline const QString MsgNoSuchUser = QStringLiteral("用户不存在!");
inline const QString MsgWrongPassword = QStringLiteral("用户密码不正确!");
inline const QString MsgBadUserInfo = QStringLiteral("用户信息错误!");

// "name[3级/120分]": the user name, then level and points.
QString SignedInCaption(const QString &userName, int level, int points);

// The bookkeeping of a successful sign-in: SignedIn set, UserId stored, and
// local.ini [Info] "4" = the enciphered UserName, "5" = the enciphered
// UserPassword when RememberPassword is exactly "1", else the empty text.
// A failed write of local.ini is ignored.
void RecordSignedIn(int userNumber);

// A refused web service sign-in: UserName and UserPassword emptied, SignedIn
// cleared.
void ForgetSignIn();

// Whether "wslogin" has anything to try: both UserName and UserPassword set.
bool HasCredentials();

// userLogin with the name unchanged and the password's MD5 text.  True, with
// *answer filled, only for curResult 1; a refusal, a missing service or any
// error of the call gives false.
bool AskServiceSignIn(IUserService *service, const QString &name, const QString &password,
                      KsvUserCurPoint *answer);
