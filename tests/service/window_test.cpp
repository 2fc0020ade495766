#include "uitest.h"
#include "testdesktop.h"

#include "crypto/cipher.h"
#include "lists/playback.h"
#include "player/core/ksvplay.h"
#include "player/playerhost.h"
#include "service/adviceform.h"
#include "service/commentsarea.h"
#include "service/core/userservice.h"
#include "service/services.h"
#include "service/signinarea.h"
#include "service/updatearea.h"
#include "waitfor.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {

// Answers every sign-in with xiaoming's account.
class AcceptingService : public IUserService {
public:
  KsvUserCurPoint userLogin(const QString &name, const QString &) override
  {
    KsvUserCurPoint p;
    p.curResult = name == QStringLiteral("xiaoming") ? 1 : 0;
    p.userId = 1001;
    p.curLevel = 3;
    p.usesValue = 120;
    return p;
  }
  TChnlVersioninfo clientByVersion(const QString &, int) override { return {}; }
  int saveUserAdvice(int, const QString &, const QString &, const QString &) override { return 1; }
  QString getSearchCntsClz(const QString &) override { return {}; }
};

class AccountsInWindow : public MainWindowTest {};

TEST_F(AccountsInWindow, EngineSignInReachesTheCaption)
{
  LoadConfig();
  UserName = QStringLiteral("xiaoming");
  TfrmMain &w = Window();
  w.life->FormCreate();
  w.show();
  EXPECT_EQ(w.lblOnlineUser, w.signIn->lblOnlineUser);
  EXPECT_EQ(w.lblOnlineUser->parentWidget(), w.pnlTop);
  EXPECT_FALSE(w.lblOnlineUser->isVisible());
  Q_EMIT w.engine()->signInResult(0, 1001, 120, 3);
  ASSERT_TRUE(WaitFor([&] { return w.lblOnlineUser->isVisible(); }, 5000));
  EXPECT_EQ(w.lblOnlineUser->text(), QStringLiteral("xiaoming[3级/120分]"));
  EXPECT_EQ(w.lblOnlineUser->y(), 65);
  EXPECT_EQ(Ini("4"), EncipherText(QStringLiteral("xiaoming")));

  // A refusal: the message channel shows its message.
  ScopedDialogRecorder boxes;
  Q_EMIT w.engine()->signInResult(-1005, 0, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !boxes.infoTexts().isEmpty(); }, 5000));
  EXPECT_EQ(boxes.infoTexts(), QStringList{QStringLiteral("用户密码不正确!")});
  EXPECT_FALSE(w.lblOnlineUser->isVisible());
  EXPECT_TRUE(w.lblLogin->isVisible());
  EXPECT_TRUE(w.lblReg->isVisible());
}

TEST_F(AccountsInWindow, OtherEngineResultsSignInThroughTheWebService)
{
  LoadConfig();
  UserName = QStringLiteral("xiaoming");
  UserPassword = QStringLiteral("123456");
  TfrmMain &w = Window();
  w.setUserService(std::make_unique<AcceptingService>(), {});
  w.life->FormCreate();
  w.show();
  Q_EMIT w.engine()->signInResult(1, 0, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return w.lblOnlineUser->isVisible(); }, 10000));
  EXPECT_TRUE(steps_.contains(QStringLiteral("WsLogin")));
  EXPECT_EQ(w.lblOnlineUser->text(), QStringLiteral("xiaoming[3级/120分]"));
  EXPECT_EQ(UserId, 1001);
}

TEST_F(AccountsInWindow, MissingUpdaterEndsTheProgramThroughTimer1)
{
  LoadConfig();
  ExeUpdateEnabled = 1;
  TfrmMain &w = Window();
  w.life->FormCreate();
  ScopedDialogRecorder boxes;
  Q_EMIT w.engine()->versionInfo(1, 100093, 7, 3);
  ASSERT_TRUE(WaitFor([&] { return !boxes.infoTexts().isEmpty(); }, 5000));
  EXPECT_TRUE(boxes.infoTexts().value(0).startsWith(QStringLiteral("系统遭破坏")));
  EXPECT_EQ(ServiceNumber, 7);
  EXPECT_TRUE(w.Timer1->isActive());
  ASSERT_TRUE(WaitFor([&] { return endings_ == 1; }, 5000));
}

TEST_F(AccountsInWindow, PlayBarButtonsOpenCommentsAndFeedback)
{
  LoadConfig();
  CommentUrl = QStringLiteral("http://127.0.0.1:9/ksvComment/userComment.do");
  CurrentItem = MakeKsvPlay(QStringLiteral("1234"), QStringLiteral("070102"), QStringLiteral("g"),
                            QStringLiteral("1"));
  TfrmMain &w = Window();
  w.life->FormCreate();
  w.show();
  w.ShowCentrePage(1);
  QStringList opened;
  PlayDialogsWith([&](TfrmWinTemplate *dlg) {
    if (auto *c = qobject_cast<TfrmComment *>(dlg))
      opened.append(c->address);
    if (auto *a = qobject_cast<TfrmAdvice *>(dlg))
      opened.append(a->caption());
  });
  QTest::mousePress(w.playback->host->imgComment, Qt::LeftButton);
  QTest::mouseRelease(w.playback->host->imgComment, Qt::LeftButton);
  QTest::mousePress(w.playback->host->imgAdvice, Qt::LeftButton);
  QTest::mouseRelease(w.playback->host->imgAdvice, Qt::LeftButton);
  w.frame->lblAdviceClick();
  EXPECT_EQ(opened, (QStringList{CommentUrl + QStringLiteral("?contentid=1234&userID="),
                                 QStringLiteral("我要反馈"), QStringLiteral("我要反馈")}));
  // The pressed picture shows first.
  EXPECT_EQ(w.playback->host->imgComment->Tag, 3);
  CurrentItem.reset();
}

}  // namespace
