#include "servicetest.h"
#include "testdesktop.h"

#include "player/core/ksvplay.h"
#include "service/commentsarea.h"
#include "service/services.h"
#include "waitfor.h"

#include <QFile>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <atomic>

namespace {

// The advertisement panel and the system-message timer of a window.
class CommentsArea : public FreshAppDir {
protected:
  // Real boxes and dialogs, played by the test; nothing opens outside.
  PlayedDesktop desktop_;
protected:
  void SetUp() override
  {
    FreshAppDir::SetUp();
    left_.resize(200, 600);
    ads_ = new QWidget(&left_);
    auto *lay = new QVBoxLayout(ads_);
    lay->setContentsMargins(0, 0, 0, 0);
    timer_ = new QTimer(&left_);
    area_ = std::make_unique<TComments>(ads_, timer_, nullptr);
    area_->urlAnswers = [this](const QString &a) {
      asked_.fetch_add(1);
      return a.startsWith(QStringLiteral("file:")) && answers_.load();
    };
    TfrmSystemMsg::workArea = [] { return QRect(0, 0, 1280, 760); };
    TfrmSystemMsg::screenArea = [] { return QRect(0, 0, 1280, 800); };
    left_.show();
  }
  void TearDown() override
  {
    area_.reset();
    CurrentItem.reset();
    FreshAppDir::TearDown();
  }
  QString Page(const QString &name)
  {
    const QString path = dir_ + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><body>page</body></html>");
    return QUrl::fromLocalFile(path).toString();
  }

