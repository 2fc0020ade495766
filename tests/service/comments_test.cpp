#include "servicetest.h"

#include "service/core/comments.h"

namespace {

TEST(CommentAddress, UserNumberOnlyWhenSignedIn)
{
  const QString base = QStringLiteral("http://h/ksvComment/userComment.do");
  EXPECT_EQ(CommentAddress(base, QStringLiteral("1234"), 0),
            QStringLiteral("http://h/ksvComment/userComment.do?contentid=1234&userID="));
  EXPECT_EQ(CommentAddress(base, QStringLiteral("1234"), 25),
            QStringLiteral("http://h/ksvComment/userComment.do?contentid=1234&userID=25"));
  EXPECT_TRUE(SameAddress(QStringLiteral("HTTP://H/Ad/0/CommentAds_1.html"),
                          QStringLiteral("http://h/ad/0/commentads_1.html")));
  EXPECT_FALSE(SameAddress(QStringLiteral("http://h/a"), QStringLiteral("http://h/b")));
}

// Minute by minute from the start: offers at minutes 3, 363, 723; the
// address test is asked for only then.
TEST(SystemMsgTimer, OffersAtTheThirdMinuteThenEverySixHours)
{
  std::int32_t ticks = 0;
  SystemMsgClock clock(&ticks);
  QList<int> offers;
  for (int minute = 1; minute <= 800; ++minute) {
    if (clock.Tick() && clock.Answered(false))
      offers.append(minute);
  }
  EXPECT_EQ(offers, (QList<int>{3, 363, 723}));
  EXPECT_EQ(ticks, 800);
}

// Full screen at the offer holds it a minute at a time; the cycle then goes on
// from the minute it was shown.
TEST(SystemMsgTimer, FullScreenHoldsTheOfferUntilItEnds)
{
  std::int32_t ticks = 0;
  SystemMsgClock clock(&ticks);
  QList<int> offers, holds;
  for (int minute = 1; minute <= 380; ++minute) {
    const bool fullScreen = minute >= 3 && minute <= 6;
    if (!clock.Tick())
      continue;
    if (clock.Answered(fullScreen))
      offers.append(minute);
    else
      holds.append(minute);
  }
  EXPECT_EQ(holds, (QList<int>{3, 4, 5, 6}));
  EXPECT_EQ(offers, (QList<int>{7, 367}));
}

// An address that does not answer skips the offer: the next is 360 minutes
// later.
TEST(SystemMsgTimer, UnansweredOfferWaitsForTheNextCycle)
{
  std::int32_t ticks = 0;
  SystemMsgClock clock(&ticks);
  QList<int> due;
  for (int minute = 1; minute <= 400; ++minute) {
    if (clock.Tick())
      due.append(minute);  // nothing answered: Answered() is not called
  }
  EXPECT_EQ(due, (QList<int>{3, 363}));
}

TEST(SystemMsgSlide, StepsEndExactlyOnTheWorkAreaEdge)
{
  const QList<int> tops = SlideInTops(760, 300);
  ASSERT_EQ(tops.size(), 39);  // S = 38, steps 0..38
  EXPECT_EQ(tops.first(), 752);
  EXPECT_EQ(tops.at(37), 760 - 38 * 8);  // 456: 4 pixels above the end
  EXPECT_EQ(tops.last(), 460);
  // Halves round to even: 20/8 = 2.5 -> 2, 28/8 = 3.5 -> 4.
  EXPECT_EQ(SlideInTops(100, 20).size(), 3);
  EXPECT_EQ(SlideInTops(100, 28).size(), 5);
}

}  // namespace
