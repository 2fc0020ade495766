#include "base/userappdir.h"

#include "base/pathcase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

QString WithSlash(QString folder)
{
  if (!folder.endsWith(u'/'))
    folder += u'/';
  return folder;
}

fs::path ToPath(const QString &path) { return fs::path(QFile::encodeName(path).toStdString()); }

QString FromPath(const fs::path &path) { return QFile::decodeName(path.native().c_str()); }

// Whether anything stands at `path`, a dangling link included.
bool Occupied(const QString &path)
{
  std::error_code ec;
  return fs::symlink_status(ToPath(path), ec).type() != fs::file_type::not_found && !ec;
}

QString Detail(const QString &what, const QString &path, const std::error_code &ec)
{
  return what + QStringLiteral(" ") + path + QStringLiteral(": ") +
         QString::fromLocal8Bit(ec.message().c_str());
}

// A copy that the user may change, put in place whole: a half-copied file
// never stands at `target`.
std::error_code CopyWhole(const QString &source, const QString &target)
{
  std::error_code ec;
  const fs::path part = ToPath(target + QStringLiteral(".part"));
  fs::remove(part, ec);
  if (!fs::copy_file(ToPath(source), part, fs::copy_options::overwrite_existing, ec))
    return ec ? ec : std::make_error_code(std::errc::io_error);
  fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
  if (!ec)
    fs::rename(part, ToPath(target), ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(part, ignored);
  }
  return ec;
}

class Mirror {
public:
  Mirror(const QString &programDir, const QString &userDir)
      : m_program(WithSlash(QDir::cleanPath(programDir))),
        m_user(WithSlash(QDir::cleanPath(userDir)))
  {
  }

  UserAppDirResult Run()
  {
    std::error_code ec;
    fs::create_directories(ToPath(m_user), ec);
    if (ec || !QFileInfo(m_user).isDir()) {
      m_result.error = Detail(QStringLiteral("mkdir"), m_user, ec);
      return m_result;
    }
    if (!QFileInfo(m_program).isDir()) {
      m_result.error = QStringLiteral("no program folder ") + m_program;
      return m_result;
    }
    Add(QString(), QString());
    if (m_result.ok())
      RemoveStaleLinks(m_user);
    return m_result;
  }

private:
  // Mirrors the entries of the program folder's folder `programRel` ("" or
  // ending with '/') into the user's folder `userRel` (the same folder, its
  // name as the user's folder spells it).
  void Add(const QString &programRel, const QString &userRel)
  {
    const QFileInfoList entries =
        QDir(m_program + programRel)
            .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                           QDir::Name);
    for (const QFileInfo &entry : entries) {
      if (!m_result.ok())
        return;
      const QString rel = programRel + entry.fileName();
      const bool isFolder = entry.isDir();
      const UserPart part = UserPartOf(rel, isFolder);
      if (part == UserPart::Skip)
        continue;
      // A user's folder inside the program folder is not mirrored into
      // itself.
      if (isFolder && m_user.startsWith(m_program + rel + u'/'))
        continue;
      const bool descend = isFolder && (part == UserPart::Folder || part == UserPart::Copy);
      // An existing entry is the user's, whatever the case of its name.
      const QString target = ResolveCase(m_user + userRel + entry.fileName());
      if (Occupied(target)) {
        const QFileInfo existing(target);
        if (descend && existing.isDir() && !existing.isSymLink())
          Add(rel + u'/', target.mid(m_user.size()) + u'/');
        continue;
      }
      std::error_code ec;
      switch (part) {
      case UserPart::Link:
      case UserPart::LinkedFolder:
        if (isFolder)
          fs::create_directory_symlink(ToPath(m_program + rel), ToPath(target), ec);
        else
          fs::create_symlink(ToPath(m_program + rel), ToPath(target), ec);
        break;
      case UserPart::Copy:
        if (isFolder)
          fs::create_directory(ToPath(target), ec);
        else
          ec = CopyWhole(m_program + rel, target);
        break;
      case UserPart::Folder:
        fs::create_directory(ToPath(target), ec);
        break;
      case UserPart::Skip:
        break;
      }
      if (ec) {
        m_result.error = Detail(QStringLiteral("make"), target, ec);
        return;
      }
      m_result.added << target.mid(m_user.size());
      if (descend)
        Add(rel + u'/', target.mid(m_user.size()) + u'/');
    }
  }

  // Links into the program folder whose file a newer installation no longer
  // has.  Links elsewhere are the user's own and stay.
  void RemoveStaleLinks(const QString &folder)
  {
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
      const QString path = entry.filePath();
      std::error_code ec;
      const fs::path p = ToPath(path);
      if (fs::is_symlink(fs::symlink_status(p, ec))) {
        const QString linkTarget = FromPath(fs::read_symlink(p, ec));
        if (!ec && linkTarget.startsWith(m_program) && !QFileInfo::exists(linkTarget) &&
            fs::remove(p, ec))
          m_result.removed << path.mid(m_user.size());
      } else if (entry.isDir() && UserPartOf(path.mid(m_user.size()), true) == UserPart::Folder) {
        // Only the mirrored folders hold links; the cache and download
        // folders, which may hold thousands of files, are not walked.
        RemoveStaleLinks(path);
      }
    }
  }

  const QString m_program, m_user;
  UserAppDirResult m_result;
};

