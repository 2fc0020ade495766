// The application-wide input filter: no context menus from right clicks in
// the browsers and the player, Ctrl+A / Ctrl+F / Ctrl+N dropped everywhere,
// and the comment browser keeps its editing keys.
#include "shell/framefilter.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

// Counts the events that reach a widget.
class EventCounter : public QObject {
public:
  int mouse = 0, contextMenus = 0, keys = 0;
  QList<int> keyCodes;
  bool eventFilter(QObject *, QEvent *e) override
  {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
      ++mouse;
      break;
    case QEvent::ContextMenu:
      ++contextMenus;
      break;
    case QEvent::KeyPress:
      ++keys;
      keyCodes << static_cast<QKeyEvent *>(e)->key();
      break;
    default:
      break;
    }
    return false;
  }
};

}  // namespace

TEST(FrameFilter, RightClicksInsideRegisteredWidgetsAreDropped)
{
  QWidget window;
  auto *lay = new QVBoxLayout(&window);
  auto *browser = new QWidget;         // stands for a browser or the player
  auto *inner = new QWidget(browser);  // the widget that really gets the input
  inner->resize(50, 50);
  auto *outside = new QWidget;
  lay->addWidget(browser);
  lay->addWidget(outside);
  window.resize(200, 200);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  FrameFilter filter;
  filter.install();
  filter.addNoContextMenu(browser);
  EventCounter innerCount, outsideCount;
  inner->installEventFilter(&innerCount);
  outside->installEventFilter(&outsideCount);

  QTest::mouseClick(inner, Qt::RightButton, {}, QPoint(5, 5));
  QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), inner->mapToGlobal(QPoint(5, 5)));
  QCoreApplication::sendEvent(inner, &menu);
  EXPECT_EQ(innerCount.mouse, 0);
  EXPECT_EQ(innerCount.contextMenus, 0);
  EXPECT_EQ(browser->contextMenuPolicy(), Qt::NoContextMenu);
  // Left clicks pass; outside widgets keep their right clicks.
  QTest::mouseClick(inner, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(innerCount.mouse, 2);
  QTest::mouseClick(outside, Qt::RightButton, {}, QPoint(5, 5));
  QCoreApplication::sendEvent(outside, &menu);
  EXPECT_EQ(outsideCount.mouse, 2);
  EXPECT_EQ(outsideCount.contextMenus, 1);

  // A widget taken off the list, or a filter not installed, drops nothing.
  filter.removeNoContextMenu(browser);
  QTest::mouseClick(inner, Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(innerCount.mouse, 4);
  filter.addNoContextMenu(browser);
  filter.uninstall();
  QTest::mouseClick(inner, Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(innerCount.mouse, 6);
}

TEST(FrameFilter, RightClickInAWebViewReachesNoPage)
{
  QWebEngineView view;
  view.resize(200, 150);
  view.setHtml(QStringLiteral("<html><body>x</body></html>"));
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  QTRY_VERIFY_WITH_TIMEOUT(view.focusProxy() != nullptr, 20000);
  FrameFilter filter;
  filter.install();
  filter.addNoContextMenu(&view);
  EventCounter count;
  view.focusProxy()->installEventFilter(&count);
  QTest::mouseClick(view.focusProxy(), Qt::RightButton, {}, QPoint(20, 20));
  EXPECT_EQ(count.mouse, 0);
  QTest::mouseClick(view.focusProxy(), Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_EQ(count.mouse, 2);
}

TEST(FrameFilter, CtrlAFNAreDroppedEverywhere)
{
  QLineEdit edit;
  edit.setText(QStringLiteral("abc"));
  edit.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
  FrameFilter filter;
  filter.install();
  EventCounter count;
  edit.installEventFilter(&count);
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    bool delivered;
  };
  const Case cases[] = {
      {Qt::Key_A, Qt::ControlModifier, false},
      {Qt::Key_F, Qt::ControlModifier, false},
      {Qt::Key_N, Qt::ControlModifier, false},
      {Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier, false},
      {Qt::Key_C, Qt::ControlModifier, true},
      {Qt::Key_A, Qt::NoModifier, true},
      {Qt::Key_N, Qt::AltModifier, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.key << " mods " << c.mods.toInt());
    count.keyCodes.clear();
    QTest::keyClick(&edit, c.key, c.mods);
    // (The modifier keys' own presses pass.)
    EXPECT_EQ(count.keyCodes.count(c.key), c.delivered ? 1 : 0);
  }
  // Ctrl+A did not select the text.
  edit.deselect();
  QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
  EXPECT_FALSE(edit.hasSelectedText());
}

TEST(FrameFilter, CommentBrowserKeepsItsEditingKeys)
{
  // A dialog whose default button would take Enter, with a comment browser
  // (here a line edit standing in for it) and another field.
  QDialog dialog;
  auto *lay = new QVBoxLayout(&dialog);
  auto *comment = new QLineEdit;
  auto *other = new QLineEdit;
  auto *ok = new QPushButton(QStringLiteral("ok"));
  ok->setDefault(true);
  lay->addWidget(comment);
  lay->addWidget(other);
  lay->addWidget(ok);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QSignalSpy accepted(&dialog, &QDialog::accepted);

  FrameFilter filter;
  filter.install();
  filter.setCommentBrowser(comment);
  comment->setFocus();
  EventCounter count;
  comment->installEventFilter(&count);

  // Enter reaches the browser and goes no further: the dialog stays open.
  QTest::keyClick(comment, Qt::Key_Return);
  QTest::keyClick(comment, Qt::Key_Enter);
  EXPECT_EQ(accepted.count(), 0);
  // Tab is handed to the browser as well.
  QTest::keyClick(comment, Qt::Key_Tab);
  EXPECT_EQ(count.keyCodes, (QList<int>{Qt::Key_Return, Qt::Key_Enter, Qt::Key_Tab}));
  // Editing keys work as usual.
  comment->setFocus();
  QTest::keyClicks(comment, QStringLiteral("abc"));
  QTest::keyClick(comment, Qt::Key_Left);
  QTest::keyClick(comment, Qt::Key_Backspace);
  QTest::keyClick(comment, Qt::Key_Delete);
  EXPECT_EQ(comment->text(), QStringLiteral("a"));

  // Outside the comment browser Enter works as before.
  filter.setCommentBrowser(nullptr);
  QTest::keyClick(other, Qt::Key_Return);
  EXPECT_EQ(accepted.count(), 1);
}
