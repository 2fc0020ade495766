#include "lists/core/trimlist.h"

#include <optional>
#include <utility>

namespace {

bool HasSelection(const TrimList &list)
{
  return list.selected >= 0 && list.selected < static_cast<int>(list.items.size());
}

TrimStep Refused(TrimOutcome outcome)
{
  TrimStep step;
  step.outcome = outcome;
  return step;
}

// The checks shared by both moves.
std::optional<TrimOutcome> MoveRefusal(const TrimList &list)
{
  if (list.items.empty())
    return TrimOutcome::EmptyList;
  if (!HasSelection(list))
    return TrimOutcome::NoSelection;
  return std::nullopt;
}

TrimStep Move(TrimList &list, int from, int to)
{
  std::swap(list.items[from], list.items[to]);
  list.selected = to;
  list.modified = 1;
  TrimStep step;
  step.from = from;
  step.to = to;
  return step;
}

}  // namespace

TrimStep TrimDelete(TrimList &list)
{
  if (!HasSelection(list))
    return Refused(TrimOutcome::NothingSelected);
  const int index = list.selected;
  list.items.erase(list.items.begin() + index);
  list.selected = index < static_cast<int>(list.items.size()) ? index : -1;
  list.modified = 1;
  TrimStep step;
  step.from = index;
  step.removed = true;
  return step;
}

TrimStep TrimMoveUp(TrimList &list)
{
  if (const auto refusal = MoveRefusal(list))
    return Refused(*refusal);
  if (list.selected == 0)
    return Refused(TrimOutcome::AlreadyFirst);
  return Move(list, list.selected, list.selected - 1);
}

TrimStep TrimMoveDown(TrimList &list)
{
  if (const auto refusal = MoveRefusal(list))
    return Refused(*refusal);
  const int last = static_cast<int>(list.items.size()) - 1;
  if (list.selected == last)
    return Refused(TrimOutcome::AlreadyLast);
  // The second-to-last entry likewise becomes the last and stays selected.
  return Move(list, list.selected, list.selected + 1);
}

QString TrimMessage(TrimOutcome outcome)
{
  switch (outcome) {
  case TrimOutcome::EmptyList:
    return QStringLiteral("列表为空不能移动");
  case TrimOutcome::NoSelection:
    return QStringLiteral("没有选中的节目");
  case TrimOutcome::AlreadyFirst:
    return QStringLiteral("已经是第一行");
  case TrimOutcome::AlreadyLast:
    return QStringLiteral("已经是最后一行");
  case TrimOutcome::Done:
  case TrimOutcome::NothingSelected:
    break;
  }
  return QString();
}
