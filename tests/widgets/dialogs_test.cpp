// The dialog template, the two message boxes, the close confirmation and the
// about box.
#include "skintest.h"
#include "testdesktop.h"

#include "base/config.h"
#include "base/globals.h"
#include "base/ini.h"
#include "base/routines.h"
#include "widgets/about.h"
#include "widgets/closesystem.h"
#include "widgets/dialogs.h"
#include "widgets/dialogs_boxes.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

namespace {

// Plays the user of every modal dialog shown while it exists.
class ModalHook {
public:
  explicit ModalHook(std::function<void(TfrmWinTemplate *)> hook)
  {
    desktop.recordBoxes = false;
    desktop.dialogHandler = [this, hook](TfrmWinTemplate *dlg) {
      ++shown;
      hook(dlg);
    };
  }
  RecordingDesktop desktop;
  int shown = 0;
};

void DeleteClosed() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

TEST(Fitting, HalvesGoToTheEvenNeighbour)
{
  const int cases[][2] = {{0, 0}, {1, 0},    {2, 1},    {3, 2},    {5, 2},
                          {7, 4}, {125, 62}, {126, 63}, {127, 64}, {-3, -2}};
  for (const auto &c : cases)
    EXPECT_EQ(HalfToEven(c[0]), c[1]) << c[0];
}

TEST(Fitting, BoxGrowsWithItsLabel)
{
  struct Case {
    int labelW, labelH;
    int width, height, shift;
  };
  const Case cases[] = {
      {300, 16, 376, 173, 63},  // the documented example
      {100, 16, 250, 173, 0},   // short text: the design size
      {174, 16, 250, 173, 0},   // exactly fits
      {175, 16, 251, 173, 0},   // grows by 1: half rounds to 0
      {177, 16, 253, 173, 2},   // grows by 3: 1.5 rounds to 2
      {299, 16, 375, 173, 62},  // grows by 125: 62.5 rounds to 62
      {100, 40, 250, 173, 0},   // 40 high: height unchanged
      {100, 52, 250, 185, 0},   // 52 high: 12 higher
      {300, 52, 376, 185, 63},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << c.labelW << "x" << c.labelH);
    TfrmHint hint;
    hint.lblHint->resize(c.labelW, c.labelH);
    hint.FitText();
    EXPECT_EQ(hint.width(), c.width);
    EXPECT_EQ(hint.height(), c.height);
    EXPECT_EQ(hint.limgOk->pos(), QPoint(71 + c.shift, 75 + c.height - 173));

    TfrmMessageBox ask;
    ask.lblHint->resize(c.labelW, c.labelH);
    ask.FitText();
    EXPECT_EQ(ask.size(), QSize(c.width, c.height));
    EXPECT_EQ(ask.limgOk->pos(), QPoint(24 + c.shift, 75 + c.height - 173));
    EXPECT_EQ(ask.limgCancel->pos(), QPoint(118 + c.shift, 75 + c.height - 173));
  }
}

TEST(Fitting, RealTextsSizeTheBox)
{
  TfrmHint shortText;
  shortText.setText("设置完成。");
  EXPECT_EQ(shortText.size(), QSize(250, 173));

  TfrmHint longText;
  longText.setText(QString("很抱歉,没有找到与 “") + QString(40, QChar(0x6E38)) + "” 相关的内容。");
  EXPECT_GT(longText.lblHint->width(), 174);
  EXPECT_EQ(longText.width(), longText.lblHint->width() + 76);
  // The OK button stays in the middle of the box.
  EXPECT_NEAR(longText.limgOk->geometry().center().x() + 14, longText.width() / 2, 1);

  // "\n\r" is one line break: two lines, no stray carriage return.
  TfrmHint oneLine, twoLines;
  oneLine.setText("最小化到托盘");
  twoLines.setText("最小化到托盘(挂机可优先升级新游戏)\n\r您确定退出吗?");
  EXPECT_FALSE(twoLines.lblHint->text().contains('\r'));
  EXPECT_EQ(twoLines.lblHint->text().count('\n'), 1);
  EXPECT_GT(twoLines.lblHint->height(), oneLine.lblHint->height());
}

TEST(MessageBoxes, InfoBoxShowsTextAndClosesOnOk)
{
  QPointer<TfrmWinTemplate> seen;
  QString text, caption;
  {
    ModalHook hook([&](TfrmWinTemplate *dlg) {
      seen = dlg;
      auto *hint = qobject_cast<TfrmHint *>(dlg);
      ASSERT_NE(hint, nullptr);
      text = hint->lblHint->text();
      caption = hint->caption();
      EXPECT_TRUE(hint->isVisible());
      Click(hint->limgOk);
      EXPECT_FALSE(hint->isVisible());
    });
    ShowInfoBox("设置完成。");
    EXPECT_EQ(hook.shown, 1);
  }
  EXPECT_EQ(text, "设置完成。");
  EXPECT_EQ(caption, "Kestrova提示");
  EXPECT_TRUE(seen.isNull()) << "the box is destroyed when it closes";
}

