#include "catalog/core/categories.h"

QString CategoryCode(int number)
{
  if (number < 1 || number > static_cast<int>(CategoryBar.size()))
    return {};
  return QString::fromLatin1(CategoryBar[number - 1].code);
}

QString ChannelTabPicture(int number, int state)
{
  if (number < 1 || number > static_cast<int>(CategoryBar.size()))
    return {};
  return QString::fromLatin1(CategoryBar[number - 1].tabBase) + QString::number(state);
}
