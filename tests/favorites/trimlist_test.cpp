// The organiser's commands on its copy of a list: delete, up and down with
// their refusals, and the modified mark.
#include "lists/core/trimlist.h"

#include <gtest/gtest.h>

namespace {

TrimList Make(int count, int selected)
{
  TrimList list;
  for (int i = 0; i < count; ++i)
    list.items.push_back(MakeKsvPlay(QString::number(i + 1), "7", "n", "1"));
  list.selected = selected;
  return list;
}

QString Order(const TrimList &list)
{
  QString s;
  for (const auto &item : list.items)
    s += item->id;
  return s;
}

TEST(TrimList, Moves)
{
  enum Dir { Up, Down };
  const struct {
    Dir dir;
    int count, selected;
    TrimOutcome outcome;
    const char *order;  // afterwards
    int selectedAfter;
  } cases[] = {
      {Up, 4, 2, TrimOutcome::Done, "1324", 1},
      {Up, 4, 1, TrimOutcome::Done, "2134", 0},
      {Up, 4, 0, TrimOutcome::AlreadyFirst, "1234", 0},
      {Up, 0, -1, TrimOutcome::EmptyList, "", -1},
      {Up, 3, -1, TrimOutcome::NoSelection, "123", -1},
      {Up, 3, 7, TrimOutcome::NoSelection, "123", 7},
      {Down, 4, 0, TrimOutcome::Done, "2134", 1},
      {Down, 4, 1, TrimOutcome::Done, "1324", 2},
      // Second to last: it becomes the last and stays selected.
      {Down, 4, 2, TrimOutcome::Done, "1243", 3},
      {Down, 2, 0, TrimOutcome::Done, "21", 1},
      {Down, 4, 3, TrimOutcome::AlreadyLast, "1234", 3},
      {Down, 1, 0, TrimOutcome::AlreadyLast, "1", 0},
      {Down, 0, -1, TrimOutcome::EmptyList, "", -1},
      {Down, 3, -1, TrimOutcome::NoSelection, "123", -1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message()
                 << (c.dir == Up ? "up " : "down ") << c.count << " " << c.selected);
    TrimList list = Make(c.count, c.selected);
    const TrimStep step = c.dir == Up ? TrimMoveUp(list) : TrimMoveDown(list);
    EXPECT_EQ(step.outcome, c.outcome);
    EXPECT_EQ(Order(list), QString::fromLatin1(c.order));
    EXPECT_EQ(list.selected, c.selectedAfter);
    const bool done = c.outcome == TrimOutcome::Done;
    EXPECT_EQ(list.modified, done ? 1 : 0);
    if (done) {
      EXPECT_EQ(step.from, c.selected);
      EXPECT_EQ(step.to, c.selectedAfter);
      EXPECT_FALSE(step.removed);
    }
  }
}

TEST(TrimList, DeleteSelectsTheEntryThatFollowed)
{
  const struct {
    int count, selected;
    const char *order;
    int selectedAfter;
    int modified;
  } cases[] = {
      {4, 1, "134", 1, 1},  {4, 0, "234", 0, 1},
      {4, 3, "123", -1, 1},                         // the last one: no selection afterwards
      {1, 0, "", -1, 1},    {3, -1, "123", -1, 0},  // nothing selected: nothing happens
      {0, -1, "", -1, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " " << c.selected);
    TrimList list = Make(c.count, c.selected);
    const TrimStep step = TrimDelete(list);
    EXPECT_EQ(Order(list), QString::fromLatin1(c.order));
    EXPECT_EQ(list.selected, c.selectedAfter);
    EXPECT_EQ(list.modified, c.modified);
    EXPECT_EQ(step.removed, c.modified == 1);
    EXPECT_EQ(step.outcome, c.modified ? TrimOutcome::Done : TrimOutcome::NothingSelected);
    EXPECT_TRUE(TrimMessage(step.outcome).isEmpty());
  }
  // The mark stays once set, whatever follows.
  TrimList list = Make(3, 0);
  TrimDelete(list);
  TrimMoveUp(list);
  EXPECT_EQ(list.modified, 1);
}

TEST(TrimList, Messages)
{
  EXPECT_EQ(TrimMessage(TrimOutcome::EmptyList), QStringLiteral("列表为空不能移动"));
  EXPECT_EQ(TrimMessage(TrimOutcome::NoSelection), QStringLiteral("没有选中的节目"));
  EXPECT_EQ(TrimMessage(TrimOutcome::AlreadyFirst), QStringLiteral("已经是第一行"));
  EXPECT_EQ(TrimMessage(TrimOutcome::AlreadyLast), QStringLiteral("已经是最后一行"));
}

}  // namespace
