#pragma once
// The feedback report, free of widgets: problem types and their sub-types,
// the characters-left count, the contact prompt and the text that is sent.
#include <QString>
#include <QStringList>

// The three problem types, in the order of the radio buttons.
enum class AdviceType { Game = 0, Software = 1, Complaint = 2 };

QString AdviceTypeCaption(AdviceType type);   // "游戏问题", ...
QString AdviceTypeTag(AdviceType type);       // "[游戏问题]", ...
QStringList AdviceSubTypes(AdviceType type);  // four each, list order

// The description holds at most this many GBK bytes (200 Chinese characters).
inline constexpr int AdviceMaxBytes = 400;
// 200 - ceil(GBK bytes / 2): one Latin letter already counts as a whole
// character.  Never below 0.
int AdviceCharactersLeft(const QString &description);
// The longest start of `text` that fits in `maxBytes` GBK bytes (a character
// is never cut in half).
QString ClipToGbkBytes(const QString &text, int maxBytes);

// The prompt of the contact box.
inline const QString AdviceContactPrompt = QStringLiteral("QQ/邮箱");
// The contact sent: the box's text trimmed; the prompt itself counts as none.
QString AdviceContact(const QString &boxText);

// The version sent: the version label's caption with the first "版本:"
// removed.
QString AdviceVersion(const QString &versionCaption);

// A description that is empty or blank is refused.
bool IsBlankDescription(const QString &description);

// The subject tags: the type's tag, "[sub-type]" when one is chosen, and
// "[item id]" when the player page shows an item (`itemId` not empty).
QString AdviceTags(AdviceType type, const QString &subType, const QString &itemId);
// The text sent: the tags followed by the description exactly as typed.
QString AdviceText(AdviceType type, const QString &subType, const QString &itemId,
                   const QString &description);

// Messages of the dialog.
inline const QString MsgAdviceEmpty = QStringLiteral("请填写问题描述!");
inline const QString MsgAdviceThanks = QStringLiteral("感谢您的参与,提交成功!");
// "提交失败,请稍后重试!" LF CR "或给我们发邮件:" and the support address.
QString AdviceFailedMessage();
// The call itself failed (no connection, a fault from the service).
QString AdviceServiceErrorMessage();