bool Under(const QString &lowerPath, const char *folder)
{
  const QString prefix = QLatin1String(folder) + u'/';
  return lowerPath == QLatin1String(folder) || lowerPath.startsWith(prefix);
}

}  // namespace

QString ProgramFolder()
{
  // /proc/self/exe names the executable itself, even when it was started
  // through a link, and needs no application object.
  const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
  return WithSlash(QFileInfo(exe).absolutePath());
}

QString UserDataHome()
{
  const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
    return QDir::cleanPath(xdg);
  return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.local/share"));
}

QString UserAppDirLocation() { return UserDataHome() + QStringLiteral("/kestrova/"); }

bool IsSharedInstallation(const QString &programDir)
{
  const QString dir = WithSlash(programDir);
  if (QFileInfo::exists(dir + InstalledMarkerName))
    return true;
  return ::access(QFile::encodeName(dir).constData(), W_OK) != 0;
}

UserPart UserPartOf(const QString &relativePath, bool isFolder)
{
  const QString p = QDir::cleanPath(relativePath).toLower();
  if (p == InstalledMarkerName || p.endsWith(QStringLiteral(".part")))
    return UserPart::Skip;
  // The backup folder is removed at every start.
  if (Under(p, "backup"))
    return UserPart::Skip;
  // What the client writes: its settings, the lists, the catalog files the
  // update check replaces, the search result page, cache and downloads.
  if (p == QLatin1String("config/local.ini") ||
      p == QLatin1String("resource/html/search/search.html") || Under(p, "resource/dat") ||
      Under(p, "resource/xml") || Under(p, "dl") || Under(p, "caches") || Under(p, "download"))
    return UserPart::Copy;
  // Folders of which the client writes nothing, whose files change names
  // from one version to the next.
  if (isFolder && (p == QLatin1String("ruffle") || p == QLatin1String("portal")))
    return UserPart::LinkedFolder;
  return isFolder ? UserPart::Folder : UserPart::Link;
}

UserAppDirResult PrepareUserAppDir(const QString &programDir, const QString &userDir)
{
  return Mirror(programDir, userDir).Run();
}

QString UserAppDirProblemMessage(const QString &userDir, const QString &detail)
{
  return QStringLiteral("无法建立您的用户文件夹“%1”（%2），设置、列表和下载将无法保存。")
      .arg(QDir::toNativeSeparators(userDir), detail);
}

QString ChooseAppDir(const QString &programDir, const QString &userDir, QString *problem)
{
  if (!IsSharedInstallation(programDir))
    return WithSlash(programDir);
  const UserAppDirResult result = PrepareUserAppDir(programDir, userDir);
  if (!result.ok()) {
    if (problem)
      *problem = UserAppDirProblemMessage(userDir, result.error);
    return WithSlash(programDir);
  }
  return WithSlash(QDir::cleanPath(userDir));
}
