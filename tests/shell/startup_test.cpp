// The main window's life cycle on a fresh program folder: creation order,
// the start count rules of the first showing, the hidden start, destruction,
// and the two message channels.
#include "uitest.h"
#include "waitfor.h"

#include "base/routines.h"
#include "catalog/portalbrowser.h"
#include "net/singleinstance.h"
#include "shell/startup.h"
#include "shell/tray.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

using StartupTest = MainWindowTest;

TEST_F(StartupTest, FreshFolderCreatesLocalIniAndRunsTheCreationOrder)
{
  QDir().mkpath(dir_ + QStringLiteral("backup/old/deeper"));
  LoadConfig();
  ASSERT_TRUE(QFile::exists(dir_ + QStringLiteral("Config/local.ini")));
  EXPECT_EQ(StartCount, 0);

  TfrmMain &w = Window();
  w.life->FormCreate();

  // Every step of the creation, in its order.
  EXPECT_EQ(steps_,
            (QStringList{"FormCreate", "CapEngineDataFile", "InitMainWindow", "Initkestrova",
                         "CreateMediaPlayer", "DeleteBackup", "LoadPlayList"}));
  EXPECT_EQ(engineCalls_, QStringList{QStringLiteral("Initkestrova 16783119")});
  // One more start in the file; the global keeps the value read.
  EXPECT_EQ(Ini("1"), QStringLiteral("1"));
  EXPECT_EQ(StartCount, 0);
  // Maximised from the start, with the restore button showing.
  EXPECT_EQ(IsMaximized, 1);
  EXPECT_EQ(w.geometry(), w.frame->MaximizedGeometry());
  EXPECT_FALSE(w.limgMax->isVisibleTo(&w));
  EXPECT_TRUE(w.limgNor->isVisibleTo(&w));
  EXPECT_EQ(w.edtkey->text(), SearchPrompt);
  EXPECT_EQ(w.tbsChannel->windowTitle(), QStringLiteral("推荐类"));
  EXPECT_EQ(w.PageControl1->currentIndex(), 0);
  EXPECT_EQ(w.PageControl2->currentIndex(), 0);
  EXPECT_EQ(w.lblSysVersion->text(), QStringLiteral("版本:") + GetOwnFileVersion());
  EXPECT_NE(w.tray->icon(), nullptr);
  // No advertisement address answers here, so its panel is hidden.
  EXPECT_FALSE(w.pnlCommentAds->isVisibleTo(&w));
  EXPECT_FALSE(QFileInfo::exists(dir_ + QStringLiteral("backup")));
  EXPECT_TRUE(w.TimerSystemMsg->isActive());
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_FALSE(w.TimerDownload->isActive());

  // The first showing opens the start page and starts the sign-in.
  steps_.clear();
  w.show();
  EXPECT_EQ(steps_, (QStringList{"OnFirstShow", "ClientLogin"}));
  EXPECT_TRUE(w.edtShowmessage->text().isEmpty());
}

// StartCount read from local.ini and the kind of start decide what the first
// showing does besides opening the start page.
TEST_F(StartupTest, FirstShowFollowsTheStartCount)
{
  struct Case {
    int startCount;
    bool hidden;
    bool setPcRun;
    bool focusBrowser;
  };
  const Case cases[] = {
      {0, false, false, false},  // very first start: neither
      {1, false, false, true},
      {2, false, true, false},  // third start: run at system start, no focus
      {2, true, true, false},
      {3, false, false, true},
      {7, true, false, false},  // hidden: no focus
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "StartCount " << c.startCount << (c.hidden ? " hidden" : ""));
    TearDown();
    SetUp();
    ASSERT_TRUE(WriteIniValue(LocalIniFile, "Info", "1", QString::number(c.startCount)));
    LoadConfig();
    StartedHidden = c.hidden;
    TfrmMain &w = Window();
    w.life->FormCreate();
    if (!c.hidden)
      w.show();
    EXPECT_EQ(steps_.count(QStringLiteral("OnFirstShow")), 1);
    EXPECT_EQ(engineCalls_.contains(QStringLiteral("SetPcRun 1")), c.setPcRun);
    EXPECT_EQ(steps_.contains(QStringLiteral("FocusBrowser")), c.focusBrowser);
    EXPECT_EQ(Ini("1"), QString::number(c.startCount + 1));
    EXPECT_EQ(StartCount, c.startCount);
  }
}