TEST(MessageBoxes, AskYesNoIsTrueOnlyForOk)
{
  struct Case {
    const char *how;
    std::function<void(TfrmMessageBox *)> act;
    bool answer;
  };
  const Case cases[] = {
      {"OK", [](TfrmMessageBox *b) { Click(b->limgOk); }, true},
      {"cancel", [](TfrmMessageBox *b) { Click(b->limgCancel); }, false},
      {"title-bar close", [](TfrmMessageBox *b) { Click(b->limgClose); }, false},
      {"Escape",
       [](TfrmMessageBox *b) {
         QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(b, &esc);
       },
       false},
      {"OK pressed but released outside",
       [](TfrmMessageBox *b) {
         Press(b->limgOk);
         SendMouse(b->limgOk, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(200, 200));
         Click(b->limgCancel);
       },
       false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.how);
    bool closed = false;
    ModalHook hook([&](TfrmWinTemplate *dlg) {
      auto *box = qobject_cast<TfrmMessageBox *>(dlg);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->lblHint->text(), "您确定退出吗?");
      c.act(box);
      closed = !box->isVisible();
    });
    EXPECT_EQ(AskYesNo("您确定退出吗?"), c.answer);
    EXPECT_TRUE(closed);
  }
}

TEST(MessageBoxes, RealModalLoopWaitsForTheUser)
{
  // Without the test hook the box runs its own event loop; the caller goes
  // on only once the box has closed, and the box is gone by then.
  for (bool ok : {true, false}) {
    QPointer<QWidget> shown;
    QObject scope;  // a box the test could not find is closed, not waited for
    QTimer::singleShot(5000, &scope, [] {
      if (QWidget *w = QApplication::activeModalWidget())
        w->close();
    });
    QTimer::singleShot(50, [&] {
      auto *box = qobject_cast<TfrmMessageBox *>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      shown = box;
      Click(ok ? box->limgOk : box->limgCancel);
    });
    EXPECT_EQ(AskYesNo("继续吗?"), ok);
    EXPECT_TRUE(shown.isNull());
  }
}

TEST(MessageBoxes, RecorderTakesTheCallsWithoutWindows)
{
  ModalHook hook([](TfrmWinTemplate *) { FAIL() << "no window expected"; });
  ScopedDialogRecorder rec(/*defaultAnswer=*/true);
  rec.answers = {false};
  ShowInfoBox("一");
  EXPECT_FALSE(AskYesNo("二?"));
  EXPECT_TRUE(AskYesNo("三?"));
  {
    ScopedDialogRecorder inner;
    ShowInfoBox("四");
    EXPECT_FALSE(AskYesNo("五?"));
    EXPECT_EQ(inner.infoTexts(), QStringList{"四"});
  }
  ShowInfoBox("六");
  EXPECT_EQ(rec.infoTexts(), (QStringList{"一", "六"}));
  EXPECT_EQ(rec.questions(), (QStringList{"二?", "三?"}));
  EXPECT_EQ(hook.shown, 0);
}

TEST(Template, OutlineCentringDragAndDestruction)
{
  QWidget main;
  main.setGeometry(100, 80, 800, 600);
  main.show();
  TfrmWinTemplate::SetMainWindow(&main);

  QPointer<TfrmHint> dlg = new TfrmHint;
  dlg->show();
  EXPECT_EQ(dlg->parentWidget(), &main);
  EXPECT_NEAR(dlg->geometry().center().x(), main.geometry().center().x(), 1);
  EXPECT_NEAR(dlg->geometry().center().y(), main.geometry().center().y(), 1);

  // The grey outline runs along every edge; the corners are cut round.
  const QImage shot = dlg->grab().toImage();
  const QPoint edges[] = {{shot.width() / 2, 0},
                          {0, shot.height() / 2},
                          {shot.width() - 1, shot.height() / 2},
                          {shot.width() / 2, shot.height() - 1}};
  for (const QPoint &p : edges) {
    const QColor c = shot.pixelColor(p);
    EXPECT_NEAR(c.red(), 128, 10) << p.x() << "," << p.y();
    EXPECT_NEAR(c.green(), 128, 10);
    EXPECT_NEAR(c.blue(), 128, 10);
  }
  EXPECT_FALSE(dlg->mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(dlg->mask().contains(QPoint(shot.width() / 2, shot.height() / 2)));

  // Dragging the title bar moves the dialog by the mouse's way.
  const QPoint start = dlg->pos();
  const QPoint grip(60, 18);
  SendMouse(dlg->imgTop, QEvent::MouseButtonPress, Qt::LeftButton, grip);
  SendMouse(dlg->imgTop, QEvent::MouseMove, Qt::LeftButton, grip + QPoint(30, 20));
  SendMouse(dlg->imgTop, QEvent::MouseButtonRelease, Qt::LeftButton, grip + QPoint(30, 20));
  EXPECT_EQ(dlg->pos(), start + QPoint(30, 20));
  // The right button does not drag.
  SendMouse(dlg->imgTop, QEvent::MouseButtonPress, Qt::RightButton, grip);
  SendMouse(dlg->imgTop, QEvent::MouseMove, Qt::RightButton, grip + QPoint(30, 20));
  EXPECT_EQ(dlg->pos(), start + QPoint(30, 20));

  // Closing never sets the result, and destroys the dialog.
  dlg->Tag = 5;
  Click(dlg->limgClose);
  DeleteClosed();
  EXPECT_TRUE(dlg.isNull());
  TfrmWinTemplate::SetMainWindow(nullptr);
}

TEST(Template, MaximisedDialogDoesNotDrag)
{
  QPointer<TfrmHint> dlg = new TfrmHint;
  // The offscreen platform shows no maximised windows; the state alone is
  // what the drag rule reads.
  dlg->setWindowState(Qt::WindowMaximized);
  ASSERT_TRUE(dlg->isMaximized());
  const QPoint start = dlg->pos();
  SendMouse(dlg->imgTop, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(60, 18));
  SendMouse(dlg->imgTop, QEvent::MouseMove, Qt::LeftButton, QPoint(120, 60));
  EXPECT_EQ(dlg->pos(), start);
  dlg->close();
  DeleteClosed();
  EXPECT_TRUE(dlg.isNull());
}

class ConfigTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp.isValid());
    ResetGlobals();
    PreparePaths(tmp.path() + '/');
    ASSERT_TRUE(QFile::exists(LocalIniFile));
  }
  void TearDown() override { ResetGlobals(); }
  QString Key(const char *key) const { return ReadIniValue(LocalIniFile, "Info", key, "<none>"); }
  QTemporaryDir tmp;
};

