#pragma once
// The sign-in in the main window's caption: the greeting and the two link
// labels, the engine's sign-in worker, its result, the web service sign-in
// ("wslogin") and the sign-in dialog behind "登录".
#include "service/core/signin.h"
#include "widgets/wintemplate.h"

#include <QObject>
#include <QPointer>
#include <QThread>

class QCheckBox;
class QLabel;
class QLineEdit;
class IEngine;
class IMainWindow;
class BackgroundCalls;
struct UserServices;

// The engine's sign-in worker: one ClientLoginIn with the client version and
// the portal address; an error of the call is ignored.  Runs as soon as it
// is made and deletes itself when done.
class TClientLogin : public QThread {
  Q_OBJECT
public:
  static TClientLogin *Start(IEngine *engine, int clientVersion, const QString &siteUrl);

protected:
  void run() override;

private:
  TClientLogin(IEngine *engine, int clientVersion, const QString &siteUrl);
  QPointer<IEngine> m_engine;
  const int m_clientVersion;
  const QString m_siteUrl;
};

class TSignIn : public QObject {
  Q_OBJECT
public:
  // The labels go into `captionSlot` (the caption panel); refusal messages
  // are written into `messageChannel` (edtShowmessage).
  TSignIn(QWidget *captionSlot, IEngine *engine, UserServices *services, QLineEdit *messageChannel,
          IMainWindow *window, QObject *parent = nullptr);
  ~TSignIn() override;

  QLabel *lblOnlineUser = nullptr;  // "您好，小朋友！", hidden at start
  QLabel *lblLogin = nullptr;       // "登录", hidden at start
  QLabel *lblReg = nullptr;         // "免费注册", hidden at start

  // The engine sign-in (the first showing of the window).
  void StartClientLogin();
  // Waits for sign-in workers still running (the window's destruction).
  void WaitForWorkers();

  // The engine's sign-in report.
  void SignInResult(int result, int userNumber, int points, int level);
  // The greeting with level and points, and the user kept in local.ini.
  void ShowSignedIn(int level, int points, int userNumber);
  // The web service sign-in, blocking (the sign-in dialog).
  bool SignInWithService(const QString &name, const QString &password);
  // The same, telling a refusal from a failed call.
  ServiceSignIn SignInWithServiceOutcome(const QString &name, const QString &password);
  // "wslogin" from the message channel: the web service sign-in with
  // UserName and UserPassword, on a worker thread.
  void wsLogin();
  // Greeting hidden, "登录" and "免费注册" shown.
  void ShowRefused();

  void lblLoginClick();
  void lblRegClick();

  // The portal's registration page.
  static QString RegistrationUrl();

  // Test seam: the web service calls still under way.
  BackgroundCalls *calls() const { return m_calls; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void placeLabels();
  void setLabelColour(QLabel *label, const QColor &colour, bool underline);

  QWidget *m_slot;
  IEngine *m_engine;
  UserServices *m_services;
  QLineEdit *m_channel;
  IMainWindow *m_window;
  BackgroundCalls *m_calls;
  QList<QPointer<QThread>> m_workers;
};

// The sign-in dialog: user name, password, "记住密码"; OK signs in through
// the web service.
class TfrmSignIn : public TfrmWinTemplate {
  Q_OBJECT
public:
  explicit TfrmSignIn(TSignIn *signIn, QWidget *owner = nullptr);
  QLineEdit *edtUserName = nullptr;
  QLineEdit *edtPassword = nullptr;
  QCheckBox *chkRemember = nullptr;
  tLxsimage *limgOk = nullptr;
  void limgOkClick();

private:
  TSignIn *m_signIn;
};
