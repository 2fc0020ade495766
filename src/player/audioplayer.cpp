#include "player/audioplayer.h"

#include <QAudioOutput>
#include <QUrl>

TAudioPlayer::TAudioPlayer(const QString &name, QObject *parent) : QObject(parent)
{
  setObjectName(name);
}

QMediaPlayer *TAudioPlayer::player()
{
  if (!m_player) {
    m_player = new QMediaPlayer(this);
    m_player->setObjectName(objectName() + QStringLiteral(".media"));
    m_output = new QAudioOutput(m_player);
    m_player->setAudioOutput(m_output);
  }
  return m_player;
}

bool TAudioPlayer::isPlaying() const
{
  return m_player && m_player->playbackState() == QMediaPlayer::PlayingState;
}

QMediaPlayer::MediaStatus TAudioPlayer::mediaStatus() const
{
  return m_player ? m_player->mediaStatus() : QMediaPlayer::NoMedia;
}

void TAudioPlayer::playFile(const QString &path)
{
  player()->setSource(QUrl::fromLocalFile(path));
  m_player->play();
}

void TAudioPlayer::stop()
{
  if (m_player)
    m_player->stop();
}

void TAudioPlayer::stopAndRewind()
{
  if (!m_player)
    return;
  m_player->stop();
  m_player->setPosition(0);
}
