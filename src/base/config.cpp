#include "base/config.h"

#include "base/globals.h"
#include "base/ini.h"
#include "base/pathcase.h"
#include "base/routines.h"
#include "crypto/cipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <optional>

namespace {

const QString Info = QString::fromLatin1(LocalIniSection);

std::optional<std::int32_t> ToInt32(const QString &text)
{
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  return ok ? std::optional<std::int32_t>(value) : std::nullopt;
}

QString WithSlash(QString folder)
{
  if (!folder.isEmpty() && !folder.endsWith(u'/'))
    folder += u'/';
  return folder;
}

// A new local.ini: all twelve keys in order, empty values included.  The
// whole file is written at once so a crash never leaves half of it.
void CreateLocalIni()
{
  QDir().mkpath(QFileInfo(LocalIniFile).path());
  const char *const defaults[][2] = {{"1", "0"}, {"2", "0"},        {"3", "0"},      {"4", ""},
                                     {"5", ""},  {"6", "16783119"}, {"7", "100093"}, {"8", "1"},
                                     {"9", "0"}, {"10", ""},        {"11", "0"},     {"12", ""}};
  QByteArray text = QByteArray("[") + LocalIniSection + "]\r\n";
  for (const auto &kv : defaults)
    text += QByteArray(kv[0]) + '=' + kv[1] + "\r\n";
  QSaveFile file(LocalIniFile);
  if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size())
    file.commit();
}

void CreateFileIfMissing(const QString &path)
{
  if (!QFileInfo::exists(path))
    CreateEmptyFile(path);
}

// An empty folder setting gets the default folder under AppDir, created and
// written back.
void DefaultFolder(QString &folder, const char *subfolder, const char *key)
{
  if (!folder.isEmpty()) {
    folder = WithSlash(folder);
    return;
  }
  folder = AppDir + QLatin1String(subfolder) + u'/';
  QDir().mkpath(folder);
  WriteIniValue(LocalIniFile, Info, QString::fromLatin1(key), folder);
}

void ReadLocalIni()
{
  const IniFile ini = IniFile::Load(LocalIniFile);
  if (!ini.exists())
    return;
  auto value = [&](const char *key, const char *def) {
    return ini.Value(Info, QString::fromLatin1(key), QString::fromLatin1(def));
  };
  // A damaged number ends the reading of the keys after it; the folders are
  // read and set up all the same, or the cache and the downloads would land
  // in whatever the working folder is.
  [&] {
    const std::optional<std::int32_t> startCount = ToInt32(value("1", "0"));
    if (!startCount)
      return;
    StartCount = *startCount;
    RememberPassword = value("2", "0");
    // Key "3" holds nothing the program uses.
    UserName = DecipherText(value("4", ""));
    UserPassword = DecipherText(value("5", ""));
    const std::optional<std::int32_t> clientVersion = ToInt32(value("6", "16783119"));
    if (!clientVersion)
      return;
    ClientVersion = *clientVersion;
    CatalogVersion = value("7", "Channel");
    CloseMode = value("8", "0");
    ListPlayMode = value("9", "0");
  }();
  DownloadDir = value("10", "");
  CacheDir = value("12", "");
  DefaultFolder(DownloadDir, "DL", "10");
  DefaultFolder(CacheDir, "Caches", "12");
}

// False when the file is missing: then nothing after it is read.
bool ReadSourceIni()
{
  const IniFile ini = IniFile::Load(AppDir + QStringLiteral("Config/pvlt_Source.ini"));
  if (!ini.exists()) {
    VarType = 0;
    return false;
  }
  const QString sys = QStringLiteral("sys");
  const struct {
    const char *key, *def;
    std::int32_t *target;
  } keys[] = {{"var_type", "0", &VarType},
              {"ExeUpdate", "1", &ExeUpdateEnabled},
              {"XmlUpdate", "1", &XmlUpdateEnabled}};
  for (const auto &[key, def, target] : keys) {
    const std::optional<std::int32_t> number =
        ToInt32(ini.Value(sys, QString::fromLatin1(key), QString::fromLatin1(def)));
    if (!number) {
      VarType = 0;
      break;
    }
    *target = *number;
  }
  return true;
}

