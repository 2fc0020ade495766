// The channel tree, the category bar and the left tabs, with a loopback
// portal that answers listing pages (or does not).
#include "../widgets/skintest.h"
#include "waitfor.h"

#include "base/globals.h"
#include "catalog/categorybar.h"
#include "catalog/channeltree.h"
#include "catalog/core/categories.h"
#include "catalog/listtabs.h"
#include "widgets/dialogs.h"
#include "widgets/mainwindowport.h"
#include "widgets/treeskin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWebEngineView>
#include <atomic>
#include <chrono>
#include <httplib.h>
#include <map>
#include <mutex>
#include <thread>

inline void PrintTo(const QStringList &l, std::ostream *os) { *os << l.join(',').toStdString(); }

namespace {

// Listing pages: /hl/100093_DL/all/<path>; the answer of each channel id is
// set by the test (status and a delay); the rest answers 200.
class ListingServer {
public:
  ListingServer()
  {
    server_.Get(R"(/hl/.*)", [this](const httplib::Request &req, httplib::Response &res) {
      int status = 200;
      int delayMs = 0;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(req.method + " " + req.path);
        for (const auto &[id, answer] : answers_)
          if (req.path.find("/" + id + "/") != std::string::npos)
            std::tie(status, delayMs) = answer;
      }
      if (delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      res.status = status;
      res.set_content("<html><body>listing</body></html>", "text/html");
      ++answered_;
    });
    server_.Get(R"(/index\.htm)", [](const httplib::Request &, httplib::Response &res) {
      res.set_content("<html><body>start</body></html>", "text/html");
    });
    // One request per connection: nothing lingers when the server stops.
    server_.set_keep_alive_max_count(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~ListingServer()
  {
    server_.stop();
    thread_.join();
  }
  QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }
  void answer(const std::string &id, int status, int delayMs = 0)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[id] = {status, delayMs};
  }
  int answered() const { return answered_; }

private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::map<std::string, std::pair<int, int>> answers_;
  std::vector<std::string> requests_;
  std::atomic<int> answered_{0};
};

class FakeWindow : public IMainWindow {
public:
  QWidget *mainWidget() override { return &widget; }
  void ShowCentrePage(int page) override { centrePages << page; }
  void ShowListPage(int page) override
  {
    if (pages)
      pages->setCurrentIndex(page);
  }
  QRect MaximizedGeometry() const override { return {}; }
  QWidget *exitFullScreenPanel() override { return nullptr; }
  void addNoContextMenu(QWidget *) override {}
  void EndProgram() override {}
  void OpenSettings() override {}
  void SendChannelMessage(MessageChannel, const QString &) override {}
  void OnChannelMessage(MessageChannel, const QString &, std::function<void()>) override {}

