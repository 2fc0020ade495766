// The main window's frame: close behaviour, tray menu, maximise / restore /
// drag, the layout rules of a resize, the channel tree's expansion rule and
// the status-bar links.
#include "uitest.h"
#include "testdesktop.h"

#include "shell/mainwindow_skin.h"
#include "shell/settings.h"
#include "shell/tray.h"
#include "widgets/closesystem.h"
#include "widgets/dialogs.h"
#include "widgets/dialogs_boxes.h"
#include "widgets/lxsimage.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

using FrameTest = MainWindowTest;

namespace {

// How the close-confirmation dialog is answered.
enum class Answer { None, Exit, Tray, CancelButton, TitleClose };

void PlayCloseDialog(Answer answer, int *shown)
{
  PlayDialogsWith([answer, shown](TfrmWinTemplate *dlg) {
    auto *close = qobject_cast<TfrmCloseSystem *>(dlg);
    ASSERT_NE(close, nullptr);
    ++*shown;
    switch (answer) {
    case Answer::Exit:
      close->RadioButton2->setChecked(true);
      close->limgOkClick();
      break;
    case Answer::Tray:
      close->RadioButton1->setChecked(true);
      close->limgOkClick();
      break;
    case Answer::CancelButton:
      close->RadioButton1->setChecked(true);
      close->limgCancelClick();
      break;
    case Answer::TitleClose:
    case Answer::None:
      close->limgCloseClick();
      break;
    }
  });
}

}  // namespace

