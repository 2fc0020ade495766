// The search box: its prompt, the three messages, the local result page in
// the page view, the caret rule, and the fallback to the web service (a
// stand-in and the real stand-in portal).
#include "portalprocess.h"
#include "standinwindow.h"
#include "searchdb.h"
#include "testappdir.h"

#include "base/config.h"
#include "base/globals.h"
#include "catalog/core/localsearch.h"
#include "catalog/searchbox.h"
#include "service/core/userservice.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>
#include <optional>

namespace {

using FakeWindow = StandInWindow;

// Answers getSearchCntsClz with a given text, or fails.
class FakeService : public IUserService {
public:
  KsvUserCurPoint userLogin(const QString &, const QString &) override { return {}; }
  TChnlVersioninfo clientByVersion(const QString &, int) override { return {}; }
  int saveUserAdvice(int, const QString &, const QString &, const QString &) override { return 0; }
  QString getSearchCntsClz(const QString &words) override
  {
    asked.append(words);
    if (!answer)
      throw UserServiceError("connection refused");
    return *answer;
  }
  std::optional<QString> answer = QString();
  QStringList asked;  // written by the worker, read once it is done
};

class SearchBoxTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(app.isValid());
    slot.setLayout(new QHBoxLayout);
    box = std::make_unique<TSearchBox>(&slot, &window, &view, &service);
    box->Init();
    ResourceBaseUrl = QStringLiteral("http://127.0.0.1:9/hl/");
  }
  void TearDown() override { box.reset(); }

  QString dbPath() const { return AppDir + "Resource/html/search/search.db"; }
  bool writeDb()
  {
    QDir().mkpath(AppDir + "Resource/html/search");
    return WriteSearchDb(dbPath(), {{"0702", "益智游戏"}, {"070205", "接物"}},
                         {{"120", "接星星", "070205"}, {"121", "Tom's Run", "070205"}});
  }
  // Types the text and presses Enter; waits for the search to end.
  void search(const QString &text)
  {
    int done = 0;
    auto c = QObject::connect(box.get(), &TSearchBox::searchDone, [&] { ++done; });
    box->edtkey->setText(text);
    QTest::keyClick(box->edtkey, Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return done > 0; }, 20000)) << "the search never ended";
    QObject::disconnect(c);
  }

  TestAppDir app{false};
  FakeWindow window;
  QWidget slot;
  QWebEngineView view;
  FakeService service;
  std::unique_ptr<TSearchBox> box;
};

TEST_F(SearchBoxTest, BoxAndMagnifierSitInTheSlotWithThePrompt)
{
  EXPECT_EQ(box->edtkey->parent(), &slot);
  EXPECT_EQ(box->imgSearch->parent(), &slot);
  EXPECT_EQ(box->edtkey->size(), QSize(156, 19));
  EXPECT_FALSE(box->edtkey->hasFrame());
  EXPECT_EQ(box->edtkey->font().pixelSize(), 12);
  EXPECT_FALSE(box->imgSearch->pixmap().isNull()) << "no magnifier picture in the skin";
  EXPECT_EQ(slot.layout()->indexOf(box->edtkey) + 1, slot.layout()->indexOf(box->imgSearch));
  EXPECT_EQ(box->edtkey->text(), SearchPrompt);
}

