#pragma once
// The local search: game titles in the shipped SQLite database
// Resource/html/search/search.db, written as the static result page
// Resource/html/search/search.html (GBK, one line and CR LF) whose rows link
// to the games with "TJID_" commands.
//
// The database is opened read-only for each search and closed at its end; a
// missing file is not created.  The keyword is bound as a parameter of the
// LIKE pattern, so its "%" and "_" keep their pattern meaning while a quote
// cannot break the query.  Titles and class names are HTML-escaped in the
// page; the link commands carry them unchanged once the browser has read the
// attribute.
#include <QList>
#include <QString>

// AppDir + "Resource/html/search/search.db" and ".../search.html", found
// whatever the case of their folders.
QString SearchDatabasePath();
QString SearchResultPage();

// The query, with ?1 for the keyword.
extern const char SearchQuery[];

struct SearchRow {
  QString id;
  QString title;
  QString contentclass;
  QString subName;  // the channel's name
  QString bigName;  // the category's name (first four characters of the channel)
};

// The keyword as the search box hands it on: without leading and trailing
// blanks and control characters (every character up to U+0020).
QString TrimKeyword(const QString &text);

// The page for these rows (text before encoding, line break included).
QString SearchResultPageText(const QList<SearchRow> &rows);

// Runs the query; false (rows untouched) when the database cannot be opened
// or the query fails.
bool QuerySearchRows(const QString &databasePath, const QString &keyword, QList<SearchRow> *rows);

// The search: the page path when the page was written, "0" when no title
// matched (the previous page stays), empty text on any failure.
QString LocalSearch(const QString &keyword);
QString LocalSearch(const QString &keyword, const QString &databasePath, const QString &pagePath);
