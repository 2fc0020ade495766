#include "catalog/core/localsearch.h"

#include "base/gbk.h"
#include "base/globals.h"
#include "base/pathcase.h"
#include "crypto/cipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sqlite3.h>

const char SearchQuery[] =
    "select g.id, g.title, g.contentclass,  c.classname as sub_nm, s.classname as big_nm from "
    "content g  left join contentclass c on g.contentclass=c.contentclass  left join "
    "contentclass s on substr(g.contentclass,1,4)=s.contentclass where g.title like '%' || ?1 "
    "|| '%' order by title limit 0,50";

namespace {

const char16_t kHead[] =
    u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"
    u"<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
    u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=GB2312\" />"
    u"<title>Kestrova教育网</title><style type=\"text/css\">";

// Selector, declarations; in this order.
const char16_t *const kStyle[][2] = {
    {u"BODY", u"PADDING-RIGHT: 0px;PADDING-LEFT: 0px;PADDING-BOTTOM: 0px;MARGIN: 0px;COLOR: "
              u"#666;PADDING-TOP: 0px;font-family: \"宋体\";font-size: 12px;"},
    {u"A", u"COLOR: #0066cc"},
    {u"P", u"PADDING-RIGHT: 0px; PADDING-LEFT: 0px; PADDING-BOTTOM: 0px; MARGIN: 0px; "
           u"PADDING-TOP: 0px"},
    {u"A IMG", u"BORDER-TOP-STYLE: none; BORDER-RIGHT-STYLE: none; BORDER-LEFT-STYLE: none; "
               u"BORDER-BOTTOM-STYLE: none"},
    {u"EM", u"COLOR: #dc241f"},
    {u"EM", u"FONT-STYLE: normal"},
    {u"FONT", u"FONT-STYLE: normal"},
    {u"A EM", u"TEXT-DECORATION: underline"},
    {u"A FONT", u"TEXT-DECORATION: underline"},
    {u".table-song-list TH",
     u"FONT-WEIGHT: normal; BACKGROUND: url(bg-titlebar.gif) repeat-x 0px -65px; HEIGHT: 31px"},
    {u".table-song-list TH .inner_alpha", u"BACKGROUND: url(bg-titlebar.gif) no-repeat 0px "
                                          u"-33px; WIDTH: 100%; LINE-HEIGHT: 31px; HEIGHT: 31px"},
    {u".table-song-list TH .inner_alpha", u"PADDING-LEFT: 9px"},
    {u".table-song-list TH .inner_beta", u"BACKGROUND-POSITION: 100% -97px"},
    {u".table-song-list .second A", u"FONT-SIZE: 14px; FONT-FAMILY: \"宋体\""},
    {u".table-song-list .second .t", u"FONT-SIZE: 14px; FONT-FAMILY: \"宋体\""},
    {u".table-song-list .third A", u"FONT-SIZE: 12px; FONT-FAMILY: \"宋体\""},
    {u".table-song-list TD", u"PADDING-RIGHT: 0px; PADDING-LEFT: 9px; PADDING-BOTTOM: 6px; "
                             u"VERTICAL-ALIGN: top; LINE-HEIGHT: 22px; PADDING-TOP: 7px"},
    {u".table-song-list TD.first", u"WIDTH: 8%;"},
    {u".table-song-list TD.second", u"WIDTH: 42%"},
    {u".table-song-list TD.third", u"WIDTH: 15%"},
    {u".table-song-list TD.fifth", u"WIDTH: 7%"},
    {u".table-song-list TD.seventh", u"WIDTH: 15%"},
    {u".table-song-list TD.eight", u"WIDTH: 13%"},
    {u".table-song-list TD.seventh SPAN", u"COLOR: #666666; FONT-FAMILY: verdana FONT-SIZE: 14px;"},
    {u".table-song-list TD.first SPAN", u"COLOR: #999999; FONT-FAMILY: \"宋体\" FONT-SIZE: 14px;"},
    {u".table-song-list TD.second", u"PADDING-LEFT: 0px"},
    {u".stripe TD", u"BACKGROUND: #fafafa"},
    {u".tr-hover TD", u"BACKGROUND: #f1f6ff"},
    {u"UNKNOWN", u"LINE-HEIGHT: 1.1em"},
    {u".DivWidth100", u"height:auto;"},
    {u".pageTableBg", u"BACKGROUND: url(bg-titlebar.gif);"},
};

const char16_t kHeadEnd[] =
    u"</style><script type=\"text/javascript\" src=\"jquery-1.4.4.min.js\"></script>"
    u"<script type=\"text/javascript\" src=\"stripe.js\"></script></head>";

const char16_t kBodyStart[] =
    u"<body><DIV id=songResults monkey=\"songResults\" class=\"DivWidth100\"><TABLE "
    u"class=table-song-list cellSpacing=0 cellPadding=0 border=0 width=\"100%\"><TBODY>"
    u"<tr> "
    u"<TH class=\"first bg_DDEDF4\" scope=col><DIV class=inner_gamma align=left> </DIV></TH>"
    u"<TH class=\"second bg_DDEDF4\" scope=col><DIV class=inner_beta>游戏名称 </DIV></TH>"
    u"<TH class=\"eight bg_DDEDF4\" scope=col><DIV class=inner_alpha>游戏大类 </DIV></TH>"
    u"<TH class=\"seventh bg_DDEDF4\" scope=col><DIV class=inner_alpha>游戏小类 </DIV></TH>"
    u"<TH class=\"fifth bg_DDEDF4\" scope=col><DIV class=inner_alpha>&nbsp; </DIV></TH>"
    u"</tr>";

const char16_t kEnd[] = u"</TBODY> </table> </div><br /></body></html>";

QString Escape(const QString &text) { return text.toHtmlEscaped(); }

QString Column(sqlite3_stmt *st, int i)
{
  const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
  return p ? QString::fromUtf8(p, sqlite3_column_bytes(st, i)) : QString();
}

}  // namespace

