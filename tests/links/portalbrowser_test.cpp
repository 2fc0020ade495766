// The portal browser in a real web view against a loopback page server:
// command links clicked in a page, set by script in a frame, or opened in a
// new window end in the play list with the first item playing, and no
// command address ever reaches the server.
#include "fakeengine.h"
#include "portalprocess.h"
#include "testappdir.h"
#include "waitfor.h"

#include "base/globals.h"
#include "catalog/portalbrowser.h"
#include "crypto/cipher.h"
#include "download/downloads.h"
#include "lists/playback.h"
#include "lists/playlist.h"
#include "player/listnodes.h"
#include "player/playerhost.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"

#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <gtest/gtest.h>
#include <httplib.h>
#include <mutex>
#include <thread>

namespace {

QString Enc(const QString &id) { return EncipherText(id, QString::fromLatin1(ContentKey)); }

// Pages of a stand-in portal, and every path asked of it.
class PageServer {
public:
  PageServer()
  {
    const std::string a = Enc("100").toStdString(), b = Enc("205").toStdString();
    const std::string head = "<!doctype html><html><head><meta charset=\"utf-8\"></head><body>";
    pages["/channel.html"] =
        head + "<a id=\"game\" href=\"ID_" + a + "_小兔%20跳跳,ID_" + b +
        "_第二\">小兔跳跳</a><br><a id=\"none\" href=\"ID_#\">选取</a></body></html>";
    pages["/frames.html"] = head + "<iframe id=\"f\" src=\"/inner.html\"></iframe></body></html>";
    pages["/inner.html"] = head + "<script>function go(){ location.href = \"ID_" + a + "_x,ID_" +
                           b + "_y\"; }</script>inner</body></html>";
    pages["/blank.html"] = head + "<a id=\"cmd\" target=\"_blank\" href=\"ID_" + a + "_x,ID_" + b +
                           "_y\">new window</a><br><a id=\"ext\" target=\"_blank\" "
                           "href=\"/elsewhere.html\">elsewhere</a></body></html>";
    pages["/elsewhere.html"] = head + "elsewhere</body></html>";
    server.Get(R"(/.*)", [this](const httplib::Request &req, httplib::Response &res) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        paths.push_back(req.path);
      }
      auto it = pages.find(req.path);
      if (it == pages.end()) {
        res.status = 404;
        return;
      }
      res.set_content(it->second, "text/html; charset=utf-8");
    });
    port = server.bind_to_any_port("127.0.0.1");
    thread = std::thread([this] { server.listen_after_bind(); });
  }
  ~PageServer()
  {
    server.stop();
    thread.join();
  }
  QString url(const char *path) const
  {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QString::fromLatin1(path));
  }
  std::vector<std::string> asked()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return paths;
  }
  bool wasAsked(const std::string &path)
  {
    const auto p = asked();
    return std::find(p.begin(), p.end(), path) != p.end();
  }
  // Any path holding a command marker, whatever its case.
  std::vector<std::string> commandPaths()
  {
    std::vector<std::string> out;
    for (const std::string &p : asked()) {
      const QString s = QString::fromStdString(p);
      if (s.contains(u"ID_", Qt::CaseInsensitive) || s.contains(u"DL_", Qt::CaseInsensitive))
        out.push_back(p);
    }
    return out;
  }

  std::map<std::string, std::string> pages;
  httplib::Server server;
  int port = 0;
  std::thread thread;
  std::mutex mutex;
  std::vector<std::string> paths;
};

class RigWindow : public IMainWindow {
public:
  QWidget *window = nullptr;
  QStackedWidget *pages = nullptr;
  QWidget *exitPanel = nullptr;
  QWidget *mainWidget() override { return window; }
  void ShowCentrePage(int page) override { pages->setCurrentIndex(page); }
  void ShowListPage(int) override {}
  QRect MaximizedGeometry() const override { return QRect(0, 0, 1024, 768); }
  QWidget *exitFullScreenPanel() override { return exitPanel; }
  void addNoContextMenu(QWidget *) override {}
  void EndProgram() override {}
  void OpenSettings() override {}
  void SendChannelMessage(MessageChannel, const QString &) override {}
  void OnChannelMessage(MessageChannel, const QString &, std::function<void()>) override {}
};