TEST_F(FrameTest, CloseButtonFollowsCloseModeAndStartCount)
{
  struct Case {
    const char *closeMode;  // nullptr: key "8" missing from local.ini
    int startCount;
    Answer answer;
    bool asks;
    bool ends;
    bool visible;
    const char *storedMode;  // local.ini "8" afterwards
  };
  const Case cases[] = {
      {"0", 0, Answer::None, false, false, false, "0"},
      {"0", 9, Answer::None, false, false, false, "0"},
      {nullptr, 3, Answer::None, false, false, false, "<missing>"},
      {"2", 0, Answer::None, false, false, false, "2"},
      {"1", 1, Answer::None, false, true, true, "1"},
      {"1", 0, Answer::Exit, true, true, true, "1"},
      {"1", 0, Answer::Tray, true, false, false, "0"},
      {"1", 0, Answer::CancelButton, true, false, true, "1"},
      {"1", 0, Answer::TitleClose, true, false, true, "1"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "CloseMode " << (c.closeMode ? c.closeMode : "(missing)") << " StartCount "
                 << c.startCount << " answer " << static_cast<int>(c.answer));
    TearDown();
    SetUp();
    QString ini = QStringLiteral("[Info]\r\n1=%1\r\n").arg(c.startCount);
    if (c.closeMode)
      ini += QStringLiteral("8=%1\r\n").arg(QLatin1String(c.closeMode));
    QFile f(LocalIniFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(ini.toLatin1());
    f.close();
    LoadConfig();
    TfrmMain &w = Window();
    w.life->FormCreate();
    w.show();
    int shown = 0;
    PlayCloseDialog(c.answer, &shown);

    w.frame->limgCloseClick();
    EXPECT_EQ(shown > 0, c.asks);
    EXPECT_EQ(endings_ > 0, c.ends);
    EXPECT_EQ(w.isVisible(), c.visible);
    EXPECT_EQ(Ini("8"), QLatin1String(c.storedMode));

    // After the tray choice the close button hides without asking.
    if (c.answer == Answer::Tray) {
      w.frame->miRestoreClick();
      shown = 0;
      w.frame->limgCloseClick();
      EXPECT_EQ(shown, 0);
      EXPECT_FALSE(w.isVisible());
      EXPECT_EQ(endings_, 0);
    }
  }
}

TEST_F(FrameTest, TrayMenuHasItsItemsInOrderWithTheirIcons)
{
  LoadConfig();
  TfrmMain &w = Window();
  QStringList texts;
  QList<bool> hasIcon;
  for (QAction *a : w.tray->pm_tray()->actions()) {
    texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    hasIcon << !a->icon().isNull();
  }
  EXPECT_EQ(texts, (QStringList{"关于...", "意见反馈", "推荐好友", "系统设置", "官网地址", "-",
                                "打开Kestrova", "-", "退出系统"}));
  EXPECT_EQ(hasIcon, (QList<bool>{true, true, true, true, true, false, false, false, false}));
  // Icons 2, 4, 3, 1, 0 of the tray image list.
  const int order[] = {2, 4, 3, 1, 0};
  for (int i = 0; i < 5; ++i) {
    const QImage shown = w.tray->pm_tray()->actions().at(i)->icon().pixmap(16, 16).toImage();
    const QImage listed = TrayMenuIcon(order[i]).pixmap(16, 16).toImage();
    EXPECT_EQ(shown, listed) << "item " << i;
  }

  w.life->FormCreate();
  ASSERT_NE(w.tray->icon(), nullptr);
  EXPECT_EQ(w.tray->icon()->toolTip(), QStringLiteral("Kestrova游戏"));
  EXPECT_EQ(w.tray->icon()->contextMenu(), w.tray->pm_tray());
}

TEST(FramePictures, EveryPieceAndIconComesFromTheSkin)
{
  for (int piece = int(FramePiece::CaptionLeft); piece <= int(FramePiece::SettingIcon); ++piece) {
    SCOPED_TRACE(piece);
    EXPECT_FALSE(FramePicture(static_cast<FramePiece>(piece)).isNull());
  }
  for (int n = 0; n < 5; ++n)
    EXPECT_FALSE(TrayMenuIcon(n).isNull()) << n;
  EXPECT_TRUE(TrayMenuIcon(5).isNull());
  EXPECT_FALSE(ProgramIcon().isNull());
}

TEST_F(FrameTest, TrayExitAsksAndEndsOnlyOnYes)
{
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  {
    ScopedDialogRecorder boxes(false);
    w.tray->miExit->trigger();
    EXPECT_EQ(boxes.questions(), QStringList{TrayExitQuestion});
    EXPECT_EQ(endings_, 0);
  }
  // The question's own title-bar close button is a "no".
  int seen = 0;
  PlayDialogsWith([&seen](TfrmWinTemplate *dlg) {
    auto *box = qobject_cast<TfrmMessageBox *>(dlg);
    ASSERT_NE(box, nullptr);
    ++seen;
    box->limgCloseClick();
  });
  w.tray->miExit->trigger();
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(endings_, 0);
  PlayDialogsWith({});
  {
    ScopedDialogRecorder boxes(true);
    w.tray->miExit->trigger();
    EXPECT_EQ(endings_, 1);
  }
  // The exit question's text holds a line feed followed by a carriage return.
  EXPECT_TRUE(TrayExitQuestion.contains(QStringLiteral("\n\r")));
}

TEST_F(FrameTest, RecommendCopiesTheHomeAddressAndHomepageOpensIt)
{
  LoadConfig();
  TfrmMain &w = Window();
  {
    ScopedDialogRecorder boxes;
    w.tray->miRecommend->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromLatin1(PortalHomeUrl));
    EXPECT_EQ(boxes.infoTexts(),
              QStringList{QStringLiteral("Kestrova官方网址已拷贝,可直接粘贴。")});
  }
  // Addresses handed to the desktop's browser.
  struct {
    const QList<QUrl> &urls;
  } catcher{desktop_->openedUrls};
  w.tray->miHomepage->trigger();
  EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl(QString::fromLatin1(PortalHomeUrl))});
  EXPECT_TRUE(QString::fromLatin1(PortalHomeUrl).endsWith(QLatin1Char('/')));
}

TEST_F(FrameTest, TrayLeftClickAndRestoreBringTheWindowBack)
{
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  w.show();
  w.frame->limgMinClick();
  EXPECT_FALSE(w.isVisible());
  EXPECT_NE(w.tray->icon(), nullptr);               // the tray icon stays
  w.tray->TrayActivated(QSystemTrayIcon::Context);  // the menu: nothing else
  EXPECT_FALSE(w.isVisible());
  w.tray->TrayActivated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.geometry(), w.frame->MaximizedGeometry());
  // Again while visible: harmless.
  w.tray->TrayActivated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(w.isVisible());
  // The menu item does the same; a normal window comes back normal.
  w.frame->limgNorClick();
  const QRect normal = w.geometry();
  w.frame->HideToTray();
  w.tray->miRestore->trigger();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.geometry(), normal);
}

