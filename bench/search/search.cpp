// LocalSearch for three keywords (many matches, few, none) over a large
// title database, median of 5 runs each, beside the bare query (the same
// text with the keyword written into it, every row read, the database opened
// and closed as the search does) on the same file in the same process.
//
//   kestrova-bench-search [--db FILE] [--scale N] [--runs N]
//
// Without --db the stand-in portal writes a database of N × 50 titles
// (default N 4000: 200,000 titles) into a temporary folder.
#include "base/globals.h"
#include "catalog/core/localsearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {

const char kFirstPart[] =
    "select g.id, g.title, g.contentclass,  c.classname as sub_nm, s.classname as big_nm from "
    "content g  left join contentclass c on g.contentclass=c.contentclass  left join "
    "contentclass s on substr(g.contentclass,1,4)=s.contentclass where g.title like '%";
const char kSecondPart[] = "%' order by title limit 0,50";

// The query as text, every column of every row read; the number of rows.
int BareQuery(const QString &db, const QString &keyword)
{
  sqlite3 *h = nullptr;
  int rows = -1;
  if (sqlite3_open_v2(db.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    const QByteArray sql = QByteArray(kFirstPart) + keyword.toUtf8() + kSecondPart;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(h, sql.constData(), -1, &st, nullptr) == SQLITE_OK) {
      rows = 0;
      std::size_t bytes = 0;
      while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < 5; ++i) {
          sqlite3_column_text(st, i);
          bytes += std::size_t(sqlite3_column_bytes(st, i));
        }
        ++rows;
      }
      if (bytes == 0 && rows > 0)
        rows = -1;
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
  return rows;
}

int CountMatches(const QString &db, const QString &keyword)
{
  sqlite3 *h = nullptr;
  int n = -1;
  if (sqlite3_open_v2(db.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt *st = nullptr;
    const QByteArray k = keyword.toUtf8();
    if (sqlite3_prepare_v2(h, "select count(*) from content where title like '%' || ?1 || '%'", -1,
                           &st, nullptr) == SQLITE_OK &&
        sqlite3_bind_text(st, 1, k.constData(), int(k.size()), SQLITE_TRANSIENT) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
  return n;
}

// Title of the row at `offset` in title order.
QString TitleAt(const QString &db, int offset)
{
  sqlite3 *h = nullptr;
  QString t;
  if (sqlite3_open_v2(db.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(h, "select title from content order by id limit 1 offset ?1", -1, &st,
                           nullptr) == SQLITE_OK &&
        sqlite3_bind_int(st, 1, offset) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      t = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
  return t;
}

template <typename F>
double MedianMs(int runs, F f)
{
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    f();
    ms.push_back(double(t.nsecsElapsed()) / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  QString db;
  int scale = 4000, runs = 5;
  const QStringList args = app.arguments();
  for (int i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == u"--db")
      db = args[i + 1];
    else if (args[i] == u"--scale")
      scale = args[i + 1].toInt();
    else if (args[i] == u"--runs")
      runs = std::max(1, args[i + 1].toInt());
  }
  QTemporaryDir tmp;
  if (db.isEmpty()) {
    QProcess portal;
    portal.start(QStringLiteral(KESTROVA_PORTAL_EXE),
                 {"--export-client", tmp.path(), "--scale", QString::number(scale)});
    if (!portal.waitForFinished(600000) || portal.exitCode() != 0) {
      std::fprintf(stderr, "the portal could not write the database: %s\n",
                   portal.readAllStandardError().constData());
      return 1;
    }
    db = tmp.path() + "/Resource/html/search/search.db";
  }
  if (!QFileInfo(db).isFile()) {
    std::fprintf(stderr, "no database at %s\n", qPrintable(db));
    return 1;
  }
  const QString page = tmp.path() + "/out/search.html";
  AppDir = tmp.path() + u'/';

  // Many: the first character of a title (a tenth of the titles share it);
  // few: a whole title; none: a name no title has.
  const QString sample = TitleAt(db, 12345);
  const QString keywords[3] = {sample.left(1), sample, QStringLiteral("没有这个游戏")};
  const char *labels[3] = {"many", "few", "none"};
  QString summaries;
  std::printf("database %s (%.1f MB), median of %d runs\n", qPrintable(db),
              double(QFileInfo(db).size()) / 1e6, runs);
  std::printf("%-5s %-22s %8s %12s %12s %7s\n", "case", "keyword", "matches", "bare ms",
              "search ms", "ratio");
  for (int k = 0; k < 3; ++k) {
    const QString &kw = keywords[k];
    const int matches = CountMatches(db, kw);
    // One of each first, so both start from a warm file cache.
    const int rows = BareQuery(db, kw);
    const QString first = LocalSearch(kw, db, page);
    if (rows < 0 || first.isEmpty()) {
      std::fprintf(stderr, "query failed for %s\n", qPrintable(kw));
      return 1;
    }
    const double bare = MedianMs(runs, [&] { BareQuery(db, kw); });
    const double search = MedianMs(runs, [&] { LocalSearch(kw, db, page); });
    std::printf("%-5s %-22s %8d %12.2f %12.2f %6.2fx\n", labels[k],
                qPrintable(QString("\"%1\"").arg(kw)), matches, bare, search, search / bare);
    summaries += QString::asprintf("summary search case=%s matches=%d bare_ms=%.3f search_ms=%.3f "
                                   "ratio=%.3f\n",
                                   labels[k], matches, bare, search, search / bare);
  }
  std::printf("goal: search <= 1.3x the bare query\n");
  // Lines for bench/report.
  std::fputs(qPrintable(summaries), stdout);
  return 0;
}
