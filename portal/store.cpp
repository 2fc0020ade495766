#include "store.h"

#include "crypto/cipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace portal {

namespace {

const char kAccountsHeader[] = "userId\tloginName\tpasswordMd5\tlevel\tpoints\tstate\tlogins\n";

QStringList ReadLines(const QString &path)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  QStringList out;
  for (QString line : QString::fromUtf8(f.readAll()).split(u'\n')) {
    if (line.endsWith(u'\r'))
      line.chop(1);
    if (!line.isEmpty())
      out.append(line);
  }
  return out;
}

bool WriteWhole(const QString &path, const QByteArray &bytes)
{
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly))
    return false;
  f.write(bytes);
  return f.commit();
}

bool AppendLine(const QString &path, const QString &line)
{
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
    return false;
  const QByteArray bytes = line.toUtf8() + '\n';
  return f.write(bytes) == bytes.size() && f.flush();
}

bool WriteIfMissing(const QString &path, const QByteArray &bytes)
{
  return QFileInfo::exists(path) || WriteWhole(path, bytes);
}

}  // namespace

QString Store::path(const char *name) const { return dir_ + QLatin1String(name); }

QString Store::Escape(const QString &text)
{
  QString out;
  out.reserve(text.size());
  for (QChar c : text) {
    switch (c.unicode()) {
    case u'\\':
      out += QStringLiteral("\\\\");
      break;
    case u'\t':
      out += QStringLiteral("\\t");
      break;
    case u'\n':
      out += QStringLiteral("\\n");
      break;
    case u'\r':
      out += QStringLiteral("\\r");
      break;
    default:
      out += c;
    }
  }
  return out;
}

QString Store::Unescape(const QString &text)
{
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != u'\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const QChar n = text[++i];
    out += n == u't' ? QChar(u'\t') : n == u'n' ? QChar(u'\n') : n == u'r' ? QChar(u'\r') : n;
  }
  return out;
}

bool Store::IsMachineId(const QString &machine)
{
  static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9._-]{1,64}$"));
  return re.match(machine).hasMatch();
}

bool Store::Open(const QString &dataDir, QString *error)
{
  dir_ = QDir(dataDir).absolutePath() + u'/';
  if (!QDir().mkpath(dir_ + QStringLiteral("comments"))) {
    *error = QStringLiteral("cannot create the data folder %1").arg(dir_);
    return false;
  }
  QByteArray accounts(kAccountsHeader);
  struct Seed {
    int id;
    const char *login;
    const char *password;
    int level, points;
    const char *state;
  };
  for (const Seed &s : {Seed{1001, "xiaoming", "123456", 3, 120, "active"},
                        Seed{1002, "乐乐", "654321", 1, 10, "active"},
                        Seed{1003, "tingting", "888888", 2, 45, "locked"}}) {
    accounts += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t0\n")
                    .arg(s.id)
                    .arg(QString::fromUtf8(s.login), Md5Hex(QString::fromUtf8(s.password)))
                    .arg(s.level)
                    .arg(s.points)
                    .arg(QLatin1String(s.state))
                    .toUtf8();
  }
  const bool ok =
      WriteIfMissing(path("accounts.tsv"), accounts) &&
      WriteIfMissing(path("machines.tsv"), "machine\tloginName\n") &&
      WriteIfMissing(path("feedback.tsv"), "time\tuserId\tversion\tcontact\ttext\n") &&
      WriteIfMissing(path("update.ini"),
                     "# The update report of the engine's version request and of the\n"
                     "# clientByVersion service call.  An empty catalog means the newest\n"
                     "# catalog version the portal serves.\n"
                     "action=0\ncatalog=\nservice=3\nupdater=0\nws_action=0\nws_updater=0\n") &&
      WriteIfMissing(path("messages.txt"),
                     QStringLiteral("本周新上线了好几个益智小游戏，快去“益智游戏”里找找看吧！\n"
                                    "玩游戏半小时，记得休息一下眼睛，看看远处哦。\n"
                                    "有什么想法？点“意见反馈”告诉我们。\n")
                         .toUtf8());
  if (!ok)
    *error = QStringLiteral("cannot write the state files in %1").arg(dir_);
  return ok;
}

QList<Account> Store::ReadAccounts()
{
  QList<Account> out;
  const QStringList lines = ReadLines(path("accounts.tsv"));
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QStringList c = lines[i].split(u'\t');
    if (c.size() < 6)
      continue;
    Account a;
    bool ok = false;
    a.userId = c[0].toInt(&ok);
    if (!ok || a.userId <= 0)
      continue;
    a.login = Unescape(c[1]);
    a.passwordMd5 = c[2].trimmed().toLower();
    a.level = c[3].toInt();
    a.points = c[4].toInt();
    a.state = c[5].trimmed();
    a.logins = c.size() > 6 ? c[6].toInt() : 0;
    out.append(a);
  }
  return out;
}

bool Store::WriteAccounts(const QList<Account> &accounts)
{
  QByteArray bytes(kAccountsHeader);
  for (const Account &a : accounts)
    bytes += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\n")
                 .arg(a.userId)
                 .arg(Escape(a.login), a.passwordMd5)
                 .arg(a.level)
                 .arg(a.points)
                 .arg(a.state)
                 .arg(a.logins)
                 .toUtf8();
  return WriteWhole(path("accounts.tsv"), bytes);
}

Store::LoginResult Store::Login(const QString &login, const QString &passwordMd5, Account *out)
{
  std::lock_guard lock(mutex_);
  QList<Account> accounts = ReadAccounts();
  for (Account &a : accounts) {
    if (a.login != login)
      continue;
    if (a.passwordMd5 != passwordMd5.trimmed().toLower())
      return LoginResult::WrongPassword;
    if (a.state == u"locked")
      return LoginResult::Locked;
    ++a.logins;
    WriteAccounts(accounts);
    *out = a;
    return LoginResult::Accepted;
  }
  return LoginResult::UnknownUser;
}