class RecordingDownloads : public IDownloads {
public:
  struct Row {
    QString name, id, address;
  };
  QList<Row> rows;
  bool fail = false;
  void AddDownloadRow(const QString &name, const QString &id, const QString &address) override
  {
    if (fail)
      throw std::runtime_error("queue");
    rows << Row{name, id, address};
  }
};

class PortalBrowser : public ::testing::Test {
protected:
  void SetUp() override
  {
    ResetGlobals();
    ResetPlaybackState();
    ASSERT_TRUE(m_app.isValid());
    AppDir = m_app.path();
    CacheDir = AppDir + "Cache/";
    DownloadDir = AppDir + "download/";
    QDir().mkpath(CacheDir);
    QDir().mkpath(DownloadDir);
    LastPlayedFile = AppDir + "Resource/Dat/pvlt_last.dat";
    DownloadServerUrl = "http://127.0.0.1:9/files/";
    ListPlayMode = "0";
    CurrentChannelId = "0701";
    CurrentChannelType = "1";

    window = std::make_unique<QWidget>();
    window->resize(1000, 700);
    auto *row = new QHBoxLayout(window.get());
    listPage = new QWidget;
    new QVBoxLayout(listPage);
    listPage->setFixedWidth(200);
    rig.pages = new QStackedWidget;
    auto *page0 = new QWidget;
    auto *column = new QVBoxLayout(page0);
    column->setContentsMargins(0, 0, 0, 0);
    view = new QWebEngineView(page0);
    column->addWidget(view);
    playPage = new QWidget;
    new QVBoxLayout(playPage);
    rig.pages->addWidget(page0);
    rig.pages->addWidget(playPage);
    row->addWidget(listPage);
    row->addWidget(rig.pages, 1);
    rig.window = window.get();
    rig.exitPanel = new QWidget(window.get());
    rig.exitPanel->hide();
    timer = new QTimer(window.get());
    playback = new TPlayback(&rig, &engine, playPage, listPage, timer, window.get());
    portal = new TPortalBrowser(&rig, view, rig.pages, nullptr, playback, &downloads, window.get());
    portal->openExternal = [this](const QUrl &u) { external << u; };
    QObject::connect(portal, &TPortalBrowser::navigationInspected,
                     [this](const QString &a, bool c) {
                       if (c)
                         commands << a;
                     });
    window->show();
  }
  void TearDown() override
  {
    window.reset();
    ResetGlobals();
    ResetPlaybackState();
  }

