#pragma once
// A small search database for tests: the two tables the client reads.
#include <QList>
#include <QString>
#include <ostream>
#include <sqlite3.h>

// Readable failures.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

struct TestClass {
  QString code, name;
};
struct TestGame {
  QString id, title, channel;
};

inline bool WriteSearchDb(const QString &path, const QList<TestClass> &classes,
                          const QList<TestGame> &games)
{
  sqlite3 *db = nullptr;
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  bool ok = sqlite3_exec(db,
                         "CREATE TABLE contentclass (contentclass TEXT PRIMARY KEY, classname "
                         "TEXT);CREATE TABLE content (id TEXT PRIMARY KEY, title TEXT, "
                         "contentclass TEXT);BEGIN;",
                         nullptr, nullptr, nullptr) == SQLITE_OK;
  auto insert = [&](const char *sql, const QStringList &values) {
    sqlite3_stmt *st = nullptr;
    ok = ok && sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK;
    for (int i = 0; ok && i < values.size(); ++i) {
      const QByteArray v = values[i].toUtf8();
      ok =
          sqlite3_bind_text(st, i + 1, v.constData(), int(v.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    ok = ok && sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
  };
  for (const TestClass &c : classes)
    insert("INSERT INTO contentclass VALUES (?1, ?2)", {c.code, c.name});
  for (const TestGame &g : games)
    insert("INSERT INTO content VALUES (?1, ?2, ?3)", {g.id, g.title, g.channel});
  ok = ok && sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}
