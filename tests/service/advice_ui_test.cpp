#include "servicetest.h"
#include "testdesktop.h"

#include "player/core/ksvplay.h"
#include "service/adviceform.h"
#include "service/core/advice.h"
#include "service/services.h"
#include "widgets/dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>

namespace {

// The dialog with a recording proxy of its own.
class AdviceDialog : public FreshAppDir {
protected:
  // Real boxes and dialogs, played by the test; nothing opens outside.
  PlayedDesktop desktop_;
protected:
  void SetUp() override
  {
    FreshAppDir::SetUp();
    services_.makeAdviceProxy = [this]() -> std::unique_ptr<IUserService> {
      ++made_;
      auto p = std::make_unique<Proxy>(this);
      return p;
    };
  }
  void TearDown() override
  {
    CurrentItem.reset();
    FreshAppDir::TearDown();
  }
  // Forwards to the test's fake, which outlives the dialog.
  struct Proxy : FakeUserService {
    explicit Proxy(AdviceDialog *t) : test(t) {}
    int saveUserAdvice(int userId, const QString &v, const QString &c, const QString &t) override
    {
      return test->fake_.saveUserAdvice(userId, v, c, t);
    }
    AdviceDialog *test;
  };

  std::unique_ptr<TfrmAdvice> Dialog(bool onPlayerPage = false)
  {
    auto d = std::make_unique<TfrmAdvice>(
        &services_, AdviceWindowState{QStringLiteral("版本:1.0.23.15"), onPlayerPage});
    d->show();
    return d;
  }

