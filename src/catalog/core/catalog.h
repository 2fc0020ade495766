#pragma once
// The channel catalog: a local XML file listing the portal's categories and
// channels.  Each child element of the document element is one record, in
// file order; its values are the texts of its child elements "id", "pid",
// "name", "num" and "type" (looked up by exact name; a missing one reads as
// empty text).  Nothing of the file is cached: every read parses it anew.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

// One channel-tree node's record.
struct TC {
  QString id;
  QString name;
  QString pid;
  // Index into the address table of link nodes (type containing "5=");
  // the catalog never sets it.
  std::int32_t linkIndex = -1;
  QString type;
};

// A record chosen by one of the readers, with the text its node shows.
struct CatalogChannel {
  TC record;
  QString text;  // name + "(" + num + ")"
};

// The twelve channels of the recommended view, in no particular order (the
// view follows file order).
inline const QStringList RecommendedChannelIds = {
    QStringLiteral("070102"), QStringLiteral("070106"), QStringLiteral("070205"),
    QStringLiteral("070307"), QStringLiteral("070308"), QStringLiteral("070309"),
    QStringLiteral("070401"), QStringLiteral("070407"), QStringLiteral("070501"),
    QStringLiteral("070507"), QStringLiteral("070513"), QStringLiteral("070814")};

// AppDir + "Resource/xml/" + CatalogVersion + ".xml" when that file exists
// (any letter case of the folders and the name), otherwise
// AppDir + "Resource/xml/Channel.xml" (found the same way).  Checked anew on
// every call.
QString CatalogFilePath();

// The node text: name + "(" + num + ")", no blank between.
QString ChannelNodeText(const QString &name, const QString &num);

// Every record whose "pid" equals `categoryCode` (exact text), in file
// order.  nullopt when the file is missing, unreadable or not well-formed
// XML (the caller's tree then keeps what it shows).
std::optional<std::vector<CatalogChannel>> ReadCategoryChannels(const QString &file,
                                                                const QString &categoryCode);
// Every record whose "id" is one of `ids`, each record once, in file order
// (never in the order of `ids`).  nullopt as above.
std::optional<std::vector<CatalogChannel>> ReadChannelsById(const QString &file,
                                                            const QStringList &ids);

// Whether a category view hides a node with this text: it contains "(0)"
// (an empty channel, or one whose name itself holds "(0)").
bool IsEmptyChannelText(const QString &nodeText);
// Drops every channel whose text contains "(0)", keeping the order.
void RemoveEmptyChannels(std::vector<CatalogChannel> &channels);

// Columns of a listing page for a page panel `panelWidth` pixels wide:
// panelWidth / 150 (whole part), limited to 4..6.
int ChannelPageColumns(int panelWidth);

// The channel's listing page:
//   ResourceBaseUrl + CatalogVersion + "_DL/" + "all" + "/" + path part
//   [+ columns + "/" for types "1" and "4"] + "1.html"
// where the path part of a six-character id "070102" is
// "07/0701/070102/", and empty for any other id.
QString ChannelPageAddress(const TC &channel, int panelWidth);

// Whether a node is a link node (its type contains "5=").  A click on it
// opens its entry of the link table, if any; it never opens a listing page.
bool IsLinkChannel(const TC &channel);
// The link table entry of a link node, or empty text when its index lies
// outside the table (the catalog fills no table, so that is always so today).
QString LinkChannelAddress(const TC &channel, const QStringList &table);
