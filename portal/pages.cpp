#include "pages.h"

#include "crypto/cipher.h"

#include <QHash>
#include <QSet>

namespace portal {

namespace {

const char kStyle[] = R"(
body{margin:0;padding:12px;font-family:"WenQuanYi Zen Hei","Microsoft YaHei",sans-serif;
 background:#fff8e7;color:#4a3b2a;font-size:14px}
a{color:#e0620d;text-decoration:none}
h1{font-size:22px;margin:0;color:#d9480f;display:inline}
h2{font-size:18px;margin:18px 0 8px;color:#1971c2;border-left:6px solid #74c0fc;padding-left:8px}
.top{background:linear-gradient(#ffe066,#ffd43b);border-radius:14px;padding:10px 16px;
 box-shadow:0 3px 0 #f08c00;margin-bottom:12px}
.top .cat{color:#8a6d00;margin-right:6px}
.top .count{color:#8a6d00;margin-left:10px}
.bar{margin:8px 0 12px}
.btn{display:inline-block;background:#51cf66;color:#fff;border:0;border-radius:18px;padding:6px 16px;
 font-size:15px;box-shadow:0 3px 0 #2b8a3e;margin-right:8px;cursor:pointer;font-family:inherit}
.btn.blue{background:#4dabf7;box-shadow:0 3px 0 #1864ab}
table.grid{border-collapse:separate;border-spacing:10px;width:100%;table-layout:fixed}
table.grid td{vertical-align:top}
.tile{background:#fff;border-radius:14px;padding:8px;text-align:center;box-shadow:0 2px 6px rgba(0,0,0,.15)}
.tile .pic{display:block;height:80px;line-height:80px;border-radius:10px;font-size:44px;color:#fff}
.c0 .pic{background:#ff8787}.c1 .pic{background:#ffa94d}.c2 .pic{background:#69db7c}
.c3 .pic{background:#4dabf7}.c4 .pic{background:#b197fc}.c5 .pic{background:#f783ac}
.tile .nm{display:block;margin:6px 0 4px;font-size:15px;color:#343a40;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
.tile .ops{font-size:13px;color:#868e96}
.tile .ops a{margin-left:8px}
ul.list{list-style:none;padding:0;margin:0}
ul.list li{background:#fff;border-radius:10px;margin:6px 0;padding:8px 12px;box-shadow:0 1px 4px rgba(0,0,0,.12)}
ul.list li a.nm{font-size:16px;margin:0 12px}
.pages{text-align:center;margin:14px 0;font-size:15px}
.pages a,.pages b{display:inline-block;min-width:26px;padding:3px 6px;margin:0 3px;border-radius:13px}
.pages a{background:#fff;box-shadow:0 1px 3px rgba(0,0,0,.2)}
.pages b{background:#ff922b;color:#fff}
.empty{background:#fff;border-radius:14px;padding:40px;text-align:center;font-size:18px;color:#868e96}
.hello{font-size:16px;margin:6px 0 0}
.note{color:#868e96;font-size:13px}
)";

QString Head(const QString &title, const QString &extraStyle = {})
{
  return QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                        "<title>%1</title><style>%2%3</style></head>\n<body>\n")
      .arg(title.toHtmlEscaped(), QLatin1String(kStyle), extraStyle);
}

const QString kTail = QStringLiteral("</body></html>\n");

// A name as one field of a link command: blanks travel as %20, and the
// characters that would end the field, open a quoted field or cut the
// address short are replaced.
QString FieldName(QString name, bool forFile)
{
  name.replace(u'"', u'\'');
  name.replace(u'#', QStringLiteral("%23"));
  QString out;
  for (QChar c : name) {
    if (c.isSpace() || c.category() == QChar::Other_Control)
      out += QStringLiteral("%20");
    else if (forFile && QStringLiteral("_/\\:*?<>|").contains(c))
      out += u'-';
    else
      out += c;
  }
  return out;
}

QString Attr(const QString &s) { return s.toHtmlEscaped(); }

QString Tile(const Item &it, int n)
{
  const QString verb = it.type == u"4" ? QStringLiteral("看视频") : QStringLiteral("开始玩");
  const QString cmd = Attr(IdCommand(it));
  return QStringLiteral("<div class=\"tile c%1\"><a class=\"pic\" href=\"%2\" title=\"%3\">%4</a>"
                        "<a class=\"nm\" href=\"%2\">%5</a><div class=\"ops\">"
                        "<label><input type=\"checkbox\" class=\"pick\" value=\"%2\">选</label>"
                        "<a href=\"%2\">%3</a><a href=\"%6\">下载</a></div></div>")
      .arg(n % 6)
      .arg(cmd, verb, it.name.left(1).toHtmlEscaped(), it.name.toHtmlEscaped(),
           Attr(DlCommand(it)));
}

const QString kPickScript = QStringLiteral(
    "<script>function playPicked(){var b=document.querySelectorAll('input.pick:checked'),s=[];"
    "for(var i=0;i<b.length;i++)s.push(b[i].value);"
    "location.href=s.length?s.join(','):'ID_#';}</script>\n");

QByteArray Simple(const QString &title, const QString &body, const QString &style = {})
{
  return (Head(title, style) + body + kTail).toUtf8();
}

}  // namespace

QString IdCommand(const Item &item)
{
  return QStringLiteral("ID_") + EncipherText(QString::number(item.id)) + u'_' +
         FieldName(item.name, false);
}

QString TjidCommand(const Item &item)
{
  QString name = FieldName(item.name, false);
  name.replace(u'_', u'-');
  return QStringLiteral("TJID_") + EncipherText(QString::number(item.id)) + u'_' + name + u'_' +
         item.type + u'_' + item.channel;
}

QString DlCommand(const Item &item)
{
  return QStringLiteral("DL_") + EncipherText(QString::number(item.id)) + u'_' +
         FieldName(item.name, true) + u'_' + item.type;
}

int ChannelPageSize(const Record &channel, int columns)
{
  return (channel.type == u"1" || channel.type == u"4") ? columns * kGridRows : kListPageSize;
}

QByteArray StartPage(const Model &model, int edition)
{
  QString b =
      QStringLiteral(
          "<div class=\"top\"><h1>欢迎来到 Kestrova游戏乐园！</h1>%1"
          "<p "
          "class=\"hello\">小朋友，点左边的分类看看更多游戏；点下面的游戏马上就能玩。</p></div>\n")
          .arg(edition ? QStringLiteral(" <span class=\"count\">（第 %1 版）</span>").arg(edition)
                       : QString());
  const QList<Record> records = model.RecordsOf(kNewestCatalogVersion);
  // Up to six games of each category, lowest ids first, in one pass.
  QHash<QString, QList<const Item *>> featuredOf;
  for (const Item *it : model.AllItems()) {
    QList<const Item *> &f = featuredOf[it->channel.left(4)];
    if (f.size() < 6 && model.FindRecord(it->channel))
      f.append(it);
  }
  int n = 0;
  for (const Record &cat : records) {
    if (cat.isChannel())
      continue;
    const QList<const Item *> featured = featuredOf.value(cat.id);
    b += QStringLiteral("<h2>%1</h2>\n").arg(cat.name.toHtmlEscaped());
    if (featured.isEmpty()) {
      b += QStringLiteral("<p class=\"note\">新游戏马上就来，敬请期待！</p>\n");
      continue;
    }
    b += QStringLiteral("<table class=\"grid\"><tr>");
    for (const Item *it : featured) {
      const QString cmd = Attr(TjidCommand(*it));
      b += QStringLiteral("<td><div class=\"tile c%1\"><a class=\"pic\" href=\"%2\">%3</a>"
                          "<a class=\"nm\" href=\"%2\">%4</a></div></td>")
               .arg(n++ % 6)
               .arg(cmd, it->name.left(1).toHtmlEscaped(), it->name.toHtmlEscaped());
    }
    for (qsizetype i = featured.size(); i < 6; ++i)
      b += QStringLiteral("<td></td>");
    b += QStringLiteral("</tr></table>\n");
  }
  return Simple(QStringLiteral("Kestrova游戏"), b);
}

QByteArray ChannelPage(const Model &model, const Record &channel, int columns, int page)
{
  const QList<const Item *> items = model.ItemsOf(channel);
  const int size = ChannelPageSize(channel, columns);
  const int pages = std::max<int>(1, static_cast<int>((items.size() + size - 1) / size));
  const Record *cat = model.FindRecord(channel.pid);
  QString b = QStringLiteral("<div class=\"top\"><span class=\"cat\">%1 ›</span><h1>%2</h1>"
                             "<span class=\"count\">共 %3 个</span></div>\n")
                  .arg(cat ? cat->name.toHtmlEscaped() : QString(), channel.name.toHtmlEscaped())
                  .arg(items.size());
  const QList<const Item *> shown = items.mid(qsizetype(page - 1) * size, size);
  if (shown.isEmpty())
    return Simple(
        channel.name,
        b + QStringLiteral("<div class=\"empty\">这个频道还没有内容，去看看别的频道吧！</div>\n"));
  QStringList all;
  for (const Item *it : shown)
    all.append(IdCommand(*it));
  b += QStringLiteral(
           "<div class=\"bar\"><a class=\"btn\" href=\"%1\">▶ 播放本页全部</a>"
           "<button class=\"btn blue\" onclick=\"playPicked()\">播放选中的</button></div>\n")
           .arg(Attr(all.join(u',')));
  if (channel.type == u"1" || channel.type == u"4") {
    b += QStringLiteral("<table class=\"grid\">");
    for (qsizetype i = 0; i < shown.size(); ++i) {
      if (i % columns == 0)
        b += QStringLiteral("<tr>");
      b += QStringLiteral("<td>") + Tile(*shown[i], static_cast<int>(i)) + QStringLiteral("</td>");
      if (i % columns == columns - 1 || i + 1 == shown.size()) {
        for (qsizetype k = i % columns + 1; k < columns; ++k)
          b += QStringLiteral("<td></td>");
        b += QStringLiteral("</tr>\n");
      }
    }
    b += QStringLiteral("</table>\n");
  } else {
    b += QStringLiteral("<ul class=\"list\">");
    for (const Item *it : shown) {
      const QString cmd = Attr(IdCommand(*it));
      b += QStringLiteral("<li><label><input type=\"checkbox\" class=\"pick\" value=\"%1\"></label>"
                          "<a class=\"nm\" href=\"%1\">♪ %2</a><a href=\"%1\">听一听</a> "
                          "<a href=\"%3\">下载</a></li>\n")
               .arg(cmd, it->name.toHtmlEscaped(), Attr(DlCommand(*it)));
    }
    b += QStringLiteral("</ul>\n");
  }
  if (pages > 1) {
    b += QStringLiteral("<div class=\"pages\">");
    if (page > 1)
      b += QStringLiteral("<a href=\"%1.html\">上一页</a>").arg(page - 1);
    for (int p = 1; p <= pages; ++p)
      b += p == page ? QStringLiteral("<b>%1</b>").arg(p)
                     : QStringLiteral("<a href=\"%1.html\">%1</a>").arg(p);
    if (page < pages)
      b += QStringLiteral("<a href=\"%1.html\">下一页</a>").arg(page + 1);
    b += QStringLiteral("</div>\n");
  }
  return Simple(channel.name, b + kPickScript);
}

QByteArray AdsPage(int edition)
{
  Q_UNUSED(edition);
  const QString style = QStringLiteral(
      ".wait{text-align:center;margin-top:60px}"
      ".dots span{display:inline-block;width:22px;height:22px;margin:6px;border-radius:11px;"
      "animation:hop 1s infinite}"
      ".dots span:nth-child(1){background:#ff6b6b}.dots "
      "span:nth-child(2){background:#fcc419;animation-delay:.15s}"
      ".dots span:nth-child(3){background:#51cf66;animation-delay:.3s}.dots "
      "span:nth-child(4){background:#339af0;animation-delay:.45s}"
      "@keyframes hop{0%,100%{transform:translateY(0)}50%{transform:translateY(-18px)}}"
      ".tip{margin:30px auto;max-width:420px;background:#fff;border-radius:14px;padding:14px;"
      "box-shadow:0 2px 6px rgba(0,0,0,.15)}");
  return Simple(
      QStringLiteral("正在加载"),
      QStringLiteral(
          "<div class=\"wait\"><div class=\"dots\"><span></span><span></span>"
          "<span></span><span></span></div><h1>游戏正在准备中，请稍等一下下…</h1>"
          "<div class=\"tip\">小贴士：玩游戏的时候坐端正，眼睛离屏幕远一点哦！</div></div>\n"),
      style);
}

QByteArray AudioPage(int edition)
{
  Q_UNUSED(edition);
  const QString style = QStringLiteral(
      ".music{text-align:center;margin-top:50px}"
      ".eq span{display:inline-block;width:14px;margin:0 4px;height:60px;border-radius:7px;"
      "vertical-align:bottom;animation:beat .9s infinite ease-in-out}"
      ".eq span:nth-child(odd){background:#f783ac}.eq span:nth-child(even){background:#74c0fc}"
      ".eq span:nth-child(2){animation-delay:.2s}.eq span:nth-child(3){animation-delay:.4s}"
      ".eq span:nth-child(4){animation-delay:.1s}.eq span:nth-child(5){animation-delay:.3s}"
      "@keyframes beat{0%,100%{height:16px}50%{height:70px}}");
  return Simple(QStringLiteral("正在播放"),
                QStringLiteral(
                    "<div class=\"music\"><div class=\"eq\"><span></span><span></span><span></span>"
                    "<span></span><span></span></div><h1>♪ 正在播放，一起跟着唱吧！</h1>"
                    "<p class=\"hello\">想换一首？在左边的列表里点另一首就行。</p></div>\n"),
                style);
}

QByteArray CommentAdsPage(int edition)
{
  Q_UNUSED(edition);
  return Simple(
      QStringLiteral("小贴士"),
      QStringLiteral("<div class=\"top\"><b>小贴士</b><p class=\"hello\">每天玩游戏不要超过一小时，"
                     "多到户外跑一跑、跳一跳！</p></div>\n"),
      QStringLiteral("body{padding:4px;font-size:13px}"));
}

QByteArray MiniIndexPage(const QStringList &messages)
{
  QString b = QStringLiteral("<div class=\"top\"><h1>最新消息</h1></div><ul class=\"list\">");
  for (const QString &m : messages)
    b += QStringLiteral("<li>%1</li>").arg(m.toHtmlEscaped());
  if (messages.isEmpty())
    b += QStringLiteral("<li>现在没有新消息。</li>");
  b += QStringLiteral("</ul>\n");
  return Simple(QStringLiteral("最新消息"), b, QStringLiteral("body{padding:8px;font-size:13px}"));
}

QByteArray SupportPage()
{
  return Simple(
      QStringLiteral("在线服务支持"),
      QStringLiteral("<div class=\"top\"><h1>在线服务支持</h1></div><ul class=\"list\">"
                     "<li>游戏打不开？先看看网络是否连通，再点“播放”重新试一次。</li>"
                     "<li>下载的游戏在哪里？在“设置”里可以看到和修改下载文件夹。</li>"
                     "<li>还有问题？点“意见反馈”告诉我们，或写信到 support@kestrova.example。</li>"
                     "</ul>\n"));
}

QByteArray CommentPage(const Item &item, int userId, const QString &userName,
                       const QList<Comment> &comments, const QHash<int, QString> &names,
                       const QString &notice)
{
  QString b =
      QStringLiteral("<div class=\"top\"><span class=\"cat\">评论</span><h1>%1</h1></div>\n")
          .arg(item.name.toHtmlEscaped());
  if (!notice.isEmpty())
    b += QStringLiteral("<p class=\"note\">%1</p>").arg(notice.toHtmlEscaped());
  b += QStringLiteral("<form method=\"post\" action=\"userComment.do?contentid=%1&amp;userID=%2\">"
                      "<input type=\"hidden\" name=\"contentid\" value=\"%1\"><input "
                      "type=\"hidden\" name=\"userID\" value=\"%2\">"
                      "<p class=\"hello\">%3，说说你觉得这个怎么样：</p>"
                      "<textarea name=\"content\" maxlength=\"200\" rows=\"3\" "
                      "style=\"width:100%;box-sizing:border-box;"
                      "border-radius:10px;border:2px solid "
                      "#ffd43b;padding:6px;font-family:inherit\"></textarea>"
                      "<p><button class=\"btn\" type=\"submit\">发表评论</button></p></form>\n")
           .arg(item.id)
           .arg(userId ? QString::number(userId) : QString(),
                userName.isEmpty() ? QStringLiteral("小朋友") : userName.toHtmlEscaped());
  b += QStringLiteral("<h2>大家的评论（%1）</h2><ul class=\"list\">").arg(comments.size());
  for (qsizetype i = comments.size() - 1; i >= 0 && i >= comments.size() - 50; --i) {
    const Comment &c = comments[i];
    b += QStringLiteral("<li><span class=\"note\">%1 · %2</span><br>%3</li>")
             .arg(c.userId ? names.value(c.userId).toHtmlEscaped() : QStringLiteral("游客"),
                  c.time.toString(QStringLiteral("yyyy-MM-dd HH:mm")), c.text.toHtmlEscaped());
  }
  if (comments.isEmpty())
    b += QStringLiteral("<li>还没有人评论，快来说第一句吧！</li>");
  b += QStringLiteral("</ul>\n");
  return Simple(QStringLiteral("评论"), b, QStringLiteral("body{padding:8px}"));
}

QByteArray ServiceInfoPage(const QString &endpoint)
{
  return Simple(QStringLiteral("UserService"),
                QStringLiteral("<h2>UserService</h2><p>SOAP 1.1 endpoint. Service description: "
                               "<a href=\"%1?wsdl\">%1?wsdl</a></p>\n")
                    .arg(endpoint.toHtmlEscaped()));
}

QByteArray ErrorPage(int status, const QString &message)
{
  return Simple(QStringLiteral("出错了"),
                QStringLiteral("<div class=\"empty\"><h1>%1</h1><p>%2</p></div>\n")
                    .arg(status)
                    .arg(message.toHtmlEscaped()));
}

}  // namespace portal