// As the program starts: the window is painted before any web page is
// made (the first one starts the web engine); right after that paint the
// portal view shows with its own page (the one that inspects navigations)
// and the start page opens.
TEST_F(StartupTest, ShownStartPaintsTheWindowBeforeAnyPageAndThenOpensTheStartPage)
{
  PageServer portal;
  LoadConfig();
  StartPageUrl = portal.url(QStringLiteral("/index.htm"));
  TPortalBrowser::PageOnFirstUse = true;
  struct Reset {
    ~Reset() { TPortalBrowser::PageOnFirstUse = false; }
  } reset;
  TfrmMain &w = Window();
  auto pages = [&w] { return w.findChildren<QWebEnginePage *>().size(); };
  w.life->FormCreate();
  EXPECT_EQ(pages(), 0);
  bool pageAtPaint = true;
  QObject::connect(&w, &TfrmMain::firstPainted, [&] { pageAtPaint = pages() > 0; });
  w.show();
  EXPECT_EQ(steps_.count(QStringLiteral("OnFirstShow")), 1);
  EXPECT_EQ(pages(), 0);
  EXPECT_FALSE(w.wbMain->isVisible());
  QTRY_VERIFY_WITH_TIMEOUT(portal.paths.contains(QStringLiteral("/index.htm")), 30000);
  EXPECT_TRUE(w.painted());
  EXPECT_FALSE(pageAtPaint);
  EXPECT_TRUE(w.wbMain->isVisible());
  EXPECT_EQ(w.wbMain->page(), w.portal->page);
  ASSERT_NE(w.portal->page, nullptr);
}

TEST_F(StartupTest, HiddenStartShowsFirstWithoutTheWindowAndNeverAgain)
{
  PageServer portal;
  LoadConfig();
  StartPageUrl = portal.url(QStringLiteral("/index.htm"));
  StartedHidden = true;
  TfrmMain &w = Window();
  w.life->FormCreate();
  // The first-show work ran during the creation, with no window shown.
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(steps_.count(QStringLiteral("OnFirstShow")), 1);
  EXPECT_EQ(steps_.last(), QStringLiteral("ClientLogin"));
  QTRY_VERIFY_WITH_TIMEOUT(portal.paths.contains(QStringLiteral("/index.htm")), 30000);
  EXPECT_FALSE(w.isVisible());

  // Opening the window from the tray does not run it a second time, nor does
  // hiding and opening it again.
  w.frame->miRestoreClick();
  EXPECT_TRUE(w.isVisible());
  w.frame->HideToTray();
  w.frame->miRestoreClick();
  EXPECT_EQ(steps_.count(QStringLiteral("OnFirstShow")), 1);
  QTRY_COMPARE(engineCalls_.filter(QStringLiteral("ClientLoginIn")).size(), 1);
  QTest::qWait(200);
  EXPECT_EQ(engineCalls_.filter(QStringLiteral("ClientLoginIn")).size(), 1);
  EXPECT_EQ(portal.paths.count(QStringLiteral("/index.htm")), 1);
  // It comes back maximised, as it was.
  EXPECT_EQ(w.geometry(), w.frame->MaximizedGeometry());
}

TEST_F(StartupTest, HiddenStartWithoutATrayStartsMinimised)
{
  const struct {
    bool hidden, tray, visible, minimised;
  } cases[] = {
      {false, true, true, false},
      {false, false, true, false},
      {true, true, false, false},  // in the tray
      {true, false, true, true},   // no tray to come back from: minimised
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message()
                 << (c.hidden ? "hidden" : "shown") << " start, " << (c.tray ? "tray" : "no tray"));
    TearDown();
    SetUp();
    TestDesktop().trayAvailable = c.tray;
    LoadConfig();
    StartedHidden = c.hidden;
    TfrmMain &w = Window();
    w.life->FormCreate();
    ShowAtStart(&w);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.isVisible(), c.visible);
    EXPECT_EQ(w.isMinimized(), c.minimised);
    // The first-show work ran once either way.
    EXPECT_EQ(steps_.count(QStringLiteral("OnFirstShow")), 1);
  }
}

