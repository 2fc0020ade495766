// Saves the play list over and over, for the crash test (the favorites'
// kill_during_save.sh drives it the same way):
//   listwriter write DIR   writes version A once, prints "ready", then writes
//                          B, A, B ... until it is killed
//   listwriter naive DIR   the same, but each save truncates the file and
//                          writes the new version in place: the baseline that
//                          shows the kills land in the middle of saves
//   listwriter check DIR   exit 0 when DIR's play-list file is exactly
//                          version A or B (GBK, CR LF, header); prints which
#include "savetorture.h"

#include "base/globals.h"
#include "lists/core/playlistfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

// A fixed moment, so that both versions have known bytes.
const QDateTime kWhen(QDate(2024, 5, 1), QTime(9, 30, 0));

// Version A holds 300 items with the 120th selected, B 301 other ones with
// the last selected; both carry Chinese names with spaces.
QByteArray Version(bool b)
{
  std::vector<TKsvPlayPtr> items;
  const int count = b ? 301 : 300;
  for (int i = 1; i <= count; ++i) {
    const QString name =
        (b ? QStringLiteral("新版 接星星 %1") : QStringLiteral("旧版 连连看 %1")).arg(i);
    items.push_back(MakeKsvPlay(QString::number(100000 + i), QStringLiteral("0701"), name,
                                QString::number(i % 3 == 0 ? 4 : 1)));
  }
  return FormatListFile(items, b ? count - 1 : 119, kWhen);
}

QString Which(const QString &path)
{
  QFile f(path);
  if (!f.exists())
    return QStringLiteral("missing");
  if (!f.open(QIODevice::ReadOnly))
    return QStringLiteral("unreadable");
  const QByteArray bytes = f.readAll();
  if (bytes == Version(false))
    return QStringLiteral("A");
  if (bytes == Version(true))
    return QStringLiteral("B");
  return QStringLiteral("damaged (%1 bytes)").arg(bytes.size());
}

// Truncated, then written in pieces in place, as a plain text writer does.
bool NaiveSave(const QByteArray &bytes, const QString &file)
{
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
    return false;
  for (qsizetype at = 0; at < bytes.size(); at += 1024)
    if (f.write(bytes.mid(at, 1024)) < 0)
      return false;
  return true;
}

}  // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  if (argc != 3)
    return 2;
  AppDir = QString::fromLocal8Bit(argv[2]) + u'/';
  const QString file = AppDir + QStringLiteral("Resource/Dat/pvlt_last.dat");
  const bool naive = qstrcmp(argv[1], "naive") == 0;
  if (naive || qstrcmp(argv[1], "write") == 0) {
    QDir().mkpath(QFileInfo(file).path());
    const QByteArray a = Version(false), b = Version(true);
    return SaveInTurnsUntilKilled([&](bool second) {
      const QByteArray &bytes = second ? b : a;
      return naive ? NaiveSave(bytes, file) : WriteFileAtomically(file, bytes);
    });
  }
  if (qstrcmp(argv[1], "check") == 0) {
    const QString which = Which(file);
    std::printf("%s\n", qPrintable(which));
    return which == u"A" || which == u"B" ? 0 : 1;
  }
  return 2;
}
