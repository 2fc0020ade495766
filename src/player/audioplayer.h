#pragma once
// The hidden audio player of the play page, named "FrameMP" + serial.  The
// media back end behind it (QMediaPlayer and its audio output) is started
// only when the first song plays: starting it costs the program's start-up
// more than half a second, for a player most sessions never use.
#include <QMediaPlayer>
#include <QObject>
#include <QString>

class QAudioOutput;

class TAudioPlayer : public QObject {
  Q_OBJECT
public:
  explicit TAudioPlayer(const QString &name, QObject *parent = nullptr);

  // The media player, made on first call.
  QMediaPlayer *player();
  // Whether a media player exists yet.
  bool started() const { return m_player != nullptr; }

  bool isPlaying() const;
  QMediaPlayer::MediaStatus mediaStatus() const;
  // Opens the file and starts playing it.
  void playFile(const QString &path);
  void stop();
  // Stops and rewinds to the start.
  void stopAndRewind();

private:
  QMediaPlayer *m_player = nullptr;
  QAudioOutput *m_output = nullptr;
};