TEST_F(FrameTest, WithoutATrayTheWindowIsMinimisedInsteadOfHidden)
{
  QFile f(LocalIniFile);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("[Info]\r\n1=4\r\n8=0\r\n");
  f.close();
  LoadConfig();
  TestDesktop().trayAvailable = false;
  TfrmMain &w = Window();
  w.life->FormCreate();
  w.show();
  for (int way = 0; way < 2; ++way) {
    SCOPED_TRACE(way == 0 ? "minimise button" : "close button, CloseMode 0");
    if (way == 0)
      w.frame->limgMinClick();
    else
      w.frame->limgCloseClick();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isMinimized());
    w.frame->miRestoreClick();
    EXPECT_FALSE(w.isMinimized());
    EXPECT_EQ(w.geometry(), w.frame->MaximizedGeometry());
  }
  EXPECT_EQ(endings_, 0);
}

TEST_F(FrameTest, MaximiseRestoreAndCaptionDrag)
{
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const QRect maxed = w.frame->MaximizedGeometry();
  EXPECT_EQ(w.geometry(), maxed);

  // Maximised: dragging the caption does nothing.
  const QPoint grab(300, 30);
  QTest::mousePress(w.imgTc, Qt::LeftButton, {}, grab);
  QTest::mouseMove(w.imgTc, grab + QPoint(40, 25));
  QTest::mouseRelease(w.imgTc, Qt::LeftButton, {}, grab + QPoint(40, 25));
  EXPECT_EQ(w.geometry(), maxed);

  // A double-click restores the design size and shows the maximise button;
  // the width and height are kept for leaving full screen.
  QTest::mouseDClick(w.imgTc, Qt::LeftButton, {}, grab);
  EXPECT_EQ(IsMaximized, 0);
  EXPECT_EQ(w.size(), QSize(TfrmMain::DesignWidth, TfrmMain::DesignHeight));
  EXPECT_TRUE(w.limgMax->isVisible());
  EXPECT_FALSE(w.limgNor->isVisible());
  EXPECT_EQ(SavedBounds.width, TfrmMain::DesignWidth);
  EXPECT_EQ(SavedBounds.height, TfrmMain::DesignHeight);

  // Now the same drag moves the window with the mouse.
  const QPoint before = w.pos();
  QTest::mousePress(w.imgTc, Qt::LeftButton, {}, grab);
  QTest::mouseMove(w.imgTc, grab + QPoint(40, 25));
  QTest::mouseRelease(w.imgTc, Qt::LeftButton, {}, grab + QPoint(40, 25));
  EXPECT_EQ(w.pos(), before + QPoint(40, 25));
  // A right-button drag does nothing.
  QTest::mousePress(w.imgTc, Qt::RightButton, {}, grab);
  QTest::mouseMove(w.imgTc, grab + QPoint(-50, 0));
  QTest::mouseRelease(w.imgTc, Qt::RightButton, {}, grab + QPoint(-50, 0));
  EXPECT_EQ(w.pos(), before + QPoint(40, 25));

  // Double-click again: maximised over the screen's available area; the
  // buttons swap back, and a restore returns to the moved place.
  QTest::mouseDClick(w.imgTc, Qt::LeftButton, {}, grab);
  EXPECT_EQ(IsMaximized, 1);
  EXPECT_EQ(w.geometry(), maxed);
  EXPECT_FALSE(w.limgMax->isVisible());
  EXPECT_TRUE(w.limgNor->isVisible());
  w.frame->limgNorClick();
  EXPECT_EQ(w.pos(), before + QPoint(40, 25));
  w.frame->limgMaxClick();
  EXPECT_EQ(w.geometry(), maxed);
}

