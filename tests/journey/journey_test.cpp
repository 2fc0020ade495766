// What a child does in one afternoon, on the installed program: the start
// page, a category and its first channel, a game from the page (fetched with
// progress, then playing), a favorite, a download, a search and a game from
// its result page, the organiser, and the end through the tray menu.  Every
// step is an input event on a widget of the running client (through its
// automation interface) and waits a bounded time; afterwards the files the
// client left are read.
#include "automationclient.h"
#include "portalprocess.h"
#include "slowrelay.h"
#include "xsession.h"

#include "base/gbk.h"
#include "base/ini.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QHash>
#include <QImage>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

const QString kMain = QStringLiteral("frmMain");
const QString kBox = QStringLiteral("Kestrova提示");  // the caption of every message box
const QString kOrganiser = QStringLiteral("frmTrimPlayList");

struct Item {
  QString id, type, name, file;
};

// The stand-in portal's items (id, type, channel, name, file).
QList<Item> PortalItems(const QString &tsv)
{
  QList<Item> items;
  QFile f(tsv);
  if (!f.open(QIODevice::ReadOnly))
    return items;
  for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n')) {
    const QStringList c = line.split(u'\t');
    if (line.startsWith(u'#') || c.size() < 5 || c[0] == u"id")
      continue;
    items.append({c[0], c[1], c[3], c[4].trimmed()});
  }
  return items;
}

QByteArray ReadBytes(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a program to its end; its output when it failed.
QString RunToEnd(const QString &program, const QStringList &args, int timeoutMs)
{
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(program, args);
  if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    return QStringLiteral("failed: ") + program + u' ' + args.join(u' ') + u'\n' +
           QString::fromLocal8Bit(p.readAll());
  return QString();
}

// What a picture of the player shows: how many colours (at 4 bits per
// channel), and the share of its commonest colour.  A blank player is one
// colour.
struct Picture {
  int colours = 0;
  double commonest = 1;
};
Picture Look(const QImage &img)
{
  Picture p;
  if (img.isNull())
    return p;
  QHash<QRgb, qint64> counts;
  qint64 all = 0;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2, ++all)
      ++counts[img.pixel(x, y) & 0xf0f0f0];
  qint64 most = 0;
  for (const qint64 n : counts)
    most = std::max(most, n);
  p.colours = counts.size();
  p.commonest = all ? double(most) / all : 1;
  return p;
}
double ChangedShare(const QImage &a, const QImage &b)
{
  if (a.isNull() || a.size() != b.size())
    return 0;
  qint64 changed = 0, all = 0;
  for (int y = 0; y < a.height(); y += 2)
    for (int x = 0; x < a.width(); x += 2, ++all)
      changed += a.pixel(x, y) != b.pixel(x, y);
  return double(changed) / all;
}

class JourneyTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    for (const char *tool : {"Xvfb", "trayer", "xdotool"})
      if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
        GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
    ASSERT_TRUE(m_work.isValid());
    // KESTROVA_JOURNEY_KEEP=1 keeps the folder (pictures, logs, files) to look at.
    m_work.setAutoRemove(!qEnvironmentVariableIsSet("KESTROVA_JOURNEY_KEEP"));
    m_dir = m_work.path() + u'/';
    if (!m_work.autoRemove())
      std::printf("journey: the work folder stays at %s\n", qPrintable(m_dir));
    m_app = m_dir + QStringLiteral("app/");
    for (const char *sub : {"run", "auto", "home", "shots"})
      QDir().mkpath(m_dir + QString::fromLatin1(sub));
    for (const char *sub : {"run", "auto"})
      QFile::setPermissions(m_dir + QString::fromLatin1(sub), QFileDevice::ReadOwner |
                                                                  QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
    // The program folder exactly as an installation lays it out.
    const QString failed =
        RunToEnd(QStringLiteral(KESTROVA_CMAKE),
                 {QStringLiteral("--install"), QStringLiteral(KESTROVA_JOURNEY_BUILD_DIR),
                  QStringLiteral("--prefix"), m_app},
                 120000);
    ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();
    m_items = PortalItems(m_app + QStringLiteral("portal/data/items.tsv"));
    ASSERT_FALSE(m_items.isEmpty()) << "the installation has no portal/data/items.tsv";

    ASSERT_TRUE(m_portal.start(m_app + QStringLiteral("kestrova-portal"),
                               m_dir + QStringLiteral("portal"),
                               m_app + QStringLiteral("Config/platform.ini")))
        << m_portal.error().toStdString();
    // Content files come through the slow relay, so a fetch takes seconds.
    const QUrl base(m_portal.base());
    m_relay = std::make_unique<SlowRelay>("127.0.0.1", base.port(), 2.5);
    ASSERT_GT(m_relay->port(), 0);
    const QString platform = m_app + QStringLiteral("Config/platform.ini");
    QString download = ReadIniValue(platform, QStringLiteral("Info"), QStringLiteral("3"));
    ASSERT_TRUE(download.startsWith(m_portal.base())) << download.toStdString();
    download.replace(0, m_portal.base().size(),
                     QStringLiteral("http://127.0.0.1:%1").arg(m_relay->port()));
    ASSERT_TRUE(WriteIniValue(platform, QStringLiteral("Info"), QStringLiteral("3"), download));

    m_x = std::make_unique<XServer>();
    ASSERT_TRUE(m_x->ok()) << "no X server could be started";
    m_tray = m_x->StartTray();
    ASSERT_TRUE(WaitFor(
        [&] {
          return !m_x->Xdo({QStringLiteral("search"), QStringLiteral("--class"),
                            QStringLiteral("trayer")})
                      .isEmpty();
        },
        20000))
        << "the tray host did not come up";
  }

  void TearDown() override
  {
    if (m_client && m_client->state() != QProcess::NotRunning) {
      m_client->kill();
      m_client->waitForFinished(10000);
    }
    if (m_tray) {
      m_tray->kill();
      m_tray->waitForFinished(5000);
    }
    m_relay.reset();
    m_portal.stop();
  }

  void StartClient()
  {
    m_client = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_x->display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir + QStringLiteral("run"));
    env.insert(QStringLiteral("HOME"), m_dir + QStringLiteral("home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir + QStringLiteral("home/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir + QStringLiteral("home/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir + QStringLiteral("home/cache"));
    env.insert(QStringLiteral("KESTROVA_AUTOMATION"), socketPath());
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_client->setProcessEnvironment(env);
    m_client->setProcessChannelMode(QProcess::MergedChannels);
    m_client->setStandardOutputFile(m_dir + QStringLiteral("client.log"));
    m_client->start(m_app + QStringLiteral("kestrova"), {});
  }

  QString socketPath() const { return m_dir + QStringLiteral("auto/socket"); }

  // What the client printed, and the windows it shows: for failure messages.
  std::string Diagnose()
  {
    QString out =
        QStringLiteral("\nwindows: ") +
        QString::fromUtf8(
            QJsonDocument(m_auto.Ask({{QStringLiteral("op"), QStringLiteral("windows")}}, 5000))
                .toJson(QJsonDocument::Compact));
    out += QStringLiteral("\nclient log (end):\n") +
           QString::fromUtf8(ReadBytes(m_dir + QStringLiteral("client.log")).right(2000));
    return out.toStdString();
  }

  // Waits until `done` holds, asking the client in between.
  template <typename F>
  bool Poll(F done, int timeoutMs)
  {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > timeoutMs || m_client->waitForFinished(0) ||
          m_client->state() == QProcess::NotRunning)
        return false;
      QThread::msleep(100);
    }
    return true;
  }

  // Clicks a widget; false (with the client's reason in `why`) when refused.
  bool Click(const QString &name, const QString &window = QString())
  {
    const QJsonObject a = m_auto.Click(name, window);
    m_why = a.value(QStringLiteral("error")).toString();
    return a.value(QStringLiteral("ok")).toBool();
  }
  bool ClickIn(const QJsonObject &request)
  {
    const QJsonObject a = m_auto.Ask(request);
    m_why = a.value(QStringLiteral("error")).toString();
    return a.value(QStringLiteral("ok")).toBool();
  }
  bool Visible(const QString &name, const QString &window = QString())
  {
    return m_auto.Find(name, window).value(QStringLiteral("visible")).toBool();
  }
  QString Text(const QString &name, const QString &window = QString())
  {
    return m_auto.Find(name, window).value(QStringLiteral("text")).toString();
  }
  QString Url(const QString &view)
  {
    return m_auto.Find(view, kMain).value(QStringLiteral("url")).toString();
  }
  bool PageReady(const QString &view, const QString &needle)
  {
    return Url(view).contains(needle) &&
           m_auto.Js(view, QStringLiteral("document.readyState === 'complete'"))
               .value(QStringLiteral("result"))
               .toBool();
  }
  // The centre of the first element `selector` in the page (scrolled into
  // view), with its text; empty when the page has none.
  QJsonObject Element(const QString &view, const QString &selector)
  {
    const QString script =
        QStringLiteral("(function(){var e=document.querySelector(%1);if(!e)return null;"
                       "e.scrollIntoView({block:'center'});var r=e.getBoundingClientRect();"
                       "return {x:r.left+r.width/2,y:r.top+r.height/2,"
                       "text:(e.textContent||'').trim(),href:e.getAttribute('href')||'',"
                       "row:(e.closest('tr')||e.parentNode).textContent};})()")
            .arg(QString::fromUtf8(
                     QJsonDocument(QJsonArray{selector}).toJson(QJsonDocument::Compact))
                     .mid(1)
                     .chopped(1));
    return m_auto.Js(view, script).value(QStringLiteral("result")).toObject();
  }
  bool ClickInPage(const QString &view, const QJsonObject &element)
  {
    return ClickIn({{QStringLiteral("op"), QStringLiteral("click")},
                    {QStringLiteral("name"), view},
                    {QStringLiteral("window"), kMain},
                    {QStringLiteral("part"), QStringLiteral("page")},
                    {QStringLiteral("x"), element.value(QStringLiteral("x"))},
                    {QStringLiteral("y"), element.value(QStringLiteral("y"))}});
  }
  // The message box that shows `text` (when given) is answered with `button`.
  bool AnswerBox(const QString &button, const QString &text = QString())
  {
    if (!Poll([&] { return Visible(button, kBox); }, 30000))
      return false;
    if (!text.isEmpty() && Text(QStringLiteral("lblHint"), kBox) != text) {
      m_why = QStringLiteral("the box says: ") + Text(QStringLiteral("lblHint"), kBox);
      return false;
    }
    return Click(button, kBox) && Poll([&] { return !Visible(button, kBox); }, 30000);
  }
  QStringList RowTexts(const QString &tree, const QString &window, QString *selected = nullptr)
  {
    QStringList texts;
    for (const QJsonValue &row : m_auto.Rows(tree, window)) {
      texts.append(row[QStringLiteral("text")].toString());
      if (selected && row[QStringLiteral("selected")].toBool())
        *selected = texts.last();
    }
    return texts;
  }
  // Grabs the Flash player's pixels as the screen shows them.
  QImage Shot(const QString &name)
  {
    const QString path = m_dir + QStringLiteral("shots/") + name + QStringLiteral(".png");
    QFile::remove(path);
    const QJsonObject a = m_auto.Ask({{QStringLiteral("op"), QStringLiteral("grab")},
                                      {QStringLiteral("name"), QStringLiteral("ShockwaveFlash1")},
                                      {QStringLiteral("window"), kMain},
                                      {QStringLiteral("path"), path}});
    return a.value(QStringLiteral("ok")).toBool() ? QImage(path) : QImage();
  }
  const Item *ItemNamed(const QString &name) const
  {
    for (const Item &i : m_items)
      if (i.name == name)
        return &i;
    return nullptr;
  }
  QString Media(const Item &item) const
  {
    return m_app + QStringLiteral("portal/media/") + item.file;
  }
  // The game plays: the Flash player shows a picture, not one colour, that
  // differs from `other`; with `moving`, two such pictures in a row differ
  // too (the game moves by itself).
  bool GamePlays(const QString &label, bool moving, const QImage &other, QImage *last)
  {
    QImage before;
    int round = 0;
    return Poll(
        [&] {
          const QImage now = Shot(label + QString::number(round++));
          const Picture p = Look(now);
          const bool picture = p.colours >= 16 && p.commonest < 0.9 &&
                               (other.isNull() || ChangedShare(other, now) > 0.05);
          const bool moved = !before.isNull() && ChangedShare(before, now) > 0.001;
          m_why = QStringLiteral("%1 colours, the commonest %2, moved %3")
                      .arg(p.colours)
                      .arg(p.commonest)
                      .arg(moved);
          before = picture ? now : QImage();
          *last = now;
          return picture && (!moving || moved);
        },
        45000);
  }

  QTemporaryDir m_work{QDir::tempPath() + QStringLiteral("/kjourney-XXXXXX")};
  QString m_dir, m_app, m_why;
  QList<Item> m_items;
  PortalProcess m_portal;
  std::unique_ptr<SlowRelay> m_relay;
  std::unique_ptr<XServer> m_x;
  std::unique_ptr<QProcess> m_tray;
  std::unique_ptr<QProcess> m_client;
  AutomationClient m_auto;
};

}  // namespace