  QWidget left_;
  QWidget *ads_ = nullptr;
  QTimer *timer_ = nullptr;
  std::unique_ptr<TComments> area_;
  std::atomic<int> asked_{0};
  std::atomic<bool> answers_{true};
};

TEST_F(CommentsArea, CommentWindowOpensTheItemsCommentPage)
{
  CommentUrl = QStringLiteral("http://127.0.0.1:9/ksvComment/userComment.do");
  CurrentItem = MakeKsvPlay(QStringLiteral("1234"), QStringLiteral("070102"), QStringLiteral("g"),
                            QStringLiteral("1"));
  for (int user : {0, 25}) {
    UserId = user;
    QString opened;
    PlayDialogsWith([&](TfrmWinTemplate *dlg) {
      auto *d = qobject_cast<TfrmComment *>(dlg);
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(d->caption(), QStringLiteral("评论"));
      EXPECT_EQ(d->size(), QSize(374, 506));
      opened = d->address;
    });
    area_->imgCommentMouseDown();
    EXPECT_EQ(opened, QStringLiteral(
                          "http://127.0.0.1:9/ksvComment/userComment.do?contentid=1234&userID=") +
                          (user ? QStringLiteral("25") : QString()));
  }
  // No item: no window.
  CurrentItem.reset();
  bool shown = false;
  PlayDialogsWith([&](TfrmWinTemplate *) { shown = true; });
  area_->imgCommentMouseDown();
  EXPECT_FALSE(shown);
}

// The panel shows only once its own page has loaded; the address is compared
// without regard to case, and the test never runs on the window's thread.
TEST_F(CommentsArea, AdvertisementPanelFollowsTheLoadedAddress)
{
  const QString page = Page(QStringLiteral("CommentAds_1.html"));
  CommentAdsUrl = page;
  area_->InitCommentAds();
  EXPECT_FALSE(ads_->isVisibleTo(&left_));  // hidden until the page is there
  ASSERT_TRUE(WaitFor([&] { return ads_->isVisibleTo(&left_); }, 30000));
  EXPECT_EQ(asked_.load(), 1);

  // A page the advertisement led to hides it.
  const QString other = Page(QStringLiteral("other.html"));
  area_->wbChat->load(QUrl(other));
  ASSERT_TRUE(WaitFor([&] { return !ads_->isVisibleTo(&left_); }, 30000));

  // Case does not matter.
  CommentAdsUrl = page.toUpper().replace(QStringLiteral("FILE:"), QStringLiteral("file:"));
  area_->wbChat->load(QUrl(page));
  ASSERT_TRUE(WaitFor([&] { return ads_->isVisibleTo(&left_); }, 30000));
}

TEST_F(CommentsArea, UnansweredAdvertisementLeavesThePanelHiddenAndLoadsNothing)
{
  answers_ = false;
  CommentAdsUrl = Page(QStringLiteral("CommentAds_1.html"));
  area_->InitCommentAds();
  ASSERT_TRUE(area_->calls()->waitIdle(5000));
  Pump(300);
  EXPECT_FALSE(ads_->isVisibleTo(&left_));
  EXPECT_TRUE(area_->wbChat->url().isEmpty());
}

// Minute by minute: the third offers (address tested once), full screen
// holds it, then the pop-up comes and slides in once its page has loaded.
TEST_F(CommentsArea, SystemMessageOfferHoldsInFullScreenThenSlidesIn)
{
  MiniIndexUrl = Page(QStringLiteral("pvlt_mini_index.html"));
  const auto minute = [&] {
    area_->TimerSystemMsgTimer();
    EXPECT_TRUE(area_->calls()->waitIdle(5000));
  };
  minute();
  minute();
  EXPECT_EQ(asked_.load(), 0);
  IsFullScreen = 1;
  minute();  // 3rd: held
  EXPECT_EQ(asked_.load(), 1);
  EXPECT_EQ(SystemMsgTicks, 2);
  EXPECT_EQ(area_->systemMsg(), nullptr);
  minute();  // held again
  EXPECT_EQ(asked_.load(), 2);
  IsFullScreen = 0;
  minute();
  EXPECT_EQ(asked_.load(), 3);
  EXPECT_EQ(SystemMsgTicks, 3);
  TfrmSystemMsg *msg = area_->systemMsg();
  ASSERT_NE(msg, nullptr);
  EXPECT_EQ(msg->windowTitle(), QStringLiteral("最新消息"));
  EXPECT_EQ(msg->size(), QSize(350, 300));
  EXPECT_EQ(msg->x(), 1280 - 350);
  // Slid in once its page loaded: on the work area's bottom edge, the hour
  // running.
  ASSERT_TRUE(WaitFor([&] { return msg->slideFlag == 1; }, 30000));
  EXPECT_EQ(msg->y(), 760 - 300);
  EXPECT_TRUE(msg->Timer1->isActive());
  EXPECT_EQ(msg->Timer1->interval(), 3600000);
  // A reload does not slide it again.
  msg->move(msg->x(), 10);
  msg->wbSystemMsgDocumentComplete(true);
  EXPECT_EQ(msg->y(), 10);
  // The next minutes offer nothing until minute 363.
  for (int i = 0; i < 10; ++i)
    minute();
  EXPECT_EQ(asked_.load(), 3);
  // Closing frees it and clears the reference.
  msg->imgCloseClick();
  ASSERT_TRUE(WaitFor([&] { return area_->systemMsg() == nullptr; }, 5000));
}

TEST_F(CommentsArea, PopUpStaysBelowTheScreenWhenAnotherPageLoads)
{
  MiniIndexUrl = Page(QStringLiteral("pvlt_mini_index.html"));
  TfrmSystemMsg msg;
  msg.currentAddress = [] { return QStringLiteral("http://127.0.0.1:9/error.html"); };
  msg.Offer();
  EXPECT_EQ(msg.y(), 800);
  msg.wbSystemMsgDocumentComplete(true);
  EXPECT_EQ(msg.slideFlag, 0);
  EXPECT_EQ(msg.y(), 800);
  // The address compared without regard to case.
  msg.currentAddress = [] { return MiniIndexUrl.toUpper(); };
  msg.wbSystemMsgDocumentComplete(true);
  EXPECT_EQ(msg.slideFlag, 1);
  EXPECT_EQ(msg.y(), 460);
}

}  // namespace