QString SearchDatabasePath()
{
  return ResolveCase(AppDir + QStringLiteral("Resource/html/search/search.db"));
}

QString SearchResultPage()
{
  return ResolveCase(AppDir + QStringLiteral("Resource/html/search/search.html"));
}

QString TrimKeyword(const QString &text)
{
  qsizetype b = 0, e = text.size();
  while (b < e && text[b].unicode() <= 0x20)
    ++b;
  while (e > b && text[e - 1].unicode() <= 0x20)
    --e;
  return text.mid(b, e - b);
}

QString SearchResultPageText(const QList<SearchRow> &rows)
{
  QString page;
  page.reserve(4096 + rows.size() * 700);
  page += QStringView(kHead);
  for (const auto &rule : kStyle) {
    page += QStringView(rule[0]);
    page += u'{';
    page += QStringView(rule[1]);
    page += u'}';
  }
  page += QStringView(kHeadEnd);
  page += QStringView(kBodyStart);
  const QString game = QStringLiteral("游戏");
  for (qsizetype i = 0; i < rows.size(); ++i) {
    const SearchRow &row = rows[i];
    const qsizetype r = i + 1;
    const QString title = Escape(row.title);
    // The "TJID_" command: enciphered id, name, type 1 (a game), channel.
    const QString link = EncipherText(row.id, QString::fromLatin1(ContentKey)) + u'_' + title +
                         QStringLiteral("_1_") + Escape(row.contentclass);
    QString big = row.bigName;
    const qsizetype at = big.indexOf(game);
    if (at >= 0)
      big.replace(at, game.size(), QStringLiteral("类"));
    page += r % 2 ? QStringLiteral("<TR class=\"own stripe\"><TD class=first><SPAN>")
                  : QStringLiteral("<TR class=\"own\"><TD class=first><SPAN>");
    page += QStringLiteral("%1").arg(r, 2, 10, QLatin1Char('0'));
    page += QStringLiteral("</SPAN></td> <TD class=second><a href=\"TJID_");
    page += link;
    page += QStringLiteral("\" class=\"view\"><EM>");
    page += title;
    page += QStringLiteral("</EM></a></td> <TD class=eight><SPAN>");
    page += Escape(big);
    page += QStringLiteral("</SPAN></td> <TD class=seventh><SPAN>");
    page += Escape(row.subName);
    page += QStringLiteral("</SPAN></td> <TD class=fifth><a href=\"TJID_");
    page += link;
    page += QStringLiteral("\" class=\"view\"> <img src=\"playgame.png\" ");
    page += QStringLiteral("alt=\"玩一下\" width=\"32\" height=\"18\" /></a></td></tr>");
  }
  page += QStringView(kEnd);
  page += QStringLiteral("\r\n");
  return page;
}

bool QuerySearchRows(const QString &databasePath, const QString &keyword, QList<SearchRow> *rows)
{
  if (!QFileInfo(databasePath).isFile())
    return false;
  sqlite3 *db = nullptr;
  const QByteArray path = databasePath.toUtf8();
  if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  bool ok = false;
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v2(db, SearchQuery, -1, &st, nullptr) == SQLITE_OK) {
    const QByteArray key = keyword.toUtf8();
    if (sqlite3_bind_text(st, 1, key.constData(), int(key.size()), SQLITE_TRANSIENT) == SQLITE_OK) {
      QList<SearchRow> found;
      int rc;
      while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        found.append({Column(st, 0), Column(st, 1), Column(st, 2), Column(st, 3), Column(st, 4)});
      if (rc == SQLITE_DONE) {
        *rows = std::move(found);
        ok = true;
      }
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return ok;
}

QString LocalSearch(const QString &keyword)
{
  return LocalSearch(keyword, SearchDatabasePath(), SearchResultPage());
}

QString LocalSearch(const QString &keyword, const QString &databasePath, const QString &pagePath)
{
  QList<SearchRow> rows;
  if (!QuerySearchRows(databasePath, keyword, &rows))
    return {};
  if (rows.isEmpty())
    return QStringLiteral("0");
  const QByteArray bytes = ToGbk(SearchResultPageText(rows));
  if (!QDir().mkpath(QFileInfo(pagePath).absolutePath()))
    return {};
  // Written beside and moved over the old page, so a failed write leaves no
  // half page behind.
  QSaveFile file(pagePath);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    return {};
  return QFileInfo(pagePath).isFile() ? pagePath : QString();
}