TEST_F(StartupTest, RefusedStartsSayWhy)
{
  // The texts of the two refusals, word for word.
  const QTemporaryDir runtime(QStringLiteral("/tmp/ksr-XXXXXX"));
  ASSERT_TRUE(runtime.isValid());
  const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  {
    ScopedDialogRecorder boxes;
    EXPECT_FALSE(RefuseWhileUpdating(QString()));  // no updater
    QLocalServer updater;
    ASSERT_TRUE(updater.listen(UpdaterSocketPath()));
    EXPECT_FALSE(RefuseWhileUpdating(QStringLiteral("update_open")));
    EXPECT_TRUE(boxes.entries.isEmpty());
    EXPECT_TRUE(RefuseWhileUpdating(QStringLiteral("-start")));
    EXPECT_EQ(boxes.infoTexts(), QStringList{QStringLiteral("系统正在升级,请稍后再打开。")});
  }
  qputenv("XDG_RUNTIME_DIR", savedRuntime);
  {
    ScopedDialogRecorder boxes;
    EXPECT_TRUE(RefuseWithoutFlash(dir_));  // no ruffle/ in the folder
    EXPECT_EQ(boxes.infoTexts(),
              QStringList{QStringLiteral("您的系统还没有安装对Flash的支持，请安装后重试。")});
    // With the runtime there the start goes on.
    const QString ruffle =
        qEnvironmentVariable("KESTROVA_SOURCE_DIR") + "/node_modules/@ruffle-rs/ruffle/";
    ASSERT_TRUE(QDir().mkpath(dir_ + "ruffle"));
    for (const QString &name : QDir(ruffle).entryList({"*.js", "*.wasm"}, QDir::Files))
      ASSERT_TRUE(QFile::copy(ruffle + name, dir_ + "ruffle/" + name));
    boxes.entries.clear();
    EXPECT_FALSE(RefuseWithoutFlash(dir_));
    EXPECT_TRUE(boxes.entries.isEmpty());
  }
}

TEST_F(StartupTest, DestructionShutsTheEngineDownOnceAndRemovesTheTrayIcon)
{
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  w.life->FormDestroy();
  w.life->FormDestroy();
  EXPECT_EQ(engineCalls_.count(QStringLiteral("UnInitkestrova")), 1);
  EXPECT_EQ(w.tray->icon(), nullptr);
  window_.reset();  // the destructor does not run it again
  EXPECT_EQ(engineCalls_.count(QStringLiteral("UnInitkestrova")), 1);
  EXPECT_EQ(steps_.count(QStringLiteral("FormDestroy")), 1);
}

TEST_F(StartupTest, WindowDestroyedWithoutExplicitShutdownStillShutsDown)
{
  LoadConfig();
  Window().life->FormCreate();
  window_.reset();
  EXPECT_EQ(engineCalls_.last(), QStringLiteral("UnInitkestrova"));
}

TEST_F(StartupTest, MessageChannelDispatchesAndEmptiesItself)
{
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  struct Case {
    QString text;
    QString step;      // step expected, or empty
    QString infoText;  // information box expected, or empty
  };
  const Case cases[] = {
      {QStringLiteral("uishow"), QStringLiteral("OnFirstShow"), {}},
      {QStringLiteral("wslogin"), QStringLiteral("WsLogin"), {}},
      {QStringLiteral("   "), {}, {}},
      {QStringLiteral("用户不存在!"), {}, QStringLiteral("用户不存在!")},
      {QStringLiteral(" uishow"), {}, QStringLiteral(" uishow")},  // only the exact word
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    ScopedDialogRecorder boxes;
    steps_.clear();
    w.edtShowmessage->setText(c.text);
    if (c.step.isEmpty()) {
      EXPECT_TRUE(steps_.isEmpty());
    } else {
      EXPECT_EQ(steps_.value(0), c.step);
    }
    EXPECT_EQ(boxes.infoTexts(), c.infoText.isEmpty() ? QStringList() : QStringList{c.infoText});
    if (!c.text.trimmed().isEmpty()) {
      EXPECT_TRUE(w.edtShowmessage->text().isEmpty());
    }
  }
}

