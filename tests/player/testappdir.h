#pragma once
// A fresh program folder for one test: AppDir, CacheDir, DownloadDir and
// LastPlayedFile point into a temporary folder, the Flash runtime is copied
// into AppDir/ruffle/ (the player serves nothing from outside its folders),
// and media files can be placed where a test needs them.
#include "waitfor.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

class TestAppDir {
public:
  explicit TestAppDir(bool withRuffle = true);
  ~TestAppDir();

  bool isValid() const { return m_ok; }
  QString path() const { return m_dir.path() + u'/'; }

  // Copies a file to AppDir + relative path, creating folders.
  bool put(const QString &source, const QString &relative);
  // Writes bytes to AppDir + relative path, creating folders.
  bool write(const QString &relative, const QByteArray &bytes);

  // Folders of the source and build trees (from the test environment).
  static QString SourceDir();
  static QString BuildDir();
  // The test movie (tests/player/fixtures/Paint.hx, built by the build).
  static QString PaintMovie();
  // The portal's built media folder, or empty text when it is not built.
  static QString MediaDir();

private:
  QTemporaryDir m_dir;
  bool m_ok = false;
};

// Share of the pixels of `rect` whose colour is within `tolerance` of `rgb`.
double ShareOfColour(const QImage &img, const QRect &rect, QRgb rgb, int tolerance = 40);