  QWidget widget;
  QStackedWidget *pages = nullptr;
  QList<int> centrePages;
};

QByteArray Record(const QString &id, const QString &pid, const QString &name, const QString &num,
                  const QString &type)
{
  return QStringLiteral("<channel><id>%1</id><pid>%2</pid><name>%3</name><num>%4</num>"
                        "<type>%5</type></channel>\n")
      .arg(id, pid, name, num, type)
      .toUtf8();
}

class ChannelAreaTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp.isValid());
    ResetGlobals();
    AppDir = tmp.path() + u'/';
    CatalogVersion = QStringLiteral("100093");
    ResourceBaseUrl = server.base() + QStringLiteral("/hl/");
    StartPageUrl = server.base() + QStringLiteral("/index.htm");
    writeCatalog(
        Record("07", "0", "游戏", "50", "0") + Record("0702", "07", "敏捷", "9", "0") +
        Record("070201", "0702", "跑酷", "3", "1") + Record("070202", "0702", "空的", "0", "1") +
        Record("070203", "0702", "射击", "7", "4") + Record("070301", "0703", "塔防", "5", "1") +
        Record("070302", "0703", "链接", "1", "5=http://x/") +
        Record("070701", "0707", "折纸", "2", "1") + Record("070801", "0708", "专辑", "2", "2") +
        Record("070102", "0701", "推荐一", "4", "1") +
        Record("070814", "0708", "推荐末", "0", "1"));

    window.widget.resize(1000, 600);
    strip = new QWidget(&window.widget);
    strip->setGeometry(0, 0, 201, 41);
    panel = new QWidget(&window.widget);
    panel->setGeometry(0, 41, 200, 300);
    caption = new QWidget(&window.widget);
    caption->setGeometry(0, 400, 1000, 88);
    pnlwbMain = new QWidget(&window.widget);
    pnlwbMain->setGeometry(200, 0, 779, 400);
    wbMain = new QWebEngineView(pnlwbMain);
    tabs = new TListTabs(&window, strip, panel);
    window.pages = tabs->PageControl2;
    channels = new TChannelTree(&window, tabs->tbsChannel, wbMain, pnlwbMain);
    bar = new TCategoryBar(&window, caption, channels, tabs, wbMain);
    window.widget.show();
    QCoreApplication::processEvents();
  }
  void TearDown() override
  {
    WaitFor([this] { return !channels->checking(); }, 20000);
    delete bar;
    delete channels;
    delete tabs;
    ResetGlobals();
  }
  void writeCatalog(const QByteArray &records)
  {
    const QString path = AppDir + QStringLiteral("Resource/xml/100093.xml");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channels>\n" + records + "</channels>\n");
  }
  void breakCatalog()
  {
    QFile f(AppDir + QStringLiteral("Resource/xml/100093.xml"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("<channels><channel>");
  }
  QStringList ids() const
  {
    QStringList out;
    for (int i = 0; i < channels->tv1->topLevelItemCount(); ++i)
      out << TChannelTree::NodeRecord(channels->tv1->topLevelItem(i)).id;
    return out;
  }
  QString page(const char *tail) const { return ResourceBaseUrl + "100093_DL/all/" + tail; }
  void select(int row) { channels->tv1->setCurrentItem(channels->tv1->topLevelItem(row)); }
  bool settle()
  {
    return WaitFor([this] { return !channels->checking(); }, 20000);
  }

  ListingServer server;
  QTemporaryDir tmp;
  FakeWindow window;
  QWidget *strip = nullptr, *panel = nullptr, *caption = nullptr, *pnlwbMain = nullptr;
  QWebEngineView *wbMain = nullptr;
  TListTabs *tabs = nullptr;
  TChannelTree *channels = nullptr;
  TCategoryBar *bar = nullptr;
};

}  // namespace

TEST_F(ChannelAreaTest, LoadersReplaceTheTreeOrLeaveItWhenTheCatalogIsBroken)
{
  ASSERT_TRUE(channels->LoadCategoryChannels(QStringLiteral("0702")));
  EXPECT_EQ(ids(), (QStringList{"070201", "070203"}));
  EXPECT_EQ(channels->tv1->topLevelItem(0)->text(0), QStringLiteral("跑酷(3)"));
  EXPECT_EQ(channels->tv1->property("Tag").toInt(), 2);

  ASSERT_TRUE(channels->LoadChannelsById(RecommendedChannelIds));
  EXPECT_EQ(ids(), (QStringList{"070102", "070814"}));  // file order, empty one kept

  // The file is read anew each time: a change shows at the next load.
  writeCatalog(Record("070205", "0702", "新的", "1", "1"));
  ASSERT_TRUE(channels->LoadChannelsById(RecommendedChannelIds));
  EXPECT_EQ(ids(), QStringList{"070205"});

  breakCatalog();
  EXPECT_FALSE(channels->LoadCategoryChannels(QStringLiteral("0702")));
  EXPECT_FALSE(channels->LoadChannelsById(RecommendedChannelIds));
  EXPECT_EQ(ids(), QStringList{"070205"});
  QFile::remove(AppDir + QStringLiteral("Resource/xml/100093.xml"));
  EXPECT_FALSE(channels->LoadCategoryChannels(QStringLiteral("0702")));
  EXPECT_EQ(ids(), QStringList{"070205"});
}

