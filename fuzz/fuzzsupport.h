#pragma once
// Small helpers shared by the fuzz targets: a hard check that stops the run
// (libFuzzer then keeps the input), and a scratch file for readers that take
// a path.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace fuzz {

inline void Check(bool ok, const char *what)
{
  if (!ok) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}

// A folder of this process, made once: in memory where the system has such
// a folder (writers that sync their files to disk stay fast there), else
// under the temporary folder.
inline const QString &ScratchDir()
{
  struct Dir {
    QString path = QDir::tempPath() + QStringLiteral("/kestrova-fuzz-%1/").arg(qint64(::getpid()));
    Dir() { QDir().mkpath(path); }
    ~Dir() { QDir(path).removeRecursively(); }
  };
  static const Dir dir;
  return dir.path;
}

// Writes `bytes` to `name` in the scratch folder and gives back its path.
inline QString ScratchFile(const QString &name, const QByteArray &bytes)
{
  const QString path = ScratchDir() + name;
  QFile file(path);
  Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opens");
  Check(file.write(bytes) == bytes.size(), "scratch file is written");
  return path;
}

inline QByteArray FileBytes(const QString &path)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll();
}

}  // namespace fuzz

#define FUZZ_CHECK(cond) ::fuzz::Check((cond), #cond)