  bool Load(const QString &url)
  {
    bool done = false, ok = false;
    auto c = QObject::connect(view, &QWebEngineView::loadFinished, [&](bool good) {
      done = true;
      ok = good;
    });
    view->setUrl(QUrl(url));
    const bool finished = WaitFor([&] { return done; }, 30000);
    QObject::disconnect(c);
    return finished && ok;
  }
  QVariant Js(const QString &script)
  {
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant &v) {
      result = v;
      done = true;
    });
    WaitFor([&] { return done; }, 10000);
    return result;
  }
  // A real mouse click on the centre of an element of the main frame.
  void Click(const char *id)
  {
    const QVariantList at =
        Js(QStringLiteral("(function(){var r=document.getElementById('%1').getBoundingClientRect();"
                          "return [r.left+r.width/2, r.top+r.height/2];})()")
               .arg(QString::fromLatin1(id)))
            .toList();
    ASSERT_EQ(at.size(), 2) << id;
    const QPoint p(int(at[0].toDouble()), int(at[1].toDouble()));
    QWidget *target = view->focusProxy() ? view->focusProxy() : view;
    QTest::mouseMove(target, p);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, p);
  }
  QStringList ListIds() const
  {
    QStringList ids;
    QTreeWidget *tree = playback->list->tvPlayList;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
      ids << NodeItem(tree->topLevelItem(i))->id;
    return ids;
  }
  bool FetchStartedFor(int id) const
  {
    for (const auto &c : engine.callsOf("new"))
      if (c.id == id)
        return true;
    return false;
  }
  // The two items of the pages' commands are listed, the first plays, and
  // no command address reached the server.
  void ExpectPlayedFirstOfTwo(const char *what)
  {
    ASSERT_TRUE(WaitFor([&] { return CurrentItem && FetchStartedFor(100); }, 15000)) << what;
    EXPECT_EQ(ListIds(), (QStringList{"100", "205"})) << what;
    EXPECT_EQ(CurrentItem->id, "100") << what;
    EXPECT_EQ(SelectedNode(playback->list->tvPlayList), playback->list->tvPlayList->topLevelItem(0))
        << what;
    EXPECT_EQ(rig.pages->currentIndex(), 1) << what;
    Pump(300);
    EXPECT_TRUE(server.commandPaths().empty()) << what << ": " << server.commandPaths().front();
  }

  TestAppDir m_app{false};
  PageServer server;
  FakeEngine engine;
  RigWindow rig;
  RecordingDownloads downloads;
  std::unique_ptr<QWidget> window;
  QWidget *listPage = nullptr, *playPage = nullptr;
  QWebEngineView *view = nullptr;
  QTimer *timer = nullptr;
  TPlayback *playback = nullptr;
  TPortalBrowser *portal = nullptr;
  QList<QUrl> external;
  QStringList commands;
};

TEST_F(PortalBrowser, GameLinkClickedInAChannelPagePlaysIt)
{
  ScopedDialogRecorder boxes;
  ASSERT_TRUE(Load(server.url("/channel.html")));
  Click("game");
  ExpectPlayedFirstOfTwo("click");
  // The page's Chinese name arrived escaped; the command read it as text,
  // with "%20" as it was.
  ASSERT_FALSE(commands.isEmpty());
  EXPECT_TRUE(commands.first().contains(QStringLiteral("_小兔%20跳跳,ID_")))
      << commands.first().toStdString();
  // The lists store and show blanks.
  EXPECT_EQ(NodeItem(playback->list->tvPlayList->topLevelItem(0))->name, "小兔 跳跳");
  EXPECT_EQ(playback->list->tvPlayList->topLevelItem(0)->text(0), "小兔 跳跳");
  // The cancelled navigation left the page where it was.
  EXPECT_EQ(view->url(), QUrl(server.url("/channel.html")));
  EXPECT_TRUE(boxes.infoTexts().isEmpty());
}

TEST_F(PortalBrowser, EmptySelectionReachesTheHandlerWithItsFragment)
{
  ScopedDialogRecorder boxes;
  ASSERT_TRUE(Load(server.url("/channel.html")));
  Click("none");
  ASSERT_TRUE(WaitFor([&] { return !boxes.infoTexts().isEmpty(); }, 10000));
  EXPECT_EQ(boxes.infoTexts(), QStringList{"请选取曲目"});
  ASSERT_EQ(commands.size(), 1);
  EXPECT_TRUE(commands.first().endsWith(u"/ID_#")) << commands.first().toStdString();
  EXPECT_TRUE(ListIds().isEmpty());
  EXPECT_EQ(rig.pages->currentIndex(), 0);
  Pump(300);
  EXPECT_TRUE(server.commandPaths().empty());
}

TEST_F(PortalBrowser, CommandSetByScriptInAFramePlays)
{
  ScopedDialogRecorder boxes;
  ASSERT_TRUE(Load(server.url("/frames.html")));
  ASSERT_TRUE(WaitFor([&] { return server.wasAsked("/inner.html"); }, 10000));
  Pump(300);
  Js("document.getElementById('f').contentWindow.go()");
  ExpectPlayedFirstOfTwo("frame");
  // The frame and the page stay.
  EXPECT_EQ(Js("document.getElementById('f').contentWindow.location.pathname").toString(),
            "/inner.html");
}