TEST_F(FrameTest, ResizeClipsRoundCornersAndKeepsButtonsAtTheRightEdge)
{
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  w.frame->limgNorClick();
  w.show();
  for (const QSize size : {QSize(1008, 642), QSize(1200, 700), QSize(800, 500)}) {
    SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
    w.resize(size);
    QCoreApplication::processEvents();
    const QRegion mask = w.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_TRUE(mask.contains(QPoint(5, 5)));
    EXPECT_TRUE(mask.contains(QPoint(size.width() / 2, size.height() / 2)));
    EXPECT_TRUE(mask.contains(QPoint(size.width() / 2, 0)));
    EXPECT_TRUE(mask.contains(QPoint(0, size.height() / 2)));
    // Window buttons keep their distance to the right edge.
    EXPECT_EQ(size.width() - w.limgClose->x(), 1008 - 976);
    EXPECT_EQ(size.width() - w.limgMin->x(), 1008 - 929);
    // The page control fills its parent.
    EXPECT_EQ(w.PageControl1->geometry(), w.pnlPages->rect());
  }
  // The caption's fixed places.
  EXPECT_EQ(w.imgLogo->geometry(), QRect(10, 15, 183, 58));
  EXPECT_EQ(w.categoryButtons[0]->geometry(), QRect(208, 14, 76, 70));
  EXPECT_EQ(w.categoryButtons[8]->geometry(), QRect(208 + 77 * 8, 14, 76, 70));
  EXPECT_EQ(w.pnlTop->height(), 88);
  EXPECT_EQ(w.pnlStatus->height(), 24);
  EXPECT_EQ(w.pnlLeft->width(), 200);
  EXPECT_EQ(w.pnlName->height(), 41);
  EXPECT_EQ(w.lblSysVersion->pos(), QPoint(14, 6));
  EXPECT_EQ(w.pnlStatus->palette().color(QPalette::Window), QColor(213, 220, 241));
}

namespace {

// A tree of `top` top-level nodes, each with `children` children, each of
// those with `grandchildren` children.
void FillTree(QTreeWidget *tree, int top, int children, int grandchildren)
{
  tree->clear();
  for (int i = 0; i < top; ++i) {
    auto *t = new QTreeWidgetItem(tree, QStringList{QStringLiteral("t%1").arg(i)});
    for (int j = 0; j < children; ++j) {
      auto *c = new QTreeWidgetItem(t, QStringList{QStringLiteral("c%1").arg(j)});
      for (int k = 0; k < grandchildren; ++k)
        new QTreeWidgetItem(c, QStringList{QStringLiteral("g%1").arg(k)});
    }
  }
}

}  // namespace

TEST(ExpansionRule, ChoosesTheModeFromTheRowsThatFit)
{
  QTreeWidget tree;
  struct Case {
    int top, children, grandchildren, height;
    int mode;
  };
  // 2 top x 2 children x 2 grandchildren: 14 nodes (504 pixels), 6 at
  // levels 0 and 1 (216 pixels).
  const Case cases[] = {
      {2, 2, 2, 505, 2}, {2, 2, 2, 504, 1}, {2, 2, 2, 217, 1}, {2, 2, 2, 216, 0}, {2, 2, 2, 10, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "height " << c.height);
    FillTree(&tree, c.top, c.children, c.grandchildren);
    tree.topLevelItem(1)->child(1)->setExpanded(true);  // state from before
    MainFrame::ExpandChannelTree(&tree, c.height);
    EXPECT_EQ(TreeLevelCounts[0], 2);
    EXPECT_EQ(TreeLevelCounts[1], 4);
    EXPECT_EQ(TreeLevelCounts[2], 8);
    EXPECT_EQ(TreeLevelCounts[3], c.mode);
    QTreeWidgetItem *t0 = tree.topLevelItem(0);
    EXPECT_EQ(t0->isExpanded(), c.mode >= 1);
    EXPECT_EQ(t0->child(0)->isExpanded(), c.mode == 2);
    // Mode 1 expands the top level and leaves the rest as it was.
    EXPECT_EQ(tree.topLevelItem(1)->child(1)->isExpanded(), c.mode >= 1);
    EXPECT_EQ(tree.currentItem(), t0);
  }
}

TEST(ExpansionRule, ExpandsOnlyTheLastParentEducationNode)
{
  QTreeWidget tree;
  FillTree(&tree, 3, 1, 0);
  // Deeper nodes are not counted but still take part in the search.
  auto *first = new QTreeWidgetItem(tree.topLevelItem(0), QStringList{QStringLiteral("父母教育")});
  new QTreeWidgetItem(first, QStringList{QStringLiteral("x")});
  auto *last =
      new QTreeWidgetItem(tree.topLevelItem(2)->child(0), QStringList{QStringLiteral("父母教育")});
  new QTreeWidgetItem(last, QStringList{QStringLiteral("y")});
  MainFrame::ExpandChannelTree(&tree, 1);  // nothing fits: collapse all
  EXPECT_EQ(TreeLevelCounts[3], 0);
  EXPECT_TRUE(last->isExpanded());
  EXPECT_FALSE(first->isExpanded());
  EXPECT_FALSE(tree.topLevelItem(0)->isExpanded());

  QTreeWidget empty;
  MainFrame::ExpandChannelTree(&empty, 100);
  EXPECT_EQ(empty.currentItem(), nullptr);
  EXPECT_EQ(TreeLevelCounts[3], 2);
}