QString MiniIndexFor(const QString &siteUrl)
{
  // The system message page lives at the root of the portal host; the
  // stand-in portal serves it, so the host is taken from the site address.
  const QUrl site(siteUrl.trimmed());
  if (!site.isValid() || site.host().isEmpty())
    return QString();
  const QUrl root = site.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery |
                                  QUrl::RemoveFragment);
  return root.toString() + QStringLiteral("/pvlt_mini_index.html");
}

void ReadPlatformIni()
{
  const IniFile ini = IniFile::Load(AppDir + QStringLiteral("Config/platform.ini"));
  if (!ini.exists())
    return;
  auto value = [&](const char *key) { return ini.Value(Info, QString::fromLatin1(key)); };
  SiteUrl = value("1");
  ResourceBaseUrl = value("2");
  DownloadServerUrl = value("3");
  StartPageUrl = EditionStartPage(value("4"), VarType);
  CommentUrl = value("6");
  UserServiceUrl = value("9");
  Mp3PageUrl = value("10");
  MiniIndexUrl = MiniIndexFor(SiteUrl);
  SupportUrl = value("12");
  DownloadAdsUrl = value("17");
  AdBaseUrl = value("18");
}

}  // namespace

void PreparePaths()
{
  // /proc/self/exe names the executable itself, even when it was started
  // through a link, and needs no application object.
  const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
  PreparePaths(QFileInfo(exe).absolutePath());
}

void PreparePaths(const QString &appDir)
{
  AppDir = WithSlash(QDir::cleanPath(QFileInfo(appDir).absoluteFilePath()));
  HistoryFile = ResolveCase(AppDir + QStringLiteral("Resource/Dat/pvlt_his.dat"));
  LastPlayedFile = ResolveCase(AppDir + QStringLiteral("Resource/Dat/pvlt_last.dat"));
  LocalIniFile = ResolveCase(AppDir + QStringLiteral("Config/local.ini"));
  if (!QFileInfo::exists(LocalIniFile))
    CreateLocalIni();
  QDir().mkpath(QFileInfo(HistoryFile).path());
  CreateFileIfMissing(HistoryFile);
  CreateFileIfMissing(LastPlayedFile);
}

void LoadConfiguration()
{
  ReadLocalIni();
  if (!ReadSourceIni())
    return;
  ReadPlatformIni();
}

void IncrementStartCount()
{
  WriteIniValue(LocalIniFile, Info, QStringLiteral("1"), QString::number(StartCount + 1));
}

QString EngineDataFallbackFile()
{
  // The per-user data folder takes the place of a fixed folder on the
  // system drive.
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/ksvdownload/data.ksv");
}

void CapEngineDataFile()
{
  QString path = ResolveCase(AppDir + QStringLiteral("download/data.ksv"));
  if (!QFileInfo(path).isFile()) {
    path = EngineDataFallbackFile();
    if (!QFileInfo(path).isFile())
      return;
  }
  if (GetFileSize64(path) > static_cast<quint64>(EngineDataFileLimit))
    QFile::remove(path);
}

QString EditionStartPage(const QString &startPage, int varType)
{
  if (varType == 0)
    return startPage;
  // Look only in the path, so a host name holding "index" is left alone.
  qsizetype from = 0;
  const qsizetype scheme = startPage.indexOf(QStringLiteral("://"));
  if (scheme >= 0) {
    from = startPage.indexOf(u'/', scheme + 3);
    if (from < 0)
      return startPage;
  }
  const qsizetype at = startPage.indexOf(QStringLiteral("index"), from, Qt::CaseSensitive);
  if (at < 0)
    return startPage;
  return startPage.left(at) + QStringLiteral("index") + QString::number(varType) +
         QStringLiteral(".htm");
}

QString BuildCommentAdsUrl()
{
  if (AdBaseUrl.isEmpty())
    return QString();
  return AdBaseUrl + QString::number(VarType) + QStringLiteral("/CommentAds_1.html");
}
