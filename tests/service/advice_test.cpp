#include "servicetest.h"

#include "base/gbk.h"
#include "service/core/advice.h"

namespace {

TEST(AdviceText, PlayerPageExampleAndTheOptionalTags)
{
  struct Case {
    AdviceType type;
    QString subType, itemId, description, sent;
  };
  const Case cases[] = {
      {AdviceType::Software, QStringLiteral("程序缺陷"), QStringLiteral("1234"),
       QStringLiteral("点开就退出"), QStringLiteral("[软件问题][程序缺陷][1234]点开就退出")},
      // No sub-type, off the player page: the type's tag only.
      {AdviceType::Game, {}, {}, QStringLiteral("x"), QStringLiteral("[游戏问题]x")},
      {AdviceType::Complaint,
       QStringLiteral("其他"),
       {},
       QStringLiteral("y"),
       QStringLiteral("[投诉意见][其他]y")},
      {AdviceType::Game,
       {},
       QStringLiteral("77"),
       QStringLiteral("z"),
       QStringLiteral("[游戏问题][77]z")},
      // The description goes as typed: leading and trailing blanks kept.
      {AdviceType::Game,
       {},
       {},
       QStringLiteral("  太难了 \n"),
       QStringLiteral("[游戏问题]  太难了 \n")},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.sent.toStdString());
    EXPECT_EQ(AdviceText(c.type, c.subType, c.itemId, c.description), c.sent);
  }
}

TEST(AdviceText, SubTypesPerType)
{
  EXPECT_EQ(AdviceSubTypes(AdviceType::Game),
            (QStringList{"缺少操作说明", "内容不健康", "游戏不好玩", "其他"}));
  EXPECT_EQ(AdviceSubTypes(AdviceType::Software),
            (QStringList{"速度问题", "程序缺陷", "使用习惯", "其他"}));
  EXPECT_EQ(AdviceSubTypes(AdviceType::Complaint),
            (QStringList{"意见建议", "投诉建议", "请求协助", "其他"}));
}

TEST(AdviceText, CharactersLeftCountsGbkBytesHalvedUpwards)
{
  struct Case {
    QString text;
    int left;
  };
  const Case cases[] = {
      {QString(), 200},
      {QStringLiteral("abc"), 198},  // 3 bytes: 2 characters
      {QStringLiteral("a"), 199},
      {QStringLiteral("ab"), 199},
      {QStringLiteral("中"), 199},
      {QStringLiteral("中a"), 198},
      {QString(400, QLatin1Char('a')), 0},
      {QString(200, QChar(0x4E2D)), 0},     // 200 Chinese characters
      {QString(401, QLatin1Char('a')), 0},  // never negative
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text.size());
    EXPECT_EQ(AdviceCharactersLeft(c.text), c.left);
  }
}

TEST(AdviceText, ClipKeepsWholeCharactersWithinTheByteLimit)
{
  const QString chinese(201, QChar(0x4E2D));
  EXPECT_EQ(ClipToGbkBytes(chinese, AdviceMaxBytes).size(), 200);
  const QString odd = QString(399, QLatin1Char('a')) + QStringLiteral("中");
  EXPECT_EQ(ClipToGbkBytes(odd, AdviceMaxBytes), QString(399, QLatin1Char('a')));
  EXPECT_LE(ToGbk(ClipToGbkBytes(odd, AdviceMaxBytes)).size(), AdviceMaxBytes);
  EXPECT_EQ(ClipToGbkBytes(QStringLiteral("abc"), AdviceMaxBytes), QStringLiteral("abc"));
}

TEST(AdviceText, ContactVersionAndBlankDescription)
{
  EXPECT_EQ(AdviceContact(QStringLiteral("QQ/邮箱")), QString());
  EXPECT_EQ(AdviceContact(QStringLiteral("   ")), QString());
  EXPECT_EQ(AdviceContact(QStringLiteral(" 12345 ")), QStringLiteral("12345"));
  EXPECT_EQ(AdviceContact(QStringLiteral(" QQ/邮箱 ")), QString());
  EXPECT_EQ(AdviceVersion(QStringLiteral("版本:1.0.23.15")), QStringLiteral("1.0.23.15"));
  EXPECT_EQ(AdviceVersion(QStringLiteral("版本:版本:1")), QStringLiteral("版本:1"));
  EXPECT_TRUE(IsBlankDescription(QStringLiteral(" \t\r\n ")));
  EXPECT_TRUE(IsBlankDescription(QString()));
  EXPECT_FALSE(IsBlankDescription(QStringLiteral(" a")));
  EXPECT_EQ(AdviceFailedMessage(),
            QStringLiteral("提交失败,请稍后重试!\n\r或给我们发邮件:support@kestrova.example"));
}

}  // namespace
