// Saves the favorites over and over, for the crash test (kill_during_save.sh):
//   favwriter write DIR   writes version A once, prints "ready", then writes
//                         B, A, B ... until it is killed
//   favwriter naive DIR   the same, but each save renames the file to the
//                         backup and writes the new version in place (no
//                         temporary file): the baseline that shows the kills
//                         land in the middle of saves
//   favwriter check DIR   exit 0 when DIR's favorites file (and its backup,
//                         when there is one) is well-formed and exactly
//                         version A or B; prints which ("A", "B"), or what is
//                         wrong
#include "savetorture.h"

#include "base/globals.h"
#include "lists/core/favoritesfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

// Version A has 400 favorites, B one more and other names; both carry XML's
// special characters and Chinese text.
std::vector<TKsvPlayPtr> Version(bool b)
{
  std::vector<TKsvPlayPtr> items;
  const int count = b ? 401 : 400;
  for (int i = 1; i <= count; ++i) {
    const QString name =
        (b ? QStringLiteral("新版 \"%1\" & <连连看>") : QStringLiteral("旧版 %1 & 'x'")).arg(i);
    items.push_back(MakeKsvPlay(QString::number(100000 + i), QStringLiteral("0701"), name,
                                QString::number(i % 3 == 0 ? 4 : 1)));
  }
  return items;
}

QString Which(const QString &path, bool mustExist)
{
  QFile f(path);
  if (!f.exists())
    return mustExist ? QStringLiteral("missing") : QStringLiteral("none");
  if (!f.open(QIODevice::ReadOnly))
    return QStringLiteral("unreadable");
  const QByteArray bytes = f.readAll();
  if (ParseFavoritesXml(bytes).status != FavoritesRead::Loaded)
    return QStringLiteral("not well-formed");
  if (bytes == FormatFavoritesXml(Version(false)))
    return QStringLiteral("A");
  if (bytes == FormatFavoritesXml(Version(true)))
    return QStringLiteral("B");
  return QStringLiteral("other content");
}

// Backup by renaming, then the new version written in place.
bool NaiveSave(const std::vector<TKsvPlayPtr> &items, const QString &file)
{
  const QString backup = file + QLatin1String(FavoritesBackupSuffix);
  if (QFile::exists(file)) {
    QFile::remove(backup);
    QFile::rename(file, backup);
  }
  QDir().mkpath(QFileInfo(file).absolutePath());
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
    return false;
  const QByteArray bytes = FormatFavoritesXml(items);
  // Written in pieces, as a document writer streams its output.
  for (qsizetype at = 0; at < bytes.size(); at += 4096)
    if (f.write(bytes.mid(at, 4096)) < 0)
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
  const QString file = FavoritesFilePath();
  const bool naive = qstrcmp(argv[1], "naive") == 0;
  if (naive || qstrcmp(argv[1], "write") == 0) {
    const std::vector<TKsvPlayPtr> a = Version(false), b = Version(true);
    return SaveInTurnsUntilKilled([&](bool second) {
      const std::vector<TKsvPlayPtr> &items = second ? b : a;
      return naive ? NaiveSave(items, file) : CreateFavoriteXML(items, file).ok;
    });
  }
  if (qstrcmp(argv[1], "check") == 0) {
    const QString main = Which(file, true);
    const QString backup = Which(file + QLatin1String(FavoritesBackupSuffix), false);
    std::printf("%s %s\n", qPrintable(main), qPrintable(backup));
    const bool good =
        (main == u"A" || main == u"B") && (backup == u"A" || backup == u"B" || backup == u"none");
    return good ? 0 : 1;
  }
  return 2;
}
