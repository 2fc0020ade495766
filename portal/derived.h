#pragma once
// Files made from the model: the catalog XML of each version, the search
// database and its result pages, and the small files the result pages load.
#include "model.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace portal {

// The catalog of one version: one record element per category and channel,
// values as child elements id, pid, name, num, type, in the model's order.
QByteArray CatalogXml(const Model &model, int version);

// Writes a search database (tables content and contentclass) holding the
// games of `version`.  Replaces `path` atomically.
bool WriteSearchDatabase(const Model &model, int version, const QString &path, QString *error);

struct SearchRow {
  QString id, title, contentclass, subName, bigName;
};

// Up to 50 games of `db` whose title contains `words` literally and whose
// class starts with `classPrefix`, ordered by title.  False when the
// database cannot be read.
bool SearchTitles(const QString &db, const QString &classPrefix, const QString &words,
                  QList<SearchRow> *rows, QString *error);

// The search result page in GBK, in the form the client's own local search
// writes, so both look the same; names in its links carry blanks as %20 and
// no "_", so every row's command splits into its four fields.
QByteArray SearchResultPage(const QList<SearchRow> &rows);

// The files that lie beside a search result page.
QByteArray SearchButtonPng();  // playgame.png
QByteArray TitleBarGif();      // bg-titlebar.gif
QByteArray StripeScript();     // stripe.js
QByteArray JQueryScript();     // jquery-1.4.4.min.js (from the system's jQuery; empty if absent)

// --export-client: DIR/Resource/xml/<shipped>.xml and DIR/Resource/html/search/…
bool ExportClientFiles(const Model &model, const QString &dir, QString *error);

bool WriteFileAtomically(const QString &path, const QByteArray &bytes);

}  // namespace portal