TEST_F(PortalBrowser, NewWindowCommandPlaysAndOtherNewWindowsOpenOutside)
{
  ScopedDialogRecorder boxes;
  ASSERT_TRUE(Load(server.url("/blank.html")));
  Click("cmd");
  ExpectPlayedFirstOfTwo("new window");
  EXPECT_TRUE(external.isEmpty());

  Click("ext");
  ASSERT_TRUE(WaitFor([&] { return !external.isEmpty(); }, 10000));
  EXPECT_EQ(external, QList<QUrl>{QUrl(server.url("/elsewhere.html"))});
  Pump(300);
  // Opened outside: the client itself never asked for it, and no window of
  // its own appeared.
  EXPECT_FALSE(server.wasAsked("/elsewhere.html"));
  for (QWidget *w : QApplication::topLevelWidgets())
    EXPECT_TRUE(w == window.get() || !w->isVisible()) << w->metaObject()->className();
}

// The stand-in portal's own channel page: its first game tile.
TEST_F(PortalBrowser, GameClickedInAPortalChannelPagePlays)
{
  QTemporaryDir data;
  PortalProcess portalServer;
  ASSERT_TRUE(portalServer.start(QStringLiteral(KESTROVA_PORTAL_EXE), data.path(),
                                 AppDir + "Config/platform.ini"))
      << portalServer.error().toStdString();
  ScopedDialogRecorder boxes;
  const QString channel = portalServer.base() + "/hl/100093_DL/all/07/0702/070202/5/1.html";
  ASSERT_TRUE(Load(channel));
  const QVariantList at =
      Js("(function(){var r=document.querySelector('a.pic').getBoundingClientRect();"
         "return [r.left+r.width/2, r.top+r.height/2];})()")
          .toList();
  ASSERT_EQ(at.size(), 2);
  const QPoint p(int(at[0].toDouble()), int(at[1].toDouble()));
  QTest::mouseClick(view->focusProxy() ? view->focusProxy() : view, Qt::LeftButton, Qt::NoModifier,
                    p);
  ASSERT_TRUE(WaitFor([&] { return CurrentItem && FetchStartedFor(129); }, 15000));
  EXPECT_EQ(ListIds(), QStringList{"129"});
  EXPECT_EQ(CurrentItem->name, "喂小鱼");
  EXPECT_EQ(CurrentItem->pid, "0701");  // the current channel's
  EXPECT_EQ(rig.pages->currentIndex(), 1);
  EXPECT_EQ(view->url(), QUrl(channel));
  EXPECT_TRUE(boxes.infoTexts().isEmpty());
}