TEST_F(ChannelAreaTest, ClickOpensAnAnsweringPageAndKeepsTheChannel)
{
  ASSERT_TRUE(channels->LoadCategoryChannels(QStringLiteral("0702")));
  QStringList opened;
  QObject::connect(channels, &TChannelTree::channelOpened,
                   [&](const QString &address) { opened << address; });
  ScopedDialogRecorder dialogs;
  select(1);
  channels->tv1Click();
  ASSERT_TRUE(settle());
  // 779 / 150 gives 5 columns for the video channel.
  EXPECT_EQ(opened, QStringList{page("07/0702/070203/5/1.html")});
  EXPECT_EQ(window.centrePages, QList<int>{0});
  EXPECT_EQ(CurrentChannelId, QStringLiteral("070203"));
  EXPECT_EQ(CurrentChannelType, QStringLiteral("4"));
  EXPECT_TRUE(WaitFor([&] { return wbMain->url().toString() == opened.value(0); }, 10000));
  EXPECT_TRUE(dialogs.infoTexts().isEmpty());

  // A page that does not answer: the message, and nothing else changes.
  server.answer("070201", 404);
  select(0);
  channels->tv1Click();
  ASSERT_TRUE(settle());
  EXPECT_EQ(dialogs.infoTexts(), QStringList{QStringLiteral("页面打开失败,请稍候重试。")});
  EXPECT_EQ(opened.size(), 1);
  EXPECT_EQ(window.centrePages, QList<int>{0});
  EXPECT_EQ(CurrentChannelId, QStringLiteral("070203"));
  EXPECT_EQ(CurrentChannelType, QStringLiteral("4"));

  // No selection: nothing at all.
  channels->tv1->clearSelection();
  channels->tv1Click();
  EXPECT_FALSE(channels->checking());
}

TEST_F(ChannelAreaTest, ANewerClickWinsOverAnOlderOneStillChecking)
{
  struct Case {
    const char *what;
    int newerStatus;
    QString id;    // CurrentChannelId afterwards
    int messages;  // information boxes shown
  } cases[] = {
      {"newer answers", 200, QStringLiteral("070203"), 0},
      {"newer fails", 404, QString(), 1},
  };
  for (const Case &c : cases) {
    CurrentChannelId.clear();
    ASSERT_TRUE(channels->LoadCategoryChannels(QStringLiteral("0702")));
    server.answer("070201", 200, 1500);
    server.answer("070203", c.newerStatus);
    QStringList opened;
    auto connection = QObject::connect(channels, &TChannelTree::channelOpened,
                                       [&](const QString &address) { opened << address; });
    ScopedDialogRecorder dialogs;
    const int answeredBefore = server.answered();
    select(0);
    channels->tv1Click();
    // The click returned while its page is still being checked.
    EXPECT_TRUE(channels->checking()) << c.what;
    EXPECT_EQ(server.answered(), answeredBefore) << c.what;
    select(1);
    channels->tv1Click();
    ASSERT_TRUE(settle()) << c.what;
    EXPECT_EQ(CurrentChannelId, c.id) << c.what;
    EXPECT_EQ(dialogs.infoTexts().size(), c.messages) << c.what;
    EXPECT_EQ(opened.size(), c.newerStatus == 200 ? 1 : 0) << c.what;
    if (!opened.isEmpty()) {
      EXPECT_EQ(opened.first(), page("07/0702/070203/5/1.html")) << c.what;
    }
    QObject::disconnect(connection);
  }
}

TEST_F(ChannelAreaTest, LinkNodesDoNothing)
{
  ASSERT_TRUE(channels->LoadCategoryChannels(QStringLiteral("0703")));
  ASSERT_EQ(ids(), (QStringList{"070301", "070302"}));
  ScopedDialogRecorder dialogs;
  const int before = server.answered();
  select(1);
  channels->tv1Click();
  EXPECT_FALSE(channels->checking());
  Pump(200);
  EXPECT_EQ(server.answered(), before);
  EXPECT_TRUE(dialogs.infoTexts().isEmpty());
  EXPECT_TRUE(CurrentChannelId.isEmpty());
}