  UserServices services_;
  FakeUserService fake_;
  int made_ = 0;
};

TEST_F(AdviceDialog, StartsWithGameTypeNoSubTypeAndThePrompt)
{
  auto d = Dialog();
  EXPECT_EQ(made_, 1);
  EXPECT_EQ(d->caption(), QStringLiteral("我要反馈"));
  EXPECT_TRUE(d->RadioButton1->isChecked());
  EXPECT_EQ(d->cbbSubType->count(), 4);
  EXPECT_EQ(d->cbbSubType->itemText(0), QStringLiteral("缺少操作说明"));
  EXPECT_EQ(d->cbbSubType->currentIndex(), -1);
  EXPECT_EQ(d->lblCount->text(), QStringLiteral("200"));
  EXPECT_EQ(d->edtEmail->text(), QStringLiteral("QQ/邮箱"));
  EXPECT_FALSE(d->cbbSubType->isEditable());
  // Another type: its sub-types, none chosen.
  d->cbbSubType->setCurrentIndex(2);
  d->RadioButton3->click();
  EXPECT_EQ(d->cbbSubType->itemText(0), QStringLiteral("意见建议"));
  EXPECT_EQ(d->cbbSubType->currentIndex(), -1);
}

TEST_F(AdviceDialog, CountAndByteLimit)
{
  auto d = Dialog();
  d->edtContent->setPlainText(QStringLiteral("abc"));
  EXPECT_EQ(d->lblCount->text(), QStringLiteral("198"));
  d->edtContent->setPlainText(QString(400, QLatin1Char('a')));
  EXPECT_EQ(d->lblCount->text(), QStringLiteral("0"));
  // Beyond 400 bytes is cut off.
  d->edtContent->setPlainText(QString(150, QChar(0x4E2D)) + QString(120, QChar(0x6587)));
  EXPECT_EQ(d->edtContent->toPlainText().size(), 200);
  EXPECT_EQ(d->lblCount->text(), QStringLiteral("0"));
}

TEST_F(AdviceDialog, ContactPromptEmptiesOnEntryAndReturnsWhenLeftBlank)
{
  auto d = Dialog();
  d->activateWindow();
  d->edtEmailEnter();
  EXPECT_EQ(d->edtEmail->text(), QString());
  d->edtEmail->setText(QStringLiteral("   "));
  d->edtEmailExit();
  EXPECT_EQ(d->edtEmail->text(), QStringLiteral("QQ/邮箱"));
  d->edtEmail->setText(QStringLiteral("12345"));
  d->edtEmailEnter();
  d->edtEmailExit();
  EXPECT_EQ(d->edtEmail->text(), QStringLiteral("12345"));
}

TEST_F(AdviceDialog, SendsThePlayerPageExample)
{
  CurrentItem = MakeKsvPlay(QStringLiteral("1234"), QStringLiteral("070102"),
                            QStringLiteral("小游戏"), QStringLiteral("1"));
  UserId = 0;
  auto d = Dialog(true);
  d->RadioButton2->click();
  d->cbbSubType->setCurrentIndex(1);
  d->edtContent->setPlainText(QStringLiteral("  点开就退出"));
  ScopedDialogRecorder boxes;
  d->limgOkClick();
  EXPECT_EQ(fake_.calls,
            QStringList{QStringLiteral(
                "saveUserAdvice 0|1.0.23.15||[软件问题][程序缺陷][1234]  点开就退出")});
  EXPECT_EQ(boxes.infoTexts(), QStringList{QStringLiteral("感谢您的参与,提交成功!")});
  EXPECT_FALSE(d->isVisible());
}

TEST_F(AdviceDialog, OffThePlayerPageNoItemTagAndTheContactTrimmed)
{
  CurrentItem = MakeKsvPlay(QStringLiteral("1234"), QStringLiteral("070102"),
                            QStringLiteral("小游戏"), QStringLiteral("1"));
  UserId = 25;
  auto d = Dialog(false);
  d->edtContent->setPlainText(QStringLiteral("x"));
  d->edtEmail->setText(QStringLiteral(" 12345@qq.com "));
  ScopedDialogRecorder boxes;
  d->limgOkClick();
  EXPECT_EQ(fake_.calls,
            QStringList{QStringLiteral("saveUserAdvice 25|1.0.23.15|12345@qq.com|[游戏问题]x")});
}

TEST_F(AdviceDialog, RefusalsAndFailuresKeepTheDialogAndItsText)
{
  auto d = Dialog();
  {
    ScopedDialogRecorder boxes;
    d->edtContent->setPlainText(QStringLiteral(" \n "));
    d->limgOkClick();
    EXPECT_EQ(boxes.infoTexts(), QStringList{QStringLiteral("请填写问题描述!")});
    EXPECT_TRUE(fake_.calls.isEmpty());
  }
  d->edtContent->setPlainText(QStringLiteral("坏了"));
  d->edtEmail->setText(QStringLiteral("12345"));
  {
    ScopedDialogRecorder boxes;
    fake_.adviceResult = 0;
    d->limgOkClick();
    EXPECT_EQ(boxes.infoTexts(), QStringList{AdviceFailedMessage()});
  }
  {
    ScopedDialogRecorder boxes;
    fake_.failWith = "connection refused";
    d->limgOkClick();
    EXPECT_EQ(boxes.infoTexts(), QStringList{AdviceServiceErrorMessage()});
  }
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(d->edtContent->toPlainText(), QStringLiteral("坏了"));
  EXPECT_EQ(d->edtEmail->text(), QStringLiteral("12345"));

  // No proxy at all: told the same way, nothing lost.
  UserServices none;
  TfrmAdvice bare(&none, {});
  bare.show();
  bare.edtContent->setPlainText(QStringLiteral("x"));
  ScopedDialogRecorder boxes;
  bare.limgOkClick();
  EXPECT_EQ(boxes.infoTexts(), QStringList{AdviceServiceErrorMessage()});
  EXPECT_TRUE(bare.isVisible());
}

TEST_F(AdviceDialog, SupportLinkOpensSupportUrl)
{
  SupportUrl = QStringLiteral("http://127.0.0.1:5/support.htm");
  auto d = Dialog();
  ScopedDesktopRecorder desktop;
  QTest::mouseClick(d->lblQQOnline, Qt::LeftButton);
  d->lblQQOnlineClick();
  EXPECT_EQ(desktop.opened, QStringList(2, SupportUrl));
}

}  // namespace