TEST_F(JourneyTest, AChildsAfternoonFromTheStartPageToTheTrayExit)
{
  StartClient();
  ASSERT_TRUE(m_auto.Connect(socketPath(), 90000))
      << "start: the client never listened for the test" << Diagnose();

  // 1. The start page shows in the page view.
  const QString start = QUrl(ReadIniValue(m_app + QStringLiteral("Config/platform.ini"),
                                          QStringLiteral("Info"), QStringLiteral("4")))
                            .path();
  ASSERT_TRUE(
      Poll([&] { return Visible(kMain) && PageReady(QStringLiteral("wbMain"), start); }, 90000))
      << "start page: " << start.toStdString() << " never showed in wbMain (at "
      << Url(QStringLiteral("wbMain")).toStdString() << ")" << Diagnose();

  // 2. A category button: its channels in the tree, its first channel's
  // listing page in the page view.
  // The category 敏捷 (0702) and its first channel in catalog order.
  QString channelId, channelName;
  for (const QString &line :
       QString::fromUtf8(ReadBytes(m_app + QStringLiteral("portal/data/channels.tsv")))
           .split(u'\n')) {
    const QStringList c = line.split(u'\t');
    if (c.size() > 2 && c[1] == u"0702") {
      channelId = c[0];
      channelName = c[2];
      break;
    }
  }
  ASSERT_FALSE(channelId.isEmpty()) << "the portal lists no channel of 0702";
  const QString channelPage = QStringLiteral("/07/0702/") + channelId + u'/';
  ASSERT_TRUE(Click(QStringLiteral("sbtnMjGame"), kMain)) << m_why.toStdString();
  ASSERT_TRUE(Poll([&] { return PageReady(QStringLiteral("wbMain"), channelPage); }, 60000))
      << "category: the page of its first channel " << channelId.toStdString()
      << " did not open (at " << Url(QStringLiteral("wbMain")).toStdString() << ")" << Diagnose();
  EXPECT_TRUE(Url(QStringLiteral("wbMain")).endsWith(QStringLiteral("/1.html")))
      << Url(QStringLiteral("wbMain")).toStdString();
  // The tree lists the category's channels (name and number of items), the
  // first channel first.
  const QStringList channels = RowTexts(QStringLiteral("tv1"), kMain);
  EXPECT_TRUE(!channels.isEmpty() && channels.first().startsWith(channelName + u'('))
      << "category: the tree does not begin with " << channelName.toStdString() << ": "
      << channels.join(u'|').toStdString();

  // 3. A game link in the page.
  QJsonObject link;
  ASSERT_TRUE(Poll(
      [&] {
        link = Element(QStringLiteral("wbMain"), QStringLiteral("a.nm[href^='ID_']"));
        return !link.isEmpty();
      },
      30000))
      << "channel page: no game link in it" << Diagnose();
  const QString firstName = link.value(QStringLiteral("text")).toString();
  const Item *first = ItemNamed(firstName);
  ASSERT_NE(first, nullptr) << "channel page: unknown game " << firstName.toStdString();
  ASSERT_EQ(first->type, QStringLiteral("1"));
  ASSERT_TRUE(ClickInPage(QStringLiteral("wbMain"), link)) << m_why.toStdString();

  // 4. The fetch shows its progress on the status line, then the file is in
  // the cache.
  const QString cacheFirst = m_app + QStringLiteral("Caches/") + first->id + QStringLiteral(".swf");
  QString progress;
  ASSERT_TRUE(Poll(
      [&] {
        const QString status = Text(QStringLiteral("lblStatus"), kMain);
        if (status.contains(QStringLiteral("已下载")))
          progress = status;
        return !progress.isEmpty() && QFileInfo::exists(cacheFirst);
      },
      60000))
      << "fetch: progress seen '" << progress.toStdString() << "', cached "
      << QFileInfo::exists(cacheFirst) << Diagnose();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^共[0-9,.]+KB,已下载[0-9,.]+%$"))
                  .match(progress)
                  .hasMatch())
      << progress.toStdString();

  // 5. The game renders in the Flash player, and moves.
  QImage firstPicture, secondPicture;
  ASSERT_TRUE(GamePlays(QStringLiteral("first"), true, QImage(), &firstPicture))
      << "play: the game never showed (" << m_why.toStdString() << ")" << Diagnose();

  // 6. The favorite button.
  ASSERT_TRUE(Click(QStringLiteral("imgFavorite2"), kMain)) << m_why.toStdString();
  ASSERT_TRUE(AnswerBox(QStringLiteral("limgOk"), QStringLiteral("已加入\"我的收藏\"。")))
      << "favorite: " << m_why.toStdString() << Diagnose();

  // 7. The download button: the file arrives in the download folder.
  const QString downloaded = m_app + QStringLiteral("DL/") + first->name + QStringLiteral(".swf");
  const QByteArray firstBytes = ReadBytes(Media(*first));
  ASSERT_FALSE(firstBytes.isEmpty());
  ASSERT_TRUE(Click(QStringLiteral("imgDownload"), kMain)) << m_why.toStdString();
  ASSERT_TRUE(Poll([&] { return QFileInfo(downloaded).size() == firstBytes.size(); }, 60000))
      << "download: " << downloaded.toStdString() << " did not arrive" << Diagnose();
  // When all downloads are done the window asks whether to open the folder.
  ASSERT_TRUE(AnswerBox(QStringLiteral("limgCancel")))
      << "download: " << m_why.toStdString() << Diagnose();

  // 8. A search for another game's title; its result row plays (another
  // picture than the first game's).
  const Item *second = nullptr;
  for (const Item &i : m_items)
    if (i.type == u"1" && i.id != first->id && !i.name.contains(u' ')) {
      second = &i;
      break;
    }
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(Click(QStringLiteral("edtkey"), kMain)) << m_why.toStdString();
  ASSERT_TRUE(ClickIn({{QStringLiteral("op"), QStringLiteral("type")},
                       {QStringLiteral("name"), QStringLiteral("edtkey")},
                       {QStringLiteral("window"), kMain},
                       {QStringLiteral("keys"), second->name}}))
      << m_why.toStdString();
  ASSERT_TRUE(Poll([&] { return Text(QStringLiteral("edtkey"), kMain) == second->name; }, 10000))
      << "search: the box holds '" << Text(QStringLiteral("edtkey"), kMain).toStdString() << "'"
      << Diagnose();
  ASSERT_TRUE(ClickIn({{QStringLiteral("op"), QStringLiteral("key")},
                       {QStringLiteral("name"), QStringLiteral("edtkey")},
                       {QStringLiteral("window"), kMain},
                       {QStringLiteral("key"), QStringLiteral("Return")}}))
      << m_why.toStdString();
  QJsonObject row;
  ASSERT_TRUE(Poll(
      [&] {
        if (!PageReady(QStringLiteral("wbMain"), QStringLiteral("search")))
          return false;
        row = Element(QStringLiteral("wbMain"), QStringLiteral("a.view"));
        return !row.isEmpty();
      },
      60000))
      << "search: no result page with a play button (at "
      << Url(QStringLiteral("wbMain")).toStdString() << ")" << Diagnose();
  EXPECT_TRUE(row.value(QStringLiteral("row")).toString().contains(second->name))
      << row.value(QStringLiteral("row")).toString().toStdString();
  ASSERT_TRUE(ClickInPage(QStringLiteral("wbMain"), row)) << m_why.toStdString();
  const QString cacheSecond =
      m_app + QStringLiteral("Caches/") + second->id + QStringLiteral(".swf");
  ASSERT_TRUE(Poll(
      [&] {
        QString selected;
        return RowTexts(QStringLiteral("tvPlayList"), kMain, &selected).contains(second->name) &&
               selected == second->name && QFileInfo::exists(cacheSecond);
      },
      60000))
      << "search: the result's game was not fetched and selected" << Diagnose();
  ASSERT_TRUE(GamePlays(QStringLiteral("second"), false, firstPicture, &secondPicture))
      << "search: its game never showed" << Diagnose();

  // 9. The organiser: the first entry moves down one place, then is saved.
  ASSERT_TRUE(Click(QStringLiteral("imgSelfSel"), kMain)) << m_why.toStdString();
  ASSERT_TRUE(Poll([&] { return Visible(QStringLiteral("imgDealPlayList"), kMain); }, 10000))
      << "organiser: the play list page did not show";
  ASSERT_TRUE(Click(QStringLiteral("imgDealPlayList"), kMain)) << m_why.toStdString();
  QJsonArray rows;
  ASSERT_TRUE(Poll(
      [&] {
        rows = m_auto.Rows(QStringLiteral("tvPlayList"), kOrganiser);
        return Visible(kOrganiser) && rows.size() >= 2;
      },
      30000))
      << "organiser: did not open with both games" << Diagnose();
  QStringList before;
  for (const QJsonValue &r : rows)
    before.append(r[QStringLiteral("text")].toString());
  const QJsonObject firstRow = rows.at(0).toObject();
  ASSERT_TRUE(ClickIn({{QStringLiteral("op"), QStringLiteral("click")},
                       {QStringLiteral("name"), QStringLiteral("tvPlayList")},
                       {QStringLiteral("window"), kOrganiser},
                       {QStringLiteral("part"), QStringLiteral("viewport")},
                       {QStringLiteral("x"), firstRow[QStringLiteral("x")].toInt() +
                                                 firstRow[QStringLiteral("w")].toInt() / 2},
                       {QStringLiteral("y"), firstRow[QStringLiteral("y")].toInt() +
                                                 firstRow[QStringLiteral("h")].toInt() / 2}}))
      << m_why.toStdString();
  ASSERT_TRUE(Poll(
      [&] {
        QString selected;
        RowTexts(QStringLiteral("tvPlayList"), kOrganiser, &selected);
        return selected == before.first();
      },
      10000))
      << "organiser: the click did not select the first entry";
  ASSERT_TRUE(Click(QStringLiteral("imgDown"), kOrganiser)) << m_why.toStdString();
  QStringList expected = before;
  expected.swapItemsAt(0, 1);
  ASSERT_TRUE(
      Poll([&] { return RowTexts(QStringLiteral("tvPlayList"), kOrganiser) == expected; }, 10000))
      << "organiser: the entry did not move down";
  ASSERT_TRUE(Click(QStringLiteral("imgSave"), kOrganiser)) << m_why.toStdString();
  ASSERT_TRUE(AnswerBox(QStringLiteral("limgOk"), QStringLiteral("游戏记录整理完成。")))
      << "organiser: " << m_why.toStdString() << Diagnose();
  ASSERT_TRUE(Poll([&] { return !Visible(kOrganiser); }, 30000)) << "organiser: did not close";
  EXPECT_EQ(RowTexts(QStringLiteral("tvPlayList"), kMain), expected);

  // 10. The tray menu's exit item, and its question answered yes.
  const QJsonObject tray = m_auto.Ask({{QStringLiteral("op"), QStringLiteral("tray")},
                                       {QStringLiteral("text"), QStringLiteral("退出系统")}});
  ASSERT_TRUE(tray.value(QStringLiteral("ok")).toBool())
      << "exit: " << tray.value(QStringLiteral("error")).toString().toStdString() << Diagnose();
  ASSERT_TRUE(AnswerBox(QStringLiteral("limgOk"),
                        QStringLiteral("最小化到托盘(挂机可优先升级新游戏)\n您确定退出吗?")))
      << "exit: " << m_why.toStdString() << Diagnose();
  ASSERT_TRUE(m_client->waitForFinished(60000)) << "exit: the client did not end" << Diagnose();
  EXPECT_EQ(m_client->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(m_client->exitCode(), 0);
  EXPECT_FALSE(QFileInfo::exists(socketPath())) << "the automation socket outlived the client";

  // --- What the client left on disk ---------------------------------------
  // local.ini: one start, the cache and download folders in the program's.
  const QString ini = m_app + QStringLiteral("Config/local.ini");
  const QString info = QStringLiteral("Info");
  EXPECT_EQ(ReadIniValue(ini, info, QStringLiteral("1")), QStringLiteral("1"));
  EXPECT_EQ(ReadIniValue(ini, info, QStringLiteral("10")), m_app + QStringLiteral("DL/"));
  EXPECT_EQ(ReadIniValue(ini, info, QStringLiteral("12")), m_app + QStringLiteral("Caches/"));

  // pvlt_last.dat: GBK, CR LF, the header, the organiser's order.
  const QByteArray list = ReadBytes(m_app + QStringLiteral("Resource/Dat/pvlt_last.dat"));
  ASSERT_FALSE(list.isEmpty()) << "pvlt_last.dat is missing or empty";
  EXPECT_TRUE(list.endsWith("\r\n"));
  EXPECT_EQ(list.count('\n'), list.count("\r\n")) << "a line does not end in CR LF";
  EXPECT_TRUE(list.contains(ToGbk(first->name))) << "the names are not GBK";
  const QStringList lines = FromGbk(list).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), expected.size() + 1) << FromGbk(list).toStdString();
  const QRegularExpressionMatch header =
      QRegularExpression(QStringLiteral("^id=([0-9]+)$")).match(lines.first());
  ASSERT_TRUE(header.hasMatch()) << lines.first().toStdString();
  EXPECT_GE(header.captured(1).toInt(), 1);
  EXPECT_LE(header.captured(1).toInt(), expected.size());
  for (int i = 0; i < expected.size(); ++i) {
    const QStringList fields = lines.at(i + 1).split(u',');
    ASSERT_GE(fields.size(), 6) << lines.at(i + 1).toStdString();
    EXPECT_EQ(fields.at(2), expected.at(i)) << "entry " << i + 1;
    EXPECT_EQ(fields.at(4), QStringLiteral("1"));
  }

  // pvlt_favorite.xml: well-formed, the favorite in it.
  QXmlStreamReader xml(ReadBytes(m_app + QStringLiteral("Resource/Dat/pvlt_favorite.xml")));
  QStringList favoriteIds, favoriteNames;
  QString element;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement())
      element = xml.name().toString();
    else if (xml.isCharacters() && element == u"id")
      favoriteIds.append(xml.text().toString());
    else if (xml.isCharacters() && element == u"name")
      favoriteNames.append(xml.text().toString());
    else if (xml.isEndElement())
      element.clear();
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(favoriteIds, QStringList{first->id});
  EXPECT_EQ(favoriteNames, QStringList{first->name});

  // The cache holds both games as the portal serves them.
  EXPECT_EQ(ReadBytes(cacheFirst), firstBytes);
  EXPECT_EQ(ReadBytes(cacheSecond), ReadBytes(Media(*second)));

  // The download folder holds the one download, byte for byte, and nothing
  // half-written beside it.
  EXPECT_EQ(ReadBytes(downloaded), firstBytes);
  QStringList inDownloads;
  QDirIterator it(m_app + QStringLiteral("DL"), QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext())
    inDownloads.append(QFileInfo(it.next()).fileName());
  inDownloads.removeAll(QStringLiteral("data.ksv"));  // the engine's own task file
  EXPECT_EQ(inDownloads, QStringList{first->name + QStringLiteral(".swf")});
}

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