// Writing the text a box still holds (while its handler runs) runs nothing.
TEST_F(StartupTest, WritingTheHeldTextAgainRunsNothing)
{
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  steps_.clear();
  QObject::connect(w.life, &StartupSequence::stepRan, [&w](const QString &s) {
    if (s == QStringLiteral("RequestVersionInfo"))
      w.edtWsClientLogin->setText(MsgWsClientLogin);
    if (s == QStringLiteral("OnFirstShow"))
      w.edtShowmessage->setText(MsgUiShow);
  });
  w.edtWsClientLogin->setText(MsgWsClientLogin);
  EXPECT_EQ(steps_.count(QStringLiteral("RequestVersionInfo")), 1);
  EXPECT_TRUE(w.edtWsClientLogin->text().isEmpty());
  w.edtShowmessage->setText(MsgUiShow);
  EXPECT_EQ(steps_.count(QStringLiteral("OnFirstShow")), 1);
  // Other texts in the second box do nothing and are cleared.
  w.edtWsClientLogin->setText(QStringLiteral("wsclientlogin"));
  EXPECT_EQ(steps_.count(QStringLiteral("RequestVersionInfo")), 1);
  EXPECT_TRUE(w.edtWsClientLogin->text().isEmpty());
}

TEST_F(StartupTest, QuitTimerEndsTheProgramHalfASecondLater)
{
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  QSignalSpy ending(w.frame, &MainFrame::programEnding);
  w.Timer1->start();
  EXPECT_EQ(w.Timer1->interval(), 500);
  EXPECT_EQ(ending.count(), 0);
  EXPECT_TRUE(ending.wait(3000));
  EXPECT_EQ(ending.count(), 1);
  EXPECT_FALSE(w.Timer1->isActive());
}

TEST_F(StartupTest, CreationFillsTheChannelTreeWithTheRecommendedView)
{
  LoadConfig();
  ASSERT_EQ(CatalogVersion, QStringLiteral("100093"));
  // No portal here: channel pages do not answer.
  ResourceBaseUrl = QStringLiteral("http://127.0.0.1:1/hl/");
  QDir().mkpath(dir_ + QStringLiteral("Resource/xml"));
  QFile catalog(dir_ + QStringLiteral("Resource/xml/100093.xml"));
  ASSERT_TRUE(catalog.open(QIODevice::WriteOnly));
  catalog.write("<channels>"
                "<c><id>070814</id><pid>0708</pid><name>精选</name><num>2</num><type>1</type></c>"
                "<c><id>070201</id><pid>0702</pid><name>跑跳</name><num>3</num><type>1</type></c>"
                "<c><id>070102</id><pid>0701</pid><name>儿歌</name><num>0</num><type>2</type></c>"
                "</channels>");
  catalog.close();
  TfrmMain &w = Window();
  w.life->FormCreate();
  ASSERT_EQ(w.tv1->topLevelItemCount(), 2);
  EXPECT_EQ(w.tv1->topLevelItem(0)->text(0), QStringLiteral("精选(2)"));
  EXPECT_EQ(w.tv1->topLevelItem(1)->text(0), QStringLiteral("儿歌(0)"));

  // A category button of the window replaces the list with its category.
  ScopedDialogRecorder dialogs;
  QTest::mouseClick(w.categoryButtons[1], Qt::LeftButton);
  EXPECT_EQ(ActiveCategory, 2);
  ASSERT_EQ(w.tv1->topLevelItemCount(), 1);
  EXPECT_EQ(w.tv1->topLevelItem(0)->text(0), QStringLiteral("跑跳(3)"));
  EXPECT_TRUE(WaitFor([&] { return !dialogs.infoTexts().isEmpty(); }, 30000));
  EXPECT_EQ(dialogs.infoTexts(), QStringList{QStringLiteral("页面打开失败,请稍候重试。")});
}