TEST_F(ChannelAreaTest, CategoryButtonsLoadTheirCodesAndOpenTheFirstChannel)
{
  struct Case {
    int number;
    QStringList ids;
    const char *tab;
    QString firstPage;
  } cases[] = {
      {3, {"070301", "070302"}, "SmallCelue3", page("07/0703/070301/5/1.html")},
      {4, {"070301", "070302"}, "SmallTiyu3", page("07/0703/070301/5/1.html")},
      {8, {"070801"}, "SmallZhuanji3", page("07/0708/070801/1.html")},
      {9, {"070701"}, "SmallZhezhi3", page("07/0707/070701/5/1.html")},
      {2, {"070201", "070203"}, "SmallMinjie3", page("07/0702/070201/5/1.html")},
  };
  ScopedDialogRecorder dialogs;
  for (const Case &c : cases) {
    CurrentChannelId.clear();
    QStringList opened;
    auto connection = QObject::connect(channels, &TChannelTree::channelOpened,
                                       [&](const QString &address) { opened << address; });
    tLxsimage *button = bar->categoryButtons[c.number - 1];
    Click(button);
    ASSERT_TRUE(settle());
    EXPECT_EQ(ActiveCategory, c.number);
    EXPECT_EQ(ids(), c.ids) << c.number;
    EXPECT_TRUE(Shows(tabs->imgTuijian, c.tab)) << c.number;
    EXPECT_EQ(tabs->imgTuijian->Tag, 3);
    EXPECT_EQ(opened, QStringList{c.firstPage}) << c.number;
    EXPECT_EQ(channels->tv1->currentItem(), channels->tv1->topLevelItem(0));
    // The clicked button keeps its pressed picture; every other shows 1.
    for (int n = 1; n <= 9; ++n) {
      const QString picture =
          QString::fromLatin1(CategoryBar[n - 1].base) + (n == c.number ? "3" : "1");
      EXPECT_TRUE(Shows(bar->categoryButtons[n - 1], picture))
          << c.number << " " << picture.toStdString();
      EXPECT_EQ(bar->categoryButtons[n - 1]->Tag, n == c.number ? 3 : 1) << c.number << " " << n;
    }
    QObject::disconnect(connection);
  }
  EXPECT_TRUE(dialogs.infoTexts().isEmpty());
}

TEST_F(ChannelAreaTest, HoverNeverChangesTheSelectedButton)
{
  Click(bar->categoryButtons[2]);
  ASSERT_TRUE(settle());
  Move(bar->categoryButtons[2]);
  Leave(bar->categoryButtons[2]);
  EXPECT_TRUE(Shows(bar->categoryButtons[2], QStringLiteral("Celue3")));
  Move(bar->categoryButtons[5]);
  EXPECT_TRUE(Shows(bar->categoryButtons[5], QStringLiteral("Yizhi2")));
  EXPECT_EQ(bar->categoryButtons[5]->Tag, 2);
  Leave(bar->categoryButtons[5]);
  EXPECT_TRUE(Shows(bar->categoryButtons[5], QStringLiteral("Yizhi1")));
  EXPECT_EQ(bar->categoryButtons[5]->Tag, 1);
  // The channel tab hovers with the selected category's pictures while
  // another tab is selected.
  ActiveListTab = 2;
  Move(tabs->imgTuijian);
  EXPECT_TRUE(Shows(tabs->imgTuijian, QStringLiteral("SmallCelue2")));
  Leave(tabs->imgTuijian);
  EXPECT_TRUE(Shows(tabs->imgTuijian, QStringLiteral("SmallCelue1")));
}

TEST_F(ChannelAreaTest, BrokenCatalogStopsTheClicksAtTheirSpecifiedSteps)
{
  ASSERT_TRUE(channels->LoadChannelsById(RecommendedChannelIds));
  tabs->PageControl2->setCurrentIndex(1);
  ActiveListTab = 2;
  breakCatalog();
  ScopedDialogRecorder dialogs;
  // A category click: the bar moves, nothing after the load happens.
  Click(bar->categoryButtons[1]);
  EXPECT_FALSE(channels->checking());
  EXPECT_EQ(ActiveCategory, 2);
  EXPECT_EQ(ids(), (QStringList{"070102", "070814"}));
  EXPECT_EQ(tabs->PageControl2->currentIndex(), 1);
  EXPECT_TRUE(Shows(tabs->imgTuijian, QStringLiteral("Tuijian3")));
  EXPECT_TRUE(window.centrePages.isEmpty());
  // The home click: page view and bar updated, no start page.
  Click(bar->categoryButtons[0]);
  EXPECT_EQ(ActiveCategory, 1);
  EXPECT_EQ(window.centrePages, QList<int>{0});
  EXPECT_TRUE(Shows(bar->categoryButtons[1], QStringLiteral("Minjie1")));
  EXPECT_EQ(bar->categoryButtons[1]->Tag, 1);
  Pump(200);
  EXPECT_TRUE(wbMain->url().isEmpty());
  EXPECT_TRUE(dialogs.infoTexts().isEmpty());
}