TEST_F(SearchBoxTest, PromptLeavesOnFocusAndComesBackWhenOnlyBlanksAreLeft)
{
  auto focus = [&](QEvent::Type t) {
    QFocusEvent e(t, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(box->edtkey, &e);
  };
  focus(QEvent::FocusIn);
  EXPECT_EQ(box->edtkey->text(), "");
  box->edtkey->setText(" \t ");
  focus(QEvent::FocusOut);
  EXPECT_EQ(box->edtkey->text(), SearchPrompt);
  box->edtkey->setText(" 星星 ");
  focus(QEvent::FocusIn);
  focus(QEvent::FocusOut);
  EXPECT_EQ(box->edtkey->text(), " 星星 ");
}

TEST_F(SearchBoxTest, MessagesForNoWordsAndNoMatchCarryTheTrimmedKeyword)
{
  ASSERT_TRUE(writeDb());
  const struct {
    QString typed, message;
  } cases[] = {
      {"", "请输入查询内容。"},
      {"  \t", "请输入查询内容。"},
      {SearchPrompt, "请输入查询内容。"},
      {" " + SearchPrompt + " ", "请输入查询内容。"},
      {"  月亮 ", "很抱歉,没有找到与 “月亮” 相关的内容。"},
  };
  for (const auto &c : cases) {
    ScopedDialogRecorder rec;
    search(c.typed);
    EXPECT_EQ(rec.infoTexts(), QStringList{c.message}) << c.typed.toStdString();
  }
  EXPECT_TRUE(service.asked.isEmpty());
  EXPECT_TRUE(window.centrePages.isEmpty());
}

TEST_F(SearchBoxTest, FoundTitlesShowTheLocalPageInThePageView)
{
  ASSERT_TRUE(writeDb());
  for (const QString &typed : {QStringLiteral(" 星 "), QStringLiteral("'s")}) {
    ScopedDialogRecorder rec;
    bool loaded = false;
    auto c = QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    search(typed);
    EXPECT_TRUE(rec.infoTexts().isEmpty()) << rec.infoTexts().join('|').toStdString();
    EXPECT_EQ(view.page()->requestedUrl(), QUrl::fromLocalFile(SearchResultPage()));
    EXPECT_TRUE(WaitFor([&] { return loaded; }, 30000));
    EXPECT_EQ(view.url(), QUrl::fromLocalFile(SearchResultPage()));
    QObject::disconnect(c);
  }
  EXPECT_EQ(window.centrePages, QList<int>({0, 0}));
  EXPECT_TRUE(service.asked.isEmpty()) << "a quote no longer sends the search to the portal";
}

TEST_F(SearchBoxTest, WithoutALocalDatabaseThePortalIsAsked)
{
  // No database at all: each outcome of the web service.
  struct Case {
    std::optional<QString> answer;
    QString message;  // empty: the page opens
  };
  const Case cases[] = {
      {QStringLiteral("search\\ab12.html"), ""},
      {QString(), "很抱歉,没有找到与 “星星” 相关的内容。"},
      {std::nullopt, "未能正常查询,请稍后再试。"},
  };
  for (const Case &c : cases) {
    ScopedDialogRecorder rec;
    service.answer = c.answer;
    service.asked.clear();
    window.centrePages.clear();
    search(" 星星 ");
    EXPECT_FALSE(box->busy());
    EXPECT_EQ(service.asked, QStringList{"星星"});
    if (c.message.isEmpty()) {
      EXPECT_TRUE(rec.infoTexts().isEmpty());
      EXPECT_EQ(view.page()->requestedUrl().toString(), "http://127.0.0.1:9/hl/search/ab12.html");
      EXPECT_EQ(window.centrePages, QList<int>{0});
    } else {
      EXPECT_EQ(rec.infoTexts(), QStringList{c.message});
      EXPECT_TRUE(window.centrePages.isEmpty());
    }
  }
  EXPECT_FALSE(QFileInfo::exists(dbPath())) << "the search must not create the database";
}

TEST_F(SearchBoxTest, CaretGoesToTheEndOnlyForPlainText)
{
  QLineEdit *e = box->edtkey;
  e->setText("abc");
  e->setCursorPosition(1);
  e->insert("x");
  EXPECT_EQ(e->text(), "axbc");
  EXPECT_EQ(e->cursorPosition(), 4);
  e->setText("星星");
  e->setCursorPosition(1);
  e->insert("月");
  EXPECT_EQ(e->text(), "星月星");
  EXPECT_EQ(e->cursorPosition(), 2);
}

TEST(SearchBoxPortal, PortalResultPageIsShownWhenTheLocalSearchCannotRun)
{
  TestAppDir app(false);
  ASSERT_TRUE(
      app.write("Config/pvlt_Source.ini", "[sys]\r\nvar_type=0\r\nExeUpdate=1\r\nXmlUpdate=1\r\n"));
  QTemporaryDir data;
  PortalProcess portal;
  ASSERT_TRUE(portal.start(QStringLiteral(KESTROVA_PORTAL_EXE), data.path(),
                           AppDir + "Config/platform.ini"))
      << portal.error().toStdString();
  LoadConfiguration();
  ASSERT_FALSE(UserServiceUrl.isEmpty());
  ASSERT_FALSE(ResourceBaseUrl.isEmpty());

  FakeWindow window;
  QWidget slot;
  slot.setLayout(new QHBoxLayout);
  QWebEngineView view;
  TSearchBox box(&slot, &window, &view);  // the shared proxy
  ScopedDialogRecorder rec;
  int done = 0;
  QObject::connect(&box, &TSearchBox::searchDone, [&] { ++done; });
  bool loaded = false;
  QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
  box.edtkey->setText("星星");
  box.imgSearchClick();
  ASSERT_TRUE(WaitFor([&] { return done == 1; }, 20000));
  EXPECT_TRUE(rec.infoTexts().isEmpty()) << rec.infoTexts().join('|').toStdString();
  EXPECT_TRUE(view.page()->requestedUrl().toString().startsWith(ResourceBaseUrl + "search/"))
      << view.page()->requestedUrl().toString().toStdString();
  ASSERT_TRUE(WaitFor([&] { return loaded; }, 30000));
  QString html;
  view.page()->toHtml([&](const QString &h) { html = h; });
  ASSERT_TRUE(WaitFor([&] { return !html.isEmpty(); }, 10000));
  EXPECT_NE(html.indexOf("接星星"), -1);
}

}  // namespace