TEST_F(ConfigTest, CloseSystemChoices)
{
  struct Case {
    const char *how;
    bool pickTray;
    int button;  // 0 OK, 1 cancel, 2 title-bar close
    CloseSystemChoice result;
    const char *storedCloseMode;
  };
  const Case cases[] = {
      {"default choice confirmed", false, 0, CloseSystemChoice::Exit, "1"},
      {"tray confirmed", true, 0, CloseSystemChoice::ToTray, "0"},
      {"tray then cancel", true, 1, CloseSystemChoice::Cancelled, "1"},
      {"closed by the title bar", true, 2, CloseSystemChoice::Cancelled, "1"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.how);
    ASSERT_TRUE(WriteIniValue(LocalIniFile, "Info", "8", "1"));
    CloseMode = "1";
    ModalHook hook([&](TfrmWinTemplate *dlg) {
      auto *close = qobject_cast<TfrmCloseSystem *>(dlg);
      ASSERT_NE(close, nullptr);
      EXPECT_TRUE(close->RadioButton2->isChecked());
      EXPECT_FALSE(close->RadioButton1->isChecked());
      if (c.pickTray)
        close->RadioButton1->click();
      tLxsimage *buttons[] = {close->limgOk, close->limgCancel, close->limgClose};
      Click(buttons[c.button]);
    });
    EXPECT_EQ(ShowCloseSystem(), c.result);
    EXPECT_EQ(CloseMode, c.storedCloseMode);
    EXPECT_EQ(Key("8"), c.storedCloseMode);
  }
}

TEST_F(ConfigTest, CloseSystemWithoutLocalIniKeepsTheChoiceForThisRun)
{
  ASSERT_TRUE(QFile::remove(LocalIniFile));
  ModalHook hook([](TfrmWinTemplate *dlg) {
    auto *close = static_cast<TfrmCloseSystem *>(dlg);
    close->RadioButton1->click();
    Click(close->limgOk);
  });
  EXPECT_EQ(ShowCloseSystem(), CloseSystemChoice::ToTray);
  EXPECT_EQ(CloseMode, "0");
  EXPECT_FALSE(QFile::exists(LocalIniFile));
}

TEST(About, ShowsVersionAndOpensTheSupportMail)
{
  RecordingDesktop desktop;
  const QList<QUrl> &opened = desktop.openedUrls;
  TfrmAbout about;
  EXPECT_EQ(about.caption(), "关于");
  EXPECT_EQ(about.size(), QSize(308, 235));
  EXPECT_EQ(about.Version->text(), "版本:" + GetOwnFileVersion());
  EXPECT_EQ(about.ProductName->text(), "Kestrova游戏");
  EXPECT_EQ(about.lblContract->text(), KestrovaSupportMail);
  EXPECT_FALSE(about.ProgramIcon->pixmap().isNull());

  auto colour = [&] { return about.lblContract->palette().color(QPalette::WindowText); };
  EXPECT_EQ(colour(), QColor(35, 135, 208));
  Move(about.lblContract);
  EXPECT_EQ(colour(), QColor(0, 0, 255));
  EXPECT_TRUE(about.lblContract->font().underline());
  Leave(about.lblContract);
  EXPECT_EQ(colour(), QColor(35, 135, 208));
  EXPECT_FALSE(about.lblContract->font().underline());

  Click(about.lblContract);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0], QUrl(QString("mailto:") + KestrovaSupportMail));
}

TEST(About, OkCloses)
{
  bool closed = false;
  ModalHook hook([&](TfrmWinTemplate *dlg) {
    Click(static_cast<TfrmAbout *>(dlg)->limgOk);
    closed = !dlg->isVisible();
  });
  ShowAbout();
  EXPECT_TRUE(closed);
}

}  // namespace
