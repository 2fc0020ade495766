#include "derived.h"

#include "base/gbk.h"
#include "crypto/cipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamWriter>
#include <sqlite3.h>

#include <array>
#include <cmath>

namespace portal {

bool WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly))
    return false;
  f.write(bytes);
  return f.commit();
}

QByteArray CatalogXml(const Model &model, int version)
{
  const QList<Record> records = model.RecordsOf(version);
  QHash<QString, int> categoryNum;
  for (const Record &r : records)
    if (r.isChannel())
      categoryNum[r.pid] += static_cast<int>(r.items.size());
  QByteArray out;
  QXmlStreamWriter w(&out);
  w.setAutoFormatting(true);
  w.setAutoFormattingIndent(1);
  w.writeStartDocument();
  w.writeStartElement(QStringLiteral("channels"));
  w.writeAttribute(QStringLiteral("version"), QString::number(version));
  w.writeComment(QStringLiteral(" Kestrova游戏 channel catalog %1: categories (four-digit id) "
                                "and channels (six-digit id) ")
                     .arg(version));
  for (const Record &r : records) {
    w.writeStartElement(QStringLiteral("channel"));
    w.writeTextElement(QStringLiteral("id"), r.id);
    w.writeTextElement(QStringLiteral("pid"), r.pid);
    w.writeTextElement(QStringLiteral("name"), r.name);
    w.writeTextElement(QStringLiteral("num"),
                       QString::number(r.isChannel() ? r.items.size() : categoryNum.value(r.id)));
    w.writeTextElement(QStringLiteral("type"), r.type);
    w.writeEndElement();
  }
  w.writeEndElement();
  w.writeEndDocument();
  return out;
}

namespace {

struct Db {
  sqlite3 *h = nullptr;
  ~Db() { sqlite3_close(h); }
};

struct Stmt {
  sqlite3_stmt *h = nullptr;
  ~Stmt() { sqlite3_finalize(h); }
};

bool Exec(sqlite3 *db, const char *sql, QString *error)
{
  char *msg = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK)
    return true;
  *error = QString::fromUtf8(msg ? msg : "sqlite error");
  sqlite3_free(msg);
  return false;
}

QString Column(sqlite3_stmt *s, int i)
{
  const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(s, i));
  return t ? QString::fromUtf8(t) : QString();
}

}  // namespace

