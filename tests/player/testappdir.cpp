#include "testappdir.h"

#include "base/globals.h"
#include "player/core/ksvplay.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <functional>

TestAppDir::TestAppDir(bool withRuffle)
{
  ResetGlobals();
  ResetPlaybackState();
  if (!m_dir.isValid())
    return;
  AppDir = path();
  CacheDir = AppDir + "Caches/";
  DownloadDir = AppDir + "DL/";
  LastPlayedFile = AppDir + "Resource/Dat/pvlt_last.dat";
  HistoryFile = AppDir + "Resource/Dat/pvlt_his.dat";
  QDir().mkpath(CacheDir);
  QDir().mkpath(DownloadDir);
  QDir().mkpath(AppDir + "Resource/Dat");
  m_ok = write("Resource/Dat/pvlt_last.dat", QByteArray());
  if (withRuffle) {
    const QString ruffle = SourceDir() + "/node_modules/@ruffle-rs/ruffle";
    QDirIterator it(ruffle, {"*.js", "*.wasm"}, QDir::Files);
    int copied = 0;
    while (it.hasNext()) {
      it.next();
      copied += put(it.filePath(), "ruffle/" + it.fileName()) ? 1 : 0;
    }
    m_ok = m_ok && copied >= 3;
  }
}

TestAppDir::~TestAppDir()
{
  ResetPlaybackState();
  ResetGlobals();
}

bool TestAppDir::put(const QString &source, const QString &relative)
{
  const QString target = path() + relative;
  QDir().mkpath(QFileInfo(target).absolutePath());
  QFile::remove(target);
  return QFile::copy(source, target);
}

bool TestAppDir::write(const QString &relative, const QByteArray &bytes)
{
  const QString target = path() + relative;
  QDir().mkpath(QFileInfo(target).absolutePath());
  QFile f(target);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString TestAppDir::SourceDir()
{
  const QString env = qEnvironmentVariable("KESTROVA_SOURCE_DIR");
  return env.isEmpty() ? QStringLiteral(KESTROVA_TEST_SOURCE_DIR) : env;
}

QString TestAppDir::BuildDir()
{
  const QString env = qEnvironmentVariable("KESTROVA_BUILD_DIR");
  return env.isEmpty() ? QStringLiteral(KESTROVA_TEST_BUILD_DIR) : env;
}

QString TestAppDir::PaintMovie() { return QStringLiteral(KESTROVA_PAINT_SWF); }

QString TestAppDir::MediaDir()
{
  const QString dir = BuildDir() + "/portal/media";
  return QFileInfo(dir + "/flvplayer.swf").isFile() ? dir : QString();
}

double ShareOfColour(const QImage &img, const QRect &rect, QRgb rgb, int tolerance)
{
  const QRect r = rect.intersected(img.rect());
  if (r.isEmpty())
    return 0;
  long hits = 0;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) {
      const QRgb p = img.pixel(x, y);
      if (std::abs(qRed(p) - qRed(rgb)) <= tolerance &&
          std::abs(qGreen(p) - qGreen(rgb)) <= tolerance &&
          std::abs(qBlue(p) - qBlue(rgb)) <= tolerance)
        ++hits;
    }
  }
  return double(hits) / (double(r.width()) * r.height());
}
