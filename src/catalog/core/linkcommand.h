#pragma once
// Link commands of portal pages.  A page tells the client what to do through
// the address of a link: play these items ("ID_", "TJID_"), nothing chosen
// ("ID_#"), or download this file ("DL_").  This unit reads an address and
// decides; the portal browser carries the decision out.  GUI-free.
//
// Everything here takes page content as untrusted: an item whose deciphered
// id is not a content id (decimal digits) fails and is skipped, and a
// download name that could leave the download folder is refused.
#include "player/core/ksvplay.h"

#include <QList>
#include <QString>
#include <QStringList>

// The messages of the link commands.
namespace LinkMessages {
inline const QString EmptySelection = QStringLiteral("请选取曲目");
inline const QString AddedToList = QStringLiteral("已加入列表");
inline const QString NoDownloadAddress = QStringLiteral("下载地址不存在。");
inline const QString FileExists = QStringLiteral("该文件本机已存在, 是否要打开文件所在文件夹?");
inline const QString QueueFailed =
    QStringLiteral("启动下载界面异常,请稍后重试。\n\r或请“意见反馈”给我们。");
inline const QString ServiceDown =
    QStringLiteral("当前下载服务连接不上,请稍后重试。\n\r或请“意见反馈”给我们。");
inline const QString EmptyPlayList = QStringLiteral("游戏记录为空, 请先选择游戏!");
}  // namespace LinkMessages

enum class LinkKind {
  Ordinary,        // no command: the navigation proceeds
  EmptySelection,  // "ID_#"
  FullList,        // "TJID_" items with id, name, type and channel
  ChannelList,     // "ID_" items of the current channel
  Download,        // "DL_"
};

// Classifies an address by substring tests, letter case ignored, the first
// matching one winning: "ID_#", "ID_" with "TJID_", "ID_", "DL_".
LinkKind ClassifyLink(const QString &address);

// Delimited text: cut at every `separator`; a blank or control character
// (code 0 to 32) also ends a field and those before a field are skipped; a
// field that begins with a double quote runs to the matching closing quote (a
// doubled quote inside stands for one, an unclosed quote runs to the end); a
// separator as the very last character adds one empty field; two separators
// in a row give an empty field between them.
QStringList SplitDelimited(const QString &text, QChar separator);

// The items of a list command (FullList or ChannelList): the payload after
// the first marker (any case), one trailing "," removed, the item separator
// (",TJID_" or ",ID_", exact case) made the split point.  One entry per item
// in order; a null entry stands for an item that failed (too few fields, an
// id that does not decipher to a content id).  "ID_" items take the given
// channel id and type.
QList<TKsvPlayPtr> ParseListCommand(LinkKind kind, const QString &address, const QString &channelId,
                                    const QString &channelType);

// The record of a download command: id, type, name (file name with its
// extension, "%20" kept) and address (the content address).  Null when the
// address holds no "DL_" (exact case), has too few fields, the id is not a
// content id, or the name is empty or could leave its folder.
TKsvPlayPtr ParseDownloadCommand(const QString &address);

// The file name a download is saved under: the record's name with every
// "%20" as a blank.
QString DownloadFileName(const TKsvPlay &record);

// The play list as a list command sees it.
class ILinkPlayList {
public:
  virtual ~ILinkPlayList() = default;
  // Position of the first node with that id as decimal text, "-1" if none.
  virtual QString Find(const QString &id) const = 0;
  // Appends a node for the record (not selected); false when refused.
  virtual bool Append(const TKsvPlayPtr &record) = 0;
  virtual int Count() const = 0;
};

// What the browser does after a list command, in this order: show the play
// page, then select and play the node at `playPosition` (-1: none), then
// show `message` (empty: none).
struct ListCommandOutcome {
  int items = 0;     // items of the command, failed ones included
  int appended = 0;  // records appended to the list
  bool showPlayPage = false;
  int playPosition = -1;
  QString message;
};

// Adds the command's records that are not yet in the list, in order, and
// decides what plays.  Play mode "0": the first item plays (its existing
// node, or the node just appended) once all are added; nothing plays when
// the first item failed.  Any other mode: when the list holds exactly as
// many nodes as the command has items, node 0 plays; otherwise "已加入列表"
// (after the play page is shown for an "ID_" command).
ListCommandOutcome RunListCommand(LinkKind kind, const QList<TKsvPlayPtr> &records,
                                  const QString &listPlayMode, ILinkPlayList &list);

// The address as the browser reports it, with the percent-escapes of
// non-ASCII bytes decoded back to text (UTF-8, or GBK when the bytes are not
// UTF-8).  Escapes of ASCII bytes ("%20", "%23") stay as they are.
QString DecodeNonAsciiEscapes(const QString &address);