TEST_F(ChannelAreaTest, HomeShowsTheRecommendedViewAndOpensTheStartPageOnlyWhenElsewhere)
{
  Click(bar->categoryButtons[1]);
  ASSERT_TRUE(settle());
  ASSERT_TRUE(WaitFor([&] { return wbMain->url().toString().contains("070201"); }, 10000));
  Click(bar->categoryButtons[0]);
  EXPECT_EQ(ActiveCategory, 1);
  EXPECT_EQ(ids(), (QStringList{"070102", "070814"}));
  EXPECT_TRUE(Shows(tabs->imgTuijian, QStringLiteral("Tuijian3")));
  EXPECT_FALSE(channels->checking());  // no channel is opened
  ASSERT_TRUE(WaitFor([&] { return wbMain->url().toString() == StartPageUrl; }, 10000));
  ASSERT_TRUE(WaitFor([&] { return !wbMain->page()->isLoading(); }, 10000));

  // Already there (in another letter case): not loaded again.
  StartPageUrl = StartPageUrl.toUpper().replace("HTTP://", "http://");
  int starts = 0;
  QObject::connect(wbMain, &QWebEngineView::loadStarted, [&] { ++starts; });
  Click(bar->categoryButtons[0]);
  Pump(300);
  EXPECT_EQ(starts, 0);
}

TEST_F(ChannelAreaTest, TabsReleaseAndReturnToTheChannelTree)
{
  // The play list's tab was selected.
  tabs->PageControl2->setCurrentIndex(1);
  ActiveListTab = 2;
  tabs->tabSkins[1]->forceState(3, 3);
  tabs->ReleaseActiveListTab();
  EXPECT_TRUE(Shows(tabs->imgSelfSel, QStringLiteral("Selfsel1")));
  EXPECT_EQ(tabs->imgSelfSel->Tag, 0);

  // Back to the channel tab by its own mouse-down.
  tabs->tabSkins[1]->forceState(3, 3);
  Press(tabs->imgTuijian);
  EXPECT_EQ(ActiveListTab, 1);
  EXPECT_EQ(tabs->PageControl2->currentIndex(), 0);
  EXPECT_TRUE(Shows(tabs->imgSelfSel, QStringLiteral("Selfsel1")));
  EXPECT_TRUE(Shows(tabs->imgTuijian, QStringLiteral("Tuijian3")));
  EXPECT_EQ(tabs->imgTuijian->Tag, 3);

  // Back by a category click from the favorites.
  tabs->PageControl2->setCurrentIndex(2);
  ActiveListTab = 3;
  tabs->tabSkins[2]->forceState(3, 3);
  Click(bar->categoryButtons[6]);
  ASSERT_TRUE(settle());
  EXPECT_EQ(ActiveListTab, 1);
  EXPECT_EQ(tabs->PageControl2->currentIndex(), 0);
  EXPECT_TRUE(Shows(tabs->imgFavorite, QStringLiteral("Favorite1")));
  EXPECT_EQ(tabs->imgFavorite->Tag, 1);
  EXPECT_TRUE(Shows(tabs->imgTuijian, QStringLiteral("SmallZhanzheng3")));
  // Releasing the channel tab shows the selected category's normal picture.
  tabs->ReleaseActiveListTab();
  EXPECT_TRUE(Shows(tabs->imgTuijian, QStringLiteral("SmallZhanzheng1")));
  EXPECT_EQ(tabs->imgTuijian->Tag, 0);
}

TEST_F(ChannelAreaTest, LayoutRulesOfTheLeftPanel)
{
  // PageControl2 reaches beyond its panel; tv1 is 10 wider than its page.
  EXPECT_EQ(tabs->PageControl2->geometry(), QRect(-4, -6, 208, 312));
  QWidget *pageWidget = tabs->tbsChannel;
  EXPECT_EQ(channels->tv1->geometry(), QRect(0, 0, pageWidget->width() + 10, pageWidget->height()));
  panel->resize(200, 400);
  QCoreApplication::processEvents();
  EXPECT_EQ(tabs->PageControl2->geometry(), QRect(-4, -6, 208, 412));
  EXPECT_EQ(channels->tv1->height(), pageWidget->height());
  EXPECT_EQ(channels->pnlScroll->geometry().right(), pageWidget->width() - 1);
}