// Download commands, asked of the handler directly.
TEST_F(PortalBrowser, DownloadCommands)
{
  const QString page = server.url("/channel/");
  const QString b = Enc("205");
  {
    ScopedDialogRecorder boxes;
    EXPECT_TRUE(portal->wbMainBeforeNavigate2(QUrl(page + "DL_" + b + "_小兔%20跳跳_1")));
    EXPECT_TRUE(portal->wbMainBeforeNavigate2(QUrl(page + "DL_" + b + "_小兔%20跳跳_1")));
    Pump(50);
    ASSERT_EQ(downloads.rows.size(), 2);  // two commands, two rows
    EXPECT_EQ(downloads.rows[0].name, "小兔 跳跳.swf");
    EXPECT_EQ(downloads.rows[0].id, "205");
    EXPECT_EQ(downloads.rows[0].address, DownloadServerUrl + "2/" + b + ".swf");
    EXPECT_TRUE(boxes.entries.isEmpty());
  }
  {
    // Refused: lower-case marker, a name leaving the folder, a bad id.
    ScopedDialogRecorder boxes;
    for (const QString &bad : {page + "dl_" + b + "_n_1", page + "DL_" + b + "_..%2F.._1",
                               page + "DL_" + Enc("x1") + "_n_1"})
      EXPECT_TRUE(portal->wbMainBeforeNavigate2(QUrl(bad)));
    Pump(50);
    EXPECT_EQ(boxes.infoTexts(), QStringList(3, "下载地址不存在。"));
    EXPECT_EQ(downloads.rows.size(), 2);
  }
  {
    // Already downloaded: asked, never queued; yes opens the folder.
    QFile f(DownloadDir + "小兔 跳跳.swf");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ScopedDialogRecorder boxes;
    boxes.answers = {false, true};
    portal->wbMainBeforeNavigate2(QUrl(page + "DL_" + b + "_小兔%20跳跳_1"));
    portal->wbMainBeforeNavigate2(QUrl(page + "DL_" + b + "_小兔%20跳跳_1"));
    Pump(50);
    EXPECT_EQ(boxes.questions(), QStringList(2, "该文件本机已存在, 是否要打开文件所在文件夹?"));
    EXPECT_EQ(external, QList<QUrl>{QUrl::fromLocalFile(DownloadDir)});
    EXPECT_EQ(downloads.rows.size(), 2);
  }
  {
    // The queue fails, or no download area is connected.
    ScopedDialogRecorder boxes;
    downloads.fail = true;
    portal->wbMainBeforeNavigate2(QUrl(page + "DL_" + b + "_other_1"));
    portal->setDownloads(nullptr);
    portal->wbMainBeforeNavigate2(QUrl(page + "DL_" + b + "_other_1"));
    Pump(50);
    EXPECT_EQ(boxes.infoTexts(),
              QStringList(2, "启动下载界面异常,请稍后重试。\n\r或请“意见反馈”给我们。"));
  }
  EXPECT_FALSE(portal->wbMainBeforeNavigate2(QUrl(server.url("/channel.html"))));
}

TEST_F(PortalBrowser, PageButtonsFollowThePageShown)
{
  EXPECT_EQ(portal->limgBack->Tag, 0);
  EXPECT_EQ(portal->limgForward->Tag, 1);
  {
    // Forward with an empty list and nothing played: a message, the page stays.
    ScopedDialogRecorder boxes;
    QTest::mousePress(portal->limgForward, Qt::LeftButton);
    EXPECT_EQ(boxes.infoTexts(), QStringList{"游戏记录为空, 请先选择游戏!"});
    EXPECT_EQ(rig.pages->currentIndex(), 0);
  }
  rig.ShowCentrePage(1);
  EXPECT_EQ(portal->limgBack->Tag, 1);
  EXPECT_EQ(portal->limgForward->Tag, 0);
  // Unavailable Forward ignores the mouse; Back goes back to the page view.
  QTest::mousePress(portal->limgForward, Qt::LeftButton);
  EXPECT_EQ(rig.pages->currentIndex(), 1);
  QTest::mousePress(portal->limgBack, Qt::LeftButton);
  EXPECT_EQ(rig.pages->currentIndex(), 0);
  EXPECT_EQ(portal->limgBack->Tag, 0);
  EXPECT_EQ(portal->limgForward->Tag, 1);
  // Forward with a listed item and nothing current: node 0 plays.
  ScopedDialogRecorder boxes;
  TPlayList::AddToPlayList(MakeKsvPlay("100", "0701", "x", "1"), playback->list->tvPlayList, 1,
                           false);
  QTest::mousePress(portal->limgForward, Qt::LeftButton);
  EXPECT_EQ(rig.pages->currentIndex(), 1);
  ASSERT_TRUE(CurrentItem);
  EXPECT_EQ(CurrentItem->id, "100");
  EXPECT_TRUE(WaitFor([&] { return FetchStartedFor(100); }, 5000));
  // The strip sits above the page view.
  EXPECT_LT(portal->pnlPageButtons->geometry().bottom(), view->geometry().top() + 1);
}

}  // namespace
