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
// The sign-in dialog's messages.
inline const QString MsgSignInEmpty = QStringLiteral("请输入用户名和密码!");
inline const QString MsgSignInRefused = QStringLiteral("登录失败,请检查用户名和密码后重试!");
inline const QString MsgSignInNoService = QStringLiteral("无法连接服务器,请稍后重试!");

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

// userLogin with the name unchanged and the password's MD5 text: accepted
// (curResult 1, *answer filled), refused (any other curResult), or failed
// (no service, no connection, a fault from the service).
enum class ServiceSignIn { Accepted, Refused, Failed };
ServiceSignIn CallServiceSignIn(IUserService *service, const QString &name, const QString &password,
                                KsvUserCurPoint *answer);
// The same as one flag: true, with
// *answer filled, only when accepted.
bool AskServiceSignIn(IUserService *service, const QString &name, const QString &password,
                      KsvUserCurPoint *answer);