bool WriteSearchDatabase(const Model &model, int version, const QString &path, QString *error)
{
  const QString tmp = path + QStringLiteral(".part");
  QFile::remove(tmp);
  QDir().mkpath(QFileInfo(path).absolutePath());
  {
    Db db;
    if (sqlite3_open_v2(tmp.toUtf8().constData(), &db.h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
      *error = QStringLiteral("cannot create %1").arg(tmp);
      return false;
    }
    if (!Exec(db.h,
              "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
              "CREATE TABLE contentclass (contentclass TEXT PRIMARY KEY, classname TEXT);"
              "CREATE TABLE content (id TEXT PRIMARY KEY, title TEXT, contentclass TEXT);",
              error))
      return false;
    Stmt cls, content;
    sqlite3_prepare_v2(db.h, "INSERT INTO contentclass VALUES (?1, ?2)", -1, &cls.h, nullptr);
    sqlite3_prepare_v2(db.h, "INSERT INTO content VALUES (?1, ?2, ?3)", -1, &content.h, nullptr);
    if (!cls.h || !content.h) {
      *error = QString::fromUtf8(sqlite3_errmsg(db.h));
      return false;
    }
    auto bind = [](sqlite3_stmt *s, int i, const QString &v) {
      const QByteArray b = v.toUtf8();
      sqlite3_bind_text(s, i, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
    };
    QSet<int> done;
    const QList<Record> records = model.RecordsOf(version);
    QSet<QString> listed;
    for (const Record &r : records)
      listed.insert(r.id);
    for (const Record &r : records) {
      bind(cls.h, 1, r.id);
      bind(cls.h, 2, r.name);
      if (sqlite3_step(cls.h) != SQLITE_DONE) {
        *error = QString::fromUtf8(sqlite3_errmsg(db.h));
        return false;
      }
      sqlite3_reset(cls.h);
      if (!r.isChannel() || r.type != u"1")
        continue;  // the search finds games only: its links play type 1
      for (const Item *it : model.ItemsOf(r)) {
        if (done.contains(it->id))
          continue;
        // An item is filed under its own channel when this version
        // lists it, else under the first channel that shows it.
        const QString cls6 = listed.contains(it->channel) ? it->channel : r.id;
        done.insert(it->id);
        bind(content.h, 1, QString::number(it->id));
        bind(content.h, 2, it->name);
        bind(content.h, 3, cls6);
        if (sqlite3_step(content.h) != SQLITE_DONE) {
          *error = QString::fromUtf8(sqlite3_errmsg(db.h));
          return false;
        }
        sqlite3_reset(content.h);
      }
    }
    if (!Exec(db.h, "COMMIT;", error))
      return false;
  }
  QFile::remove(path);
  if (!QFile::rename(tmp, path)) {
    *error = QStringLiteral("cannot move %1 into place").arg(tmp);
    return false;
  }
  return true;
}

bool SearchTitles(const QString &db, const QString &classPrefix, const QString &words,
                  QList<SearchRow> *rows, QString *error)
{
  rows->clear();
  Db h;
  if (sqlite3_open_v2(db.toUtf8().constData(), &h.h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    *error = QStringLiteral("cannot open the search database");
    return false;
  }
  // The words are matched literally: their own % and _ are escaped.
  auto literal = [](QString s) {
    s.replace(u'\\', QStringLiteral("\\\\"));
    s.replace(u'%', QStringLiteral("\\%"));
    s.replace(u'_', QStringLiteral("\\_"));
    return s;
  };
  Stmt s;
  const char *sql =
      "select g.id, g.title, g.contentclass, c.classname as sub_nm, s.classname as big_nm "
      "from content g left join contentclass c on g.contentclass=c.contentclass "
      "left join contentclass s on substr(g.contentclass,1,4)=s.contentclass "
      "where g.title like ?1 escape '\\' and g.contentclass like ?2 escape '\\' "
      "order by title limit 0,50";
  if (sqlite3_prepare_v2(h.h, sql, -1, &s.h, nullptr) != SQLITE_OK) {
    *error = QString::fromUtf8(sqlite3_errmsg(h.h));
    return false;
  }
  const QByteArray pattern = (u'%' + literal(words) + u'%').toUtf8();
  const QByteArray prefix = (literal(classPrefix) + u'%').toUtf8();
  sqlite3_bind_text(s.h, 1, pattern.constData(), static_cast<int>(pattern.size()),
                    SQLITE_TRANSIENT);
  sqlite3_bind_text(s.h, 2, prefix.constData(), static_cast<int>(prefix.size()), SQLITE_TRANSIENT);
  int rc;
  while ((rc = sqlite3_step(s.h)) == SQLITE_ROW)
    rows->append(
        SearchRow{Column(s.h, 0), Column(s.h, 1), Column(s.h, 2), Column(s.h, 3), Column(s.h, 4)});
  if (rc != SQLITE_DONE) {
    *error = QString::fromUtf8(sqlite3_errmsg(h.h));
    return false;
  }
  return true;
}

QByteArray SearchResultPage(const QList<SearchRow> &rows)
{
  static const char *const kStyle[][2] = {
      {"BODY", "PADDING-RIGHT: 0px;PADDING-LEFT: 0px;PADDING-BOTTOM: 0px;MARGIN: 0px;COLOR: "
               "#666;PADDING-TOP: 0px;font-family: \"宋体\";font-size: 12px;"},
      {"A", "COLOR: #0066cc"},
      {"P",
       "PADDING-RIGHT: 0px; PADDING-LEFT: 0px; PADDING-BOTTOM: 0px; MARGIN: 0px; PADDING-TOP: 0px"},
      {"A IMG", "BORDER-TOP-STYLE: none; BORDER-RIGHT-STYLE: none; BORDER-LEFT-STYLE: none; "
                "BORDER-BOTTOM-STYLE: none"},
      {"EM", "COLOR: #dc241f"},
      {"EM", "FONT-STYLE: normal"},
      {"FONT", "FONT-STYLE: normal"},
      {"A EM", "TEXT-DECORATION: underline"},
      {"A FONT", "TEXT-DECORATION: underline"},
      {".table-song-list TH",
       "FONT-WEIGHT: normal; BACKGROUND: url(bg-titlebar.gif) repeat-x 0px -65px; HEIGHT: 31px"},
      {".table-song-list TH .inner_alpha", "BACKGROUND: url(bg-titlebar.gif) no-repeat 0px -33px; "
                                           "WIDTH: 100%; LINE-HEIGHT: 31px; HEIGHT: 31px"},
      {".table-song-list TH .inner_alpha", "PADDING-LEFT: 9px"},
      {".table-song-list TH .inner_beta", "BACKGROUND-POSITION: 100% -97px"},
      {".table-song-list .second A", "FONT-SIZE: 14px; FONT-FAMILY: \"宋体\""},
      {".table-song-list .second .t", "FONT-SIZE: 14px; FONT-FAMILY: \"宋体\""},
      {".table-song-list .third A", "FONT-SIZE: 12px; FONT-FAMILY: \"宋体\""},
      {".table-song-list TD", "PADDING-RIGHT: 0px; PADDING-LEFT: 9px; PADDING-BOTTOM: 6px; "
                              "VERTICAL-ALIGN: top; LINE-HEIGHT: 22px; PADDING-TOP: 7px"},
      {".table-song-list TD.first", "WIDTH: 8%;"},
      {".table-song-list TD.second", "WIDTH: 42%"},
      {".table-song-list TD.third", "WIDTH: 15%"},
      {".table-song-list TD.fifth", "WIDTH: 7%"},
      {".table-song-list TD.seventh", "WIDTH: 15%"},
      {".table-song-list TD.eight", "WIDTH: 13%"},
      {".table-song-list TD.seventh SPAN", "COLOR: #666666; FONT-FAMILY: verdana FONT-SIZE: 14px;"},
      {".table-song-list TD.first SPAN", "COLOR: #999999; FONT-FAMILY: \"宋体\" FONT-SIZE: 14px;"},
      {".table-song-list TD.second", "PADDING-LEFT: 0px"},
      {".stripe TD", "BACKGROUND: #fafafa"},
      {".tr-hover TD", "BACKGROUND: #f1f6ff"},
      {"UNKNOWN", "LINE-HEIGHT: 1.1em"},
      {".DivWidth100", "height:auto;"},
      {".pageTableBg", "BACKGROUND: url(bg-titlebar.gif);"},
  };
  QString page =
      QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                     "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"
                     "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
                     "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=GB2312\" />"
                     "<title>Kestrova教育网</title><style type=\"text/css\">");
  for (const auto &rule : kStyle)
    page += QString::fromUtf8(rule[0]) + u'{' + QString::fromUtf8(rule[1]) + u'}';
  page += QStringLiteral(
      "</style><script type=\"text/javascript\" src=\"jquery-1.4.4.min.js\"></script>"
      "<script type=\"text/javascript\" src=\"stripe.js\"></script></head>"
      "<body><DIV id=songResults monkey=\"songResults\" class=\"DivWidth100\">"
      "<TABLE class=table-song-list cellSpacing=0 cellPadding=0 border=0 width=\"100%\"><TBODY>"
      "<tr> "
      "<TH class=\"first bg_DDEDF4\" scope=col><DIV class=inner_gamma align=left> </DIV></TH>"
      "<TH class=\"second bg_DDEDF4\" scope=col><DIV class=inner_beta>游戏名称 </DIV></TH>"
      "<TH class=\"eight bg_DDEDF4\" scope=col><DIV class=inner_alpha>游戏大类 </DIV></TH>"
      "<TH class=\"seventh bg_DDEDF4\" scope=col><DIV class=inner_alpha>游戏小类 </DIV></TH>"
      "<TH class=\"fifth bg_DDEDF4\" scope=col><DIV class=inner_alpha>&nbsp; </DIV></TH>"
      "</tr>");
  int r = 0;
  for (const SearchRow &row : rows) {
    ++r;
    // The page is served, so its texts are escaped for HTML; the browser
    // hands the link back unescaped.  In the link a blank would end the
    // field and a "_" would start a new one when the client splits it, so
    // the name travels there with %20 and "-".
    const QString title = row.title.toHtmlEscaped();
    QString linkName = row.title;
    linkName.replace(u' ', QStringLiteral("%20")).replace(u'_', u'-');
    const QString link = EncipherText(row.id) + u'_' + linkName.toHtmlEscaped() +
                         QStringLiteral("_1_") + row.contentclass.toHtmlEscaped();
    QString big = row.bigName.toHtmlEscaped();
    const qsizetype at = big.indexOf(QStringLiteral("游戏"));
    if (at >= 0)
      big.replace(at, 2, QStringLiteral("类"));
    page += (r % 2 ? QStringLiteral("<TR class=\"own stripe\"><TD class=first><SPAN>")
                   : QStringLiteral("<TR class=\"own\"><TD class=first><SPAN>")) +
            QStringLiteral("%1").arg(r, 2, 10, QLatin1Char('0')) +
            QStringLiteral("</SPAN></td> <TD class=second><a href=\"TJID_") + link +
            QStringLiteral("\" class=\"view\"><EM>") + title +
            QStringLiteral("</EM></a></td> <TD class=eight><SPAN>") + big +
            QStringLiteral("</SPAN></td> <TD class=seventh><SPAN>") + row.subName.toHtmlEscaped() +
            QStringLiteral("</SPAN></td> <TD class=fifth><a href=\"TJID_") + link +
            QStringLiteral("\" class=\"view\"> <img src=\"playgame.png\" ") +
            QStringLiteral("alt=\"玩一下\" width=\"32\" height=\"18\" /></a></td></tr>");
  }
  page += QStringLiteral("</TBODY> </table> </div><br /></body></html>\r\n");
  return ToGbk(page);
}

namespace {

quint32 Crc32(const QByteArray &data)
{
  static const std::array<quint32, 256> table = [] {
    std::array<quint32, 256> t{};
    for (quint32 n = 0; n < 256; ++n) {
      quint32 c = n;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  quint32 c = 0xffffffffu;
  for (char ch : data)
    c = table[(c ^ static_cast<quint8>(ch)) & 0xff] ^ (c >> 8);
  return c ^ 0xffffffffu;
}

void PutBE32(QByteArray &out, quint32 v)
{
  for (int i = 3; i >= 0; --i)
    out.append(char((v >> (8 * i)) & 0xff));
}

// PNG of 8-bit RGBA rows, with its image data in stored (uncompressed)
// deflate blocks: small pictures need no compressor.
QByteArray EncodePng(int w, int h, const QByteArray &rgba)
{
  QByteArray raw;
  for (int y = 0; y < h; ++y)
    raw.append('\0').append(rgba.mid(qsizetype(y) * w * 4, qsizetype(w) * 4));
  QByteArray z("\x78\x01", 2);
  for (qsizetype pos = 0; pos < raw.size() || pos == 0; pos += 65535) {
    const qsizetype n = std::min<qsizetype>(65535, raw.size() - pos);
    const bool last = pos + n >= raw.size();
    z.append(char(last ? 1 : 0));
    z.append(char(n & 0xff)).append(char(n >> 8));
    z.append(char(~n & 0xff)).append(char((~n >> 8) & 0xff));
    z.append(raw.mid(pos, n));
    if (last)
      break;
  }
  quint32 a = 1, b = 0;
  for (char ch : raw) {
    a = (a + static_cast<quint8>(ch)) % 65521;
    b = (b + a) % 65521;
  }
  PutBE32(z, (b << 16) | a);
  QByteArray png("\x89PNG\r\n\x1a\n", 8);
  auto chunk = [&png](const char *type, const QByteArray &data) {
    PutBE32(png, static_cast<quint32>(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    png.append(typed);
    PutBE32(png, Crc32(typed));
  };
  QByteArray ihdr;
  PutBE32(ihdr, static_cast<quint32>(w));
  PutBE32(ihdr, static_cast<quint32>(h));
  ihdr.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));
  chunk("IHDR", ihdr);
  chunk("IDAT", z);
  chunk("IEND", {});
  return png;
}

// GIF of palette indices with LZW codes kept at 9 bits: a clear code every
// 250 pixels stops the code table from growing.
QByteArray EncodeGif(int w, int h, const QList<std::array<quint8, 3>> &palette,
                     const QByteArray &pixels)
{
  QByteArray g("GIF89a");
  auto le16 = [&g](int v) { g.append(char(v & 0xff)).append(char((v >> 8) & 0xff)); };
  le16(w);
  le16(h);
  g.append(char(0xF7)).append(char(0)).append(char(0));
  for (int i = 0; i < 256; ++i) {
    const auto c = i < palette.size() ? palette[i] : std::array<quint8, 3>{0, 0, 0};
    g.append(char(c[0])).append(char(c[1])).append(char(c[2]));
  }
  g.append(char(0x2C));
  le16(0);
  le16(0);
  le16(w);
  le16(h);
  g.append(char(0));
  g.append(char(8));  // minimum code size
  QByteArray data;
  quint32 acc = 0;
  int nbits = 0;
  auto put = [&](int code) {
    acc |= static_cast<quint32>(code) << nbits;
    nbits += 9;
    while (nbits >= 8) {
      data.append(char(acc & 0xff));
      acc >>= 8;
      nbits -= 8;
    }
  };
  for (qsizetype i = 0; i < pixels.size(); ++i) {
    if (i % 250 == 0)
      put(256);
    put(static_cast<quint8>(pixels[i]));
  }
  put(257);
  if (nbits > 0)
    data.append(char(acc & 0xff));
  for (qsizetype pos = 0; pos < data.size(); pos += 255) {
    const qsizetype n = std::min<qsizetype>(255, data.size() - pos);
    g.append(char(n));
    g.append(data.mid(pos, n));
  }
  g.append(char(0)).append(char(0x3B));
  return g;
}

}  // namespace

QByteArray SearchButtonPng()
{
  // A round green button with a white "play" triangle, 32 x 18.
  const int w = 32, h = 18;
  QByteArray px(w * h * 4, '\0');
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double r = 6.0;
      const double cx = std::clamp(x + 0.5, r, w - r), cy = std::clamp(y + 0.5, r, h - r);
      const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      const double cover = std::clamp(r - d + 0.5, 0.0, 1.0);
      int red = 84 - y * 2, green = 196 - y * 3, blue = 72 - y * 2;
      // Triangle pointing right, centred.
      const double tx = x + 0.5 - 12.0, ty = y + 0.5 - 9.0;
      if (tx >= 0 && tx <= 9 && std::abs(ty) <= (9 - tx) * 0.55) {
        red = green = blue = 255;
      }
      char *p = px.data() + (y * w + x) * 4;
      p[0] = char(red);
      p[1] = char(green);
      p[2] = char(blue);
      p[3] = char(std::lround(cover * 255));
    }
  }
  return EncodePng(w, h, px);
}

QByteArray TitleBarGif()
{
  // A 400 x 130 strip of the header's pieces: y 33-63 a column cell with a
  // separator on its left, y 65-95 the header band, y 97-127 a cell with a
  // separator on its right.
  const int w = 400, h = 130;
  QList<std::array<quint8, 3>> pal;
  for (int i = 0; i < 32; ++i)  // light blue gradient, 0 = top
    pal.append({quint8(238 - i * 2), quint8(246 - i), quint8(251 - i / 2)});
  pal.append({170, 200, 220});  // 32: separator
  pal.append({255, 255, 255});  // 33: white
  QByteArray px(w * h, char(33));
  for (int y = 0; y < h; ++y) {
    int band = -1;
    if (y >= 33 && y < 64)
      band = y - 33;
    else if (y >= 65 && y < 96)
      band = y - 65;
    else if (y >= 97 && y < 128)
      band = y - 97;
    if (band < 0)
      continue;
    for (int x = 0; x < w; ++x) {
      char c = char(band);
      if ((y < 64 && x == 0) || (y >= 97 && x == w - 1))
        c = char(32);
      px[y * w + x] = c;
    }
  }
  return EncodeGif(w, h, pal, px);
}

QByteArray StripeScript()
{
  return QByteArrayLiteral(
      "// Highlights the result row under the mouse.  Plain script: it works\n"
      "// with or without the jQuery file beside it.\n"
      "(function () {\n"
      "  function hook() {\n"
      "    var rows = document.querySelectorAll('.table-song-list tr.own');\n"
      "    for (var i = 0; i < rows.length; i++) {\n"
      "      rows[i].onmouseover = function () { this.className += ' tr-hover'; };\n"
      "      rows[i].onmouseout = function () { this.className = this.className.replace(/ "
      "?tr-hover/g, ''); };\n"
      "    }\n"
      "  }\n"
      "  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', "
      "hook);\n"
      "  else hook();\n"
      "})();\n");
}

QByteArray JQueryScript()
{
  QFile f(QStringLiteral("/usr/share/javascript/jquery/jquery.min.js"));
  if (!f.open(QIODevice::ReadOnly))
    return {};
  return QByteArrayLiteral(
             "/* The jQuery library as Debian's libjs-jquery ships it, under the file "
             "name the search result page loads. */\n") +
         f.readAll();
}

bool ExportClientFiles(const Model &model, const QString &dir, QString *error)
{
  const QString root = QDir(dir).absolutePath();
  const QString xml = root + QStringLiteral("/Resource/xml/%1.xml").arg(kShippedCatalogVersion);
  const QString search = root + QStringLiteral("/Resource/html/search/");
  if (!WriteFileAtomically(xml, CatalogXml(model, kShippedCatalogVersion))) {
    *error = QStringLiteral("cannot write %1").arg(xml);
    return false;
  }
  if (!WriteSearchDatabase(model, kShippedCatalogVersion, search + QStringLiteral("search.db"),
                           error))
    return false;
  const QByteArray jquery = JQueryScript();
  const bool ok = WriteFileAtomically(search + QStringLiteral("playgame.png"), SearchButtonPng()) &&
                  WriteFileAtomically(search + QStringLiteral("bg-titlebar.gif"), TitleBarGif()) &&
                  WriteFileAtomically(search + QStringLiteral("stripe.js"), StripeScript()) &&
                  (jquery.isEmpty() ||
                   WriteFileAtomically(search + QStringLiteral("jquery-1.4.4.min.js"), jquery));
  if (!ok)
    *error = QStringLiteral("cannot write the files in %1").arg(search);
  return ok;
}

}  // namespace portal