TEST_F(FrameTest, ResizeRunsTheExpansionRuleOnlyWhileTheTreeTagIsOne)
{
  LoadConfig();
  TfrmMain &w = Window();
  FillTree(w.tv1, 2, 1, 0);
  w.frame->limgNorClick();
  w.show();
  QCoreApplication::processEvents();
  // The first resize ran the rule (Tag 1 from the layout) and cleared it.
  EXPECT_EQ(w.tv1->property("Tag").toInt(), 0);
  EXPECT_TRUE(w.tv1->topLevelItem(0)->isExpanded());
  w.tv1->topLevelItem(0)->setExpanded(false);
  w.tv1->setProperty("Tag", 5);
  w.resize(900, 600);
  QCoreApplication::processEvents();
  EXPECT_FALSE(w.tv1->topLevelItem(0)->isExpanded());
  w.tv1->setProperty("Tag", 1);
  w.resize(950, 620);
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.tv1->topLevelItem(0)->isExpanded());
  EXPECT_EQ(w.tv1->property("Tag").toInt(), 0);
}

TEST_F(FrameTest, StatusBarLinksOpenSettingsAndFeedback)
{
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  w.frame->limgNorClick();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QStringList opened;
  PlayDialogsWith([&opened](TfrmWinTemplate *dlg) {
    opened << QString::fromLatin1(dlg->metaObject()->className());
    dlg->limgCloseClick();
  });
  int feedback = 0;
  w.frame->openFeedback = [&feedback] { ++feedback; };
  for (QWidget *link : {static_cast<QWidget *>(w.lblSetting), static_cast<QWidget *>(w.Image2)})
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
  for (QWidget *link : {static_cast<QWidget *>(w.lblAdvice), static_cast<QWidget *>(w.Image1)})
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
  w.tray->miSettings->trigger();
  w.tray->miAdvice->trigger();
  w.tray->miAbout->trigger();
  EXPECT_EQ(opened, (QStringList{"TfrmSettings", "TfrmSettings", "TfrmSettings", "TfrmAbout"}));
  EXPECT_EQ(feedback, 3);
  EXPECT_EQ(w.lblAdvice->text(), QStringLiteral("意见反馈"));
  EXPECT_EQ(w.lblSetting->text(), QStringLiteral("设置"));
}

TEST_F(FrameTest, WindowManagerCloseActsAsTheCloseButton)
{
  QFile f(LocalIniFile);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("[Info]\r\n1=4\r\n8=0\r\n");
  f.close();
  LoadConfig();
  TfrmMain &w = Window();
  w.life->FormCreate();
  w.show();
  EXPECT_FALSE(w.close());  // refused: the close behaviour decides
  QCoreApplication::processEvents();
  EXPECT_FALSE(w.isVisible());  // CloseMode 0: to the tray
  EXPECT_EQ(endings_, 0);
}

TEST_F(FrameTest, SessionEndEndsTheProgramAsTheTrayExitDoesWithoutAsking)
{
  // The session manager's quit at logout must not be refused: neither to
  // the tray (close behaviour 0) nor by the first run's close question.
  const struct {
    const char *what;
    const char *ini;
  } cases[] = {
      {"close to the tray", "[Info]\r\n1=4\r\n8=0\r\n"},
      {"first run, which asks", "[Info]\r\n1=0\r\n8=1\r\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    QFile f(LocalIniFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(c.ini);
    f.close();
    LoadConfig();
    TfrmMain &w = Window();
    w.life->FormCreate();
    w.show();
    int dialogs = 0;
    PlayCloseDialog(Answer::TitleClose, &dialogs);
    ScopedDialogRecorder boxes(false);
    // What the session manager's end of the session comes down to: the
    // application is told to quit, which first closes its windows.
    QTimer::singleShot(0, qApp, [] {
      QEvent quit(QEvent::Quit);
      QCoreApplication::sendEvent(qApp, &quit);
    });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(0); });  // a refused quit
    QCoreApplication::exec();
    QCoreApplication::processEvents();
    EXPECT_EQ(endings_, 1);
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(boxes.entries.isEmpty());
    EXPECT_FALSE(w.isVisible());
  }
}

