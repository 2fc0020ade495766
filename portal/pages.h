#pragma once
// The portal's HTML pages (UTF-8).  Game links in them are the client's link
// commands: "ID_" + enciphered id + "_" + name (blanks as %20), several joined
// by ","; "TJID_" + enciphered id + "_" + name + "_" + type + "_" + channel;
// "DL_" + enciphered id + "_" + file name + "_" + type; and "ID_#" when a
// "play the chosen ones" button is pressed with nothing chosen.
#include "model.h"
#include "store.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace portal {

QString IdCommand(const Item &item);
QString TjidCommand(const Item &item);
QString DlCommand(const Item &item);

inline constexpr int kGridRows = 4;       // rows of a game or video page
inline constexpr int kListPageSize = 20;  // entries of an audio page
int ChannelPageSize(const Record &channel, int columns);

QByteArray StartPage(const Model &model, int edition);
QByteArray ChannelPage(const Model &model, const Record &channel, int columns, int page);
QByteArray AdsPage(int edition);
QByteArray AudioPage(int edition);
QByteArray CommentAdsPage(int edition);
QByteArray MiniIndexPage(const QStringList &messages);
QByteArray SupportPage();
QByteArray CommentPage(const Item &item, int userId, const QString &userName,
                       const QList<Comment> &comments, const QHash<int, QString> &names,
                       const QString &notice);
QByteArray ServiceInfoPage(const QString &endpoint);
QByteArray ErrorPage(int status, const QString &message);

}  // namespace portal
