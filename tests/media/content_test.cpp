// The item list and the files it names: what the portal serves and the
// client plays must be there, of the right kind, and decodable.
#include <gtest/gtest.h>

#include <QAudioOutput>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QMediaPlayer>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QtEndian>

#include "base/gbk.h"
#include "items.h"

using namespace media_test;

namespace {

const QStringList kRecommended = {"070102", "070106", "070205", "070307", "070308", "070309",
                                  "070401", "070407", "070501", "070507", "070513", "070814"};

QVector<Item> Items()
{
  QString error;
  const QVector<Item> items = LoadItems(ItemsPath(), &error);
  EXPECT_FALSE(items.isEmpty()) << error.toStdString();
  return items;
}

QByteArray ReadMedia(const QString &file)
{
  QFile f(MediaDir() + "/" + file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint32 Big(const QByteArray &b, qsizetype at, int bytes)
{
  quint32 v = 0;
  for (int i = 0; i < bytes; ++i)
    v = (v << 8) | quint8(b[at + i]);
  return v;
}

}  // namespace

TEST(Items, ListIsWellFormedAndCoversTheRecommendedChannels)
{
  const QVector<Item> items = Items();
  ASSERT_GE(items.size(), 30);
  const QHash<QString, QString> ext = {{"1", ".swf"}, {"2", ".mp3"}, {"4", ".flv"}};
  QSet<QString> ids;
  QHash<QString, int> perType, perChannel;
  QHash<QString, QSet<QString>> typesOfChannel;
  bool blankName = false, below128 = false, above128 = false, below256 = false, above256 = false;
  for (const Item &it : items) {
    SCOPED_TRACE(it.id.toStdString());
    EXPECT_TRUE(QRegularExpression("^[1-9][0-9]*$").match(it.id).hasMatch());
    EXPECT_FALSE(ids.contains(it.id)) << "repeated id";
    ids.insert(it.id);
    ASSERT_TRUE(ext.contains(it.type)) << "type " << it.type.toStdString();
    EXPECT_EQ(it.file, it.id + ext[it.type]);
    EXPECT_TRUE(kRecommended.contains(it.channel)) << it.channel.toStdString();
    EXPECT_FALSE(it.name.trimmed().isEmpty());
    EXPECT_EQ(it.name, it.name.trimmed());
    // names go into GBK list files and pages; each must survive the trip
    EXPECT_EQ(FromGbk(ToGbk(it.name)), it.name) << it.name.toStdString();
    ++perType[it.type];
    ++perChannel[it.channel];
    typesOfChannel[it.channel].insert(it.type);
    blankName = blankName || it.name.contains(' ');
    const int id = it.id.toInt();
    below128 = below128 || (id >= 100 && id <= 128);
    above128 = above128 || (id > 128 && id <= 140);
    below256 = below256 || (id >= 250 && id <= 256);
    above256 = above256 || (id > 256 && id <= 270);
  }
  EXPECT_GE(perType["1"], 26);
  EXPECT_GE(perType["2"], 2);
  EXPECT_GE(perType["4"], 2);
  for (const QString &ch : kRecommended)
    EXPECT_GE(perChannel[ch], 2) << ch.toStdString();
  // videos all in one channel, songs all in another, and nothing else there
  for (const QString &type : {QString("2"), QString("4")}) {
    QSet<QString> channels;
    for (const Item &it : items)
      if (it.type == type)
        channels.insert(it.channel);
    ASSERT_EQ(channels.size(), 1) << "type " << type.toStdString();
    EXPECT_EQ(typesOfChannel[*channels.begin()], QSet<QString>{type});
  }
  EXPECT_TRUE(blankName) << "no name with a blank in it";
  EXPECT_TRUE(below128 && above128) << "no ids on both sides of 128";
  EXPECT_TRUE(below256 && above256) << "no ids on both sides of 256";
}

TEST(Items, EveryFileIsBuiltAndOfItsKind)
{
  for (const Item &it : Items()) {
    SCOPED_TRACE(it.file.toStdString());
    const QByteArray b = ReadMedia(it.file);
    ASSERT_GT(b.size(), 1000);
    if (it.type == "1") {
      // a Flash movie (plain or compressed) of version 10
      EXPECT_TRUE(b.startsWith("FWS") || b.startsWith("CWS"));
      EXPECT_EQ(int(quint8(b[3])), 10);
      const quint32 length = qFromLittleEndian<quint32>(b.constData() + 4);  // unpacked length
      if (b.startsWith("FWS"))
        EXPECT_EQ(length, quint32(b.size()));
      else
        EXPECT_GT(length, quint32(b.size()) / 2);
    } else if (it.type == "2") {
      // an MP3 file: an ID3 tag or a frame sync at the start
      EXPECT_TRUE(b.startsWith("ID3") || (quint8(b[0]) == 0xFF && (quint8(b[1]) & 0xE0) == 0xE0));
    }
  }
}

TEST(Items, VideosAreFlvWithH263PictureAndMp3Sound)
{
  // The kind of FLV Ruffle plays through NetStream: Sorenson H.263 (codec 2)
  // and MP3 sound (format 2), with the length in the metadata.
  int videos = 0;
  for (const Item &it : Items()) {
    if (it.type != "4")
      continue;
    ++videos;
    SCOPED_TRACE(it.file.toStdString());
    const QByteArray b = ReadMedia(it.file);
    ASSERT_TRUE(b.startsWith("FLV"));
    EXPECT_EQ(quint8(b[4]) & 0x05, 0x05) << "needs both picture and sound";
    qsizetype at = Big(b, 5, 4) + 4;
    int videoCodec = -1, soundFormat = -1;
    bool metadata = false;
    while (at + 11 < b.size() && (videoCodec < 0 || soundFormat < 0 || !metadata)) {
      const int type = quint8(b[at]);
      const qsizetype size = Big(b, at + 1, 3);
      const QByteArray data = b.mid(at + 11, size);
      if (type == 9 && videoCodec < 0 && !data.isEmpty())
        videoCodec = quint8(data[0]) & 0x0F;
      if (type == 8 && soundFormat < 0 && !data.isEmpty())
        soundFormat = quint8(data[0]) >> 4;
      if (type == 18)
        metadata = data.contains("onMetaData") && data.contains("duration");
      at += 11 + size + 4;
    }
    EXPECT_EQ(videoCodec, 2);
    EXPECT_EQ(soundFormat, 2);
    EXPECT_TRUE(metadata);
  }
  EXPECT_GE(videos, 2);
}

TEST(Items, SongsDecodeWithTheClientsMediaPlayer)
{
  // The client plays songs with QMediaPlayer; it must open them and know
  // their length.
  int argc = 1;
  char name[] = "media_content_test";
  char *argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  int songs = 0;
  for (const Item &it : Items()) {
    if (it.type != "2")
      continue;
    ++songs;
    SCOPED_TRACE(it.file.toStdString());
    QMediaPlayer player;
    QAudioOutput output;
    output.setVolume(0);
    player.setAudioOutput(&output);
    QEventLoop loop;
    QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, &loop,
                     [&](QMediaPlayer::MediaStatus s) {
                       if (s == QMediaPlayer::LoadedMedia || s == QMediaPlayer::InvalidMedia)
                         loop.quit();
                     });
    QObject::connect(&player, &QMediaPlayer::durationChanged, &loop, [&](qint64 d) {
      if (d > 0 && player.mediaStatus() == QMediaPlayer::LoadedMedia)
        loop.quit();
    });
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    player.setSource(QUrl::fromLocalFile(MediaDir() + "/" + it.file));
    loop.exec();
    EXPECT_EQ(player.mediaStatus(), QMediaPlayer::LoadedMedia)
        << player.errorString().toStdString();
    if (player.duration() <= 0) {
      QTimer::singleShot(3000, &loop, &QEventLoop::quit);
      loop.exec();
    }
    EXPECT_GT(player.duration(), 8000);
    EXPECT_LT(player.duration(), 60000);

    // and every frame of it decodes cleanly
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-xerror", "-i", MediaDir() + "/" + it.file,
                            "-f", "null", "-"});
    ASSERT_TRUE(ffmpeg.waitForFinished(30000));
    EXPECT_EQ(ffmpeg.exitCode(), 0);
    EXPECT_EQ(ffmpeg.readAllStandardError().toStdString(), "");
  }
  EXPECT_GE(songs, 2);
}
