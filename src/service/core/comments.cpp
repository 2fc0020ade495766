#include "service/core/comments.h"

#include <cmath>

QString CommentAddress(const QString &commentUrl, const QString &itemId, std::int32_t userId)
{
  QString address =
      commentUrl + QStringLiteral("?contentid=") + itemId + QStringLiteral("&userID=");
  if (userId != 0)
    address += QString::number(userId);
  return address;
}

bool SameAddress(const QString &a, const QString &b) { return a.toLower() == b.toLower(); }

bool SystemMsgClock::Tick()
{
  ++*m_ticks;
  return *m_ticks % 360 == 3;
}

bool SystemMsgClock::Answered(bool fullScreen)
{
  if (fullScreen) {
    --*m_ticks;
    return false;
  }
  return true;
}

QList<int> SlideInTops(int workAreaHeight, int height)
{
  // std::nearbyint rounds halves to even in the default rounding mode.
  const int steps = static_cast<int>(std::nearbyint(height / 8.0));
  QList<int> tops;
  int top = workAreaHeight;
  for (int i = 0; i < steps; ++i) {
    top -= 8;
    tops.append(top);
  }
  tops.append(workAreaHeight - height);
  return tops;
}
