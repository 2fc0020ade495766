// A portal that takes its time: every request to it is held unanswered.
// The window keeps turning while the start page, a channel page, a game's
// fetch and a search wait for it; each waits in the background and ends
// with its message once the portal answers.
#include "portalserver.h"
#include "testappdir.h"
#include "uitest.h"

#include "base/config.h"
#include "base/globals.h"
#include "catalog/channeltree.h"
#include "catalog/searchbox.h"
#include "lists/core/playlistfile.h"
#include "lists/playback.h"
#include "lists/playlist.h"
#include "net/enginelibrary.h"
#include "player/listnodes.h"
#include "player/playerhost.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

namespace {

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Ticks every 50 ms and keeps the longest time between two ticks: how long
// the user-interface thread was kept from its events.
class Ticker {
public:
  Ticker()
  {
    m_timer.setInterval(50);
    QObject::connect(&m_timer, &QTimer::timeout,
                     [this] { m_longest = std::max(m_longest, m_clock.restart()); });
  }
  // Runs the events for `ms` and returns the longest gap seen meanwhile.
  qint64 watch(int ms)
  {
    m_longest = 0;
    m_clock.start();
    m_timer.start();
    QElapsedTimer spent;
    spent.start();
    while (spent.elapsed() < ms)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    m_timer.stop();
    return std::max(m_longest, m_clock.elapsed());
  }

private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_longest = 0;
};

// Well below what a request to the silent portal would hold the thread (its
// answer time-out is 15 s; the watch lasts until a blocked thread is free
// again), well above the hiccups of a busy machine.
constexpr qint64 kLongestGapMs = 6000;

}  // namespace

TEST(SlowPortalTest, WindowKeepsTurningWhileThePortalIsSilent)
{
  TestAppDir app;
  ASSERT_TRUE(app.isValid());
  const QString dir = app.path();
  FaultyPortal portal{QByteArray(1000, 'x')};
  ASSERT_TRUE(portal.start(FaultyPortal::Mode::Silent));
  const QByteArray base = portal.base().toLatin1();
  QByteArray platform = "[Info]\r\n";
  for (const char *key : {"1", "3", "10", "17", "18"})
    platform += QByteArray(key) + '=' + base + "\r\n";
  platform += "2=" + base + "hl/\r\n4=" + base + "index.htm\r\n";
  platform += "6=" + base + "ksvComment/userComment.do\r\n9=" + base + "ksvWsUser/UserService\r\n";
  ASSERT_TRUE(WriteFile(dir + "Config/platform.ini", platform));
  ASSERT_TRUE(WriteFile(dir + "Config/pvlt_Source.ini",
                        "[sys]\r\nvar_type=0\r\nExeUpdate=1\r\nXmlUpdate=1\r\n"));
  ASSERT_TRUE(WriteFile(dir + "Resource/xml/100093.xml",
                        "<root><c><id>070102</id><pid>0701</pid><name>儿歌</name><num>2</num>"
                        "<type>2</type></c></root>"));
  ASSERT_TRUE(WriteFile(dir + "Resource/Dat/pvlt_last.dat",
                        FormatListFile({MakeKsvPlay("121", "0701", "连连看", "1")}, 0)));
  ResetGlobals();
  PreparePaths(dir);
  LoadConfiguration();

  RecordingDesktop desktop;
  desktop.trayAvailable = true;
  Ticker ticker;
  {
    auto engine = std::make_unique<EngineLibrary>(QStringLiteral(KESTROVA_ENGINE_LIB));
    ASSERT_TRUE(engine->isLoaded()) << engine->errorString().toStdString();
    TfrmMain w(std::move(engine));
    TfrmWinTemplate::SetMainWindow(&w);

    // Start: the start page, the advertisements and the sign-in all ask
    // the portal.
    w.life->FormCreate();
    w.show();
    EXPECT_LT(ticker.watch(4000), kLongestGapMs) << "start";
    EXPECT_GE(portal.requests(), 1);

    // A channel of the tree: its page is checked first.
    ASSERT_GT(w.tv1->topLevelItemCount(), 0);
    w.tv1->setCurrentItem(w.tv1->topLevelItem(0));
    w.channels->tv1Click();
    EXPECT_LT(ticker.watch(3000), kLongestGapMs) << "channel click";

    // A game that is not cached: the advertisement page and the fetch.
    QTreeWidget *list = w.playback->list->tvPlayList;
    ASSERT_EQ(list->topLevelItemCount(), 1);
    SelectNode(list, list->topLevelItem(0));
    w.playback->list->tvPlayListClick();
    EXPECT_LT(ticker.watch(3000), kLongestGapMs) << "play request";

    // A search without a local database asks the portal's web service.
    w.search->edtkey->setText(QStringLiteral("星星"));
    w.search->imgSearchClick();
    EXPECT_LT(ticker.watch(3000), kLongestGapMs) << "search";

    // The portal answers at last (with an error), or a request's own time
    // limit ends it: each waiting request ends with what the user is told.
    portal.release();
    EXPECT_TRUE(WaitFor(
        [&] {
          const QStringList told = desktop.infoTexts();
          return told.contains(QStringLiteral("页面打开失败,请稍候重试。")) &&
                 told.contains(QStringLiteral("未能正常查询,请稍后再试。"));
        },
        40000))
        << desktop.infoTexts().join(u'|').toStdString();
    EXPECT_TRUE(WaitFor(
        [&] { return w.playback->host->lblStatus->text() == QStringLiteral("服务器连接失败"); },
        60000))
        << w.playback->host->lblStatus->text().toStdString();
    portal.stop();
    TfrmWinTemplate::SetMainWindow(nullptr);
  }
  ResetGlobals();
}
