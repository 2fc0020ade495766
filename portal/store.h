#pragma once
// The portal's state, kept in plain files under its data folder so that it
// survives a restart and can be read and edited by hand:
//   accounts.tsv   userId, loginName, passwordMd5, level, points, state, logins
//   machines.tsv   machine, loginName   (engine sign-in: which account a machine is bound to)
//   feedback.tsv   time, userId, version, contact, text   (one line per saveUserAdvice)
//   comments/<id>.tsv   time, userId, text   (comments on content item <id>)
//   update.ini     the update report: action, catalog, service, updater, ws_action, ws_updater
//   messages.txt   the lines of the system message page
// Text fields escape "\\", tab, line feed and carriage return as \\ \t \n \r.
// Every method is safe to call from several request threads at once.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>

namespace portal {

struct Account {
  int userId = 0;
  QString login;
  QString passwordMd5;  // 32 lower-case hex digits
  int level = 0;
  int points = 0;
  QString state;  // "active" or "locked"
  int logins = 0;
};

struct Comment {
  QDateTime time;
  int userId = 0;
  QString text;
};

struct UpdateReport {
  int action = 0;
  int catalog = 0;
  int service = 0;
  int updater = 0;
  int wsAction = 0;   // versionFlag of a clientByVersion answer
  int wsUpdater = 0;  // upVersionID of a clientByVersion answer
};

class Store {
public:
  enum class LoginResult { Accepted, UnknownUser, WrongPassword, Locked };

  // Creates the folder and the default state files that are missing.
  bool Open(const QString &dataDir, QString *error);
  QString dataDir() const { return dir_; }

  LoginResult Login(const QString &login, const QString &passwordMd5, Account *out);
  // Engine sign-in by machine: 0 with the account, 1 when the machine is not
  // bound, -1004 unknown account, -1006 locked account.
  int MachineSignIn(const QString &machine, Account *out);
  std::optional<Account> FindUser(int userId);

  bool AddUser(const QString &login, const QString &password, int level, int points,
               QString *error);
  bool Bind(const QString &machine, const QString &login, QString *error);

  bool SaveFeedback(int userId, const QString &version, const QString &contact,
                    const QString &text);
  int FeedbackCount();
  bool AddComment(int contentId, int userId, const QString &text);
  QList<Comment> Comments(int contentId);  // oldest first

  // `newestCatalog` stands in for an empty or missing catalog value.
  UpdateReport Report(int newestCatalog);
  QStringList SystemMessages();

  static QString Escape(const QString &text);
  static QString Unescape(const QString &text);
  static bool IsMachineId(const QString &machine);

private:
  QList<Account> ReadAccounts();
  bool WriteAccounts(const QList<Account> &accounts);
  QString path(const char *name) const;

  QString dir_;
  std::mutex mutex_;
};

}  // namespace portal