int Store::MachineSignIn(const QString &machine, Account *out)
{
  std::lock_guard lock(mutex_);
  QString login;
  bool bound = false;
  const QStringList lines = ReadLines(path("machines.tsv"));
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QStringList c = lines[i].split(u'\t');
    if (c.size() >= 2 && c[0].trimmed().compare(machine, Qt::CaseInsensitive) == 0) {
      login = Unescape(c[1]);
      bound = true;
    }
  }
  if (!bound)
    return 1;
  QList<Account> accounts = ReadAccounts();
  for (Account &a : accounts) {
    if (a.login != login)
      continue;
    if (a.state == u"locked")
      return -1006;
    ++a.logins;
    WriteAccounts(accounts);
    *out = a;
    return 0;
  }
  return -1004;
}

std::optional<Account> Store::FindUser(int userId)
{
  std::lock_guard lock(mutex_);
  for (const Account &a : ReadAccounts())
    if (a.userId == userId)
      return a;
  return std::nullopt;
}

bool Store::AddUser(const QString &login, const QString &password, int level, int points,
                    QString *error)
{
  std::lock_guard lock(mutex_);
  if (login.isEmpty() || login.size() > 32 || login.contains(u'\t') || login.contains(u'\n')) {
    *error = QStringLiteral("a login name has 1 to 32 characters without tabs or line breaks");
    return false;
  }
  QList<Account> accounts = ReadAccounts();
  int next = 1001;
  for (const Account &a : accounts) {
    if (a.login == login) {
      *error = QStringLiteral("the login name %1 is taken").arg(login);
      return false;
    }
    next = std::max(next, a.userId + 1);
  }
  accounts.append(
      Account{next, login, Md5Hex(password), level, points, QStringLiteral("active"), 0});
  if (!WriteAccounts(accounts)) {
    *error = QStringLiteral("cannot write %1").arg(path("accounts.tsv"));
    return false;
  }
  return true;
}

bool Store::Bind(const QString &machine, const QString &login, QString *error)
{
  std::lock_guard lock(mutex_);
  if (!IsMachineId(machine)) {
    *error = QStringLiteral("a machine id has 1 to 64 letters, digits, '.', '_' or '-'");
    return false;
  }
  QByteArray bytes("machine\tloginName\n");
  const QStringList lines = ReadLines(path("machines.tsv"));
  for (qsizetype i = 1; i < lines.size(); ++i)
    if (lines[i].section(u'\t', 0, 0).trimmed().compare(machine, Qt::CaseInsensitive) != 0)
      bytes += lines[i].toUtf8() + '\n';
  bytes += (machine + u'\t' + Escape(login)).toUtf8() + '\n';
  if (!WriteWhole(path("machines.tsv"), bytes)) {
    *error = QStringLiteral("cannot write %1").arg(path("machines.tsv"));
    return false;
  }
  return true;
}

bool Store::SaveFeedback(int userId, const QString &version, const QString &contact,
                         const QString &text)
{
  std::lock_guard lock(mutex_);
  return AppendLine(path("feedback.tsv"),
                    QStringLiteral("%1\t%2\t%3\t%4\t%5")
                        .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
                        .arg(userId)
                        .arg(Escape(version), Escape(contact), Escape(text)));
}

int Store::FeedbackCount()
{
  std::lock_guard lock(mutex_);
  return std::max<qsizetype>(0, ReadLines(path("feedback.tsv")).size() - 1);
}

bool Store::AddComment(int contentId, int userId, const QString &text)
{
  std::lock_guard lock(mutex_);
  return AppendLine(dir_ + QStringLiteral("comments/%1.tsv").arg(contentId),
                    QStringLiteral("%1\t%2\t%3")
                        .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
                        .arg(userId)
                        .arg(Escape(text)));
}

QList<Comment> Store::Comments(int contentId)
{
  std::lock_guard lock(mutex_);
  QList<Comment> out;
  for (const QString &line : ReadLines(dir_ + QStringLiteral("comments/%1.tsv").arg(contentId))) {
    const QStringList c = line.split(u'\t');
    if (c.size() < 3)
      continue;  // a line cut short by a crash is skipped
    out.append(Comment{QDateTime::fromString(c[0], Qt::ISODate), c[1].toInt(), Unescape(c[2])});
  }
  return out;
}

UpdateReport Store::Report(int newestCatalog)
{
  std::lock_guard lock(mutex_);
  UpdateReport r;
  r.catalog = newestCatalog;
  r.service = 3;
  for (const QString &line : ReadLines(path("update.ini"))) {
    if (line.startsWith(u'#') || !line.contains(u'='))
      continue;
    const QString key = line.section(u'=', 0, 0).trimmed().toLower();
    const QString value = line.section(u'=', 1).trimmed();
    bool ok = false;
    const int v = value.toInt(&ok);
    if (!ok)
      continue;  // an empty or damaged value keeps the default
    if (key == u"action")
      r.action = v;
    else if (key == u"catalog")
      r.catalog = v;
    else if (key == u"service")
      r.service = v;
    else if (key == u"updater")
      r.updater = v;
    else if (key == u"ws_action")
      r.wsAction = v;
    else if (key == u"ws_updater")
      r.wsUpdater = v;
  }
  return r;
}

QStringList Store::SystemMessages()
{
  std::lock_guard lock(mutex_);
  QStringList out;
  for (const QString &line : ReadLines(path("messages.txt")))
    if (!line.trimmed().isEmpty() && !line.startsWith(u'#'))
      out.append(line.trimmed());
  return out;
}

}  // namespace portal
