#include "service/core/advice.h"

#include "base/gbk.h"

#include <array>

namespace {

struct TypeRow {
  const char *caption;
  std::array<const char *, 4> subTypes;
};

const TypeRow kTypes[3] = {
    {"游戏问题", {"缺少操作说明", "内容不健康", "游戏不好玩", "其他"}},
    {"软件问题", {"速度问题", "程序缺陷", "使用习惯", "其他"}},
    {"投诉意见", {"意见建议", "投诉建议", "请求协助", "其他"}},
};

const TypeRow &Row(AdviceType type) { return kTypes[static_cast<int>(type)]; }

// The maker's support mailbox (also shown by the about box).
constexpr char kSupportMail[] = "support@kestrova.example";

}  // namespace

QString AdviceTypeCaption(AdviceType type) { return QString::fromUtf8(Row(type).caption); }

QString AdviceTypeTag(AdviceType type)
{
  return QLatin1Char('[') + AdviceTypeCaption(type) + QLatin1Char(']');
}

QStringList AdviceSubTypes(AdviceType type)
{
  QStringList out;
  for (const char *s : Row(type).subTypes)
    out.append(QString::fromUtf8(s));
  return out;
}

int AdviceCharactersLeft(const QString &description)
{
  const qsizetype bytes = ToGbk(description).size();
  const qsizetype used = (bytes + 1) / 2;
  return used >= 200 ? 0 : static_cast<int>(200 - used);
}

QString ClipToGbkBytes(const QString &text, int maxBytes)
{
  if (ToGbk(text).size() <= maxBytes)
    return text;
  QString out;
  qsizetype bytes = 0;
  for (qsizetype i = 0; i < text.size();) {
    // A surrogate pair is one character.
    const qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    const QString ch = text.mid(i, len);
    const qsizetype size = ToGbk(ch).size();
    if (bytes + size > maxBytes)
      break;
    out += ch;
    bytes += size;
    i += len;
  }
  return out;
}

QString AdviceContact(const QString &boxText)
{
  const QString contact = boxText.trimmed();
  return contact == AdviceContactPrompt ? QString() : contact;
}

QString AdviceVersion(const QString &versionCaption)
{
  QString version = versionCaption;
  const qsizetype at = version.indexOf(QStringLiteral("版本:"));
  if (at >= 0)
    version.remove(at, 3);
  return version;
}

bool IsBlankDescription(const QString &description) { return description.trimmed().isEmpty(); }

QString AdviceTags(AdviceType type, const QString &subType, const QString &itemId)
{
  QString tags = AdviceTypeTag(type);
  if (!subType.isEmpty())
    tags += QLatin1Char('[') + subType + QLatin1Char(']');
  if (!itemId.isEmpty())
    tags += QLatin1Char('[') + itemId + QLatin1Char(']');
  return tags;
}

QString AdviceText(AdviceType type, const QString &subType, const QString &itemId,
                   const QString &description)
{
  return AdviceTags(type, subType, itemId) + description;
}

QString AdviceFailedMessage()
{
  return QStringLiteral("提交失败,请稍后重试!\n\r或给我们发邮件:") +
         QString::fromLatin1(kSupportMail);
}

QString AdviceServiceErrorMessage()
{
  return QStringLiteral("无法连接服务器,反馈未能提交,请稍后重试!");
}
