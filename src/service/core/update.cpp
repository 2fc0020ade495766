#include "service/core/update.h"

#include "base/globals.h"
#include "base/pathcase.h"
#include "base/routines.h"
#include "net/http.h"
#include "service/core/userservice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <QXmlStreamReader>

namespace {

void SetError(QString *error, const QString &text)
{
  if (error)
    *error = text;
}

bool StartDetached(const QString &program, const QStringList &arguments)
{
  return QProcess::startDetached(program, arguments);
}

// The updater of an action: the full path in AppDir for action 1, the file in
// the current folder for the others; empty when no regular file of exactly
// that name is there.
QString FindUpdater(int action, const UpdateSeams &seams)
{
  QString folder;
  if (action == 1) {
    folder = AppDir;
  } else {
    folder = seams.currentDir.isEmpty() ? QDir::currentPath() + QLatin1Char('/') : seams.currentDir;
  }
  const QFileInfo file(QDir(folder).filePath(UpdaterFileName));
  if (!file.isFile() || file.fileName() != UpdaterFileName)
    return {};
  return file.absoluteFilePath();
}

// Program update; false when the handling stops here.
bool ProgramUpdate(int action, int updaterVersion, const UpdateSeams &seams)
{
  if (action < 1 || action > 4)
    return true;
  if (action == 3 && !(seams.askYesNo && seams.askYesNo(MsgUpdateAsk)))
    return true;
  if (action == 4 && !(seams.askYesNo && seams.askYesNo(MsgUpdateAskBackground)))
    return true;

  const QString updater = FindUpdater(action, seams);
  if (updater.isEmpty()) {
    if (seams.showInfo)
      seams.showInfo(UpdaterMissingMessage());
    if (seams.startQuitTimer)
      seams.startQuitTimer();
    return false;
  }
  const auto start = [&] {
    const QStringList args = UpdaterArguments(action, updaterVersion);
    if (seams.startProgram)
      seams.startProgram(updater, args);
    else
      StartDetached(updater, args);
  };
  switch (action) {
  case 1:
    start();
    return true;
  case 2:
    if (seams.showInfo)
      seams.showInfo(MsgUpdateClosing);
    if (seams.startQuitTimer)
      seams.startQuitTimer();
    start();
    return false;
  case 3:
    if (seams.startQuitTimer)
      seams.startQuitTimer();
    start();
    return false;
  default:  // 4
    start();
    return true;
  }
}

bool Fetch(const UpdateSeams &seams, const QString &address, const QString &destination,
           std::int32_t version)
{
  if (seams.fetchCatalog)
    return seams.fetchCatalog(address, destination, version);
  return FetchCatalog(address, destination, version);
}

QString CatalogAddress(const QString &version)
{
  return ResourceBaseUrl + version + QLatin1Char('/') + CatalogScope + QLatin1Char('/') + version +
         QStringLiteral(".XML");
}

}  // namespace

QStringList UpdaterArguments(int action, int updaterVersion)
{
  static const char *const words[] = {"UPDATE_VERSION_HIDE", "UPDATE_VERSION_SHOW",
                                      "UPDATE_VERSION_NOTE", "UPDATE_VERSION_NOTE_AND_HIDE"};
  if (action < 1 || action > 4)
    return {};
  return {QString::fromLatin1(words[action - 1]), QString::number(updaterVersion)};
}

QString UpdaterMissingMessage()
{
  return QStringLiteral("系统遭破坏,请到官网下载重新安装。\n\r") + SiteUrl;
}

QString CatalogFolder()
{
  QString folder = ResolveCase(AppDir + QStringLiteral("Resource/Xml"));
  return folder + QLatin1Char('/');
}

bool IsCatalogDocument(const QByteArray &document)
{
  QXmlStreamReader reader(document);
  int depth = 0;
  bool root = false;
  bool record = false;
  while (!reader.atEnd()) {
    switch (reader.readNext()) {
    case QXmlStreamReader::StartElement:
      ++depth;
      if (depth == 1) {
        if (root)
          return false;
        root = true;
      } else if (depth == 3 && reader.name() == QLatin1String("id")) {
        record = true;
      }
      break;
    case QXmlStreamReader::EndElement:
      --depth;
      break;
    case QXmlStreamReader::DTD:
      return false;  // catalogs carry no document type (nor its entities)
    default:
      break;
    }
  }
  return !reader.hasError() && root && record;
}

bool FetchCatalogBody(const QString &address, QByteArray *body, QString *error)
{
  const QString lower = address.trimmed().toLower();
  if (lower.startsWith(QStringLiteral("http://")) || lower.startsWith(QStringLiteral("https://"))) {
    const HttpResponse response = HttpGet(address.trimmed());
    if (!response.completed || response.status != 200) {
      SetError(error,
               response.completed
                   ? QStringLiteral("%1 answered with status %2").arg(address).arg(response.status)
                   : QStringLiteral("%1: %2").arg(address, response.error));
      return false;
    }
    *body = response.body;
    return true;
  }
  QFile in(address);
  if (!in.open(QIODevice::ReadOnly)) {
    SetError(error, QStringLiteral("cannot read %1: %2").arg(address, in.errorString()));
    return false;
  }
  *body = in.readAll();
  return true;
}

bool InstallFetchedCatalog(const QByteArray &body, const QString &destination, std::int32_t version,
                           QString *error)
{
  const QString folder = QFileInfo(destination).absolutePath();
  if (!QDir().mkpath(folder)) {
    SetError(error, QStringLiteral("cannot create %1").arg(folder));
    return false;
  }
  // The download is kept apart until it has been checked.
  QTemporaryFile part(folder + QStringLiteral("/catalog-XXXXXX.part"));
  if (!part.open() || part.write(body) != body.size() || !part.flush()) {
    SetError(error, QStringLiteral("cannot write a temporary file in %1").arg(folder));
    return false;
  }
  if (!IsCatalogDocument(body)) {
    SetError(error,
             QStringLiteral("the download for %1 is not a channel catalog").arg(destination));
    return false;
  }
  return InstallCatalogFile(part.fileName(), destination, version, error);
}

bool FetchCatalog(const QString &address, const QString &destination, std::int32_t version,
                  QString *error)
{
  QByteArray body;
  return FetchCatalogBody(address, &body, error) &&
         InstallFetchedCatalog(body, destination, version, error);
}

bool UpdateCatalog(int catalogVersion, const UpdateSeams &seams)
{
  if (!IsIntegerText(CatalogVersion))
    return false;
  const int installed = CatalogVersion.toInt();
  const QString folder = CatalogFolder();
  if (installed >= catalogVersion) {
    const QString path = ResolveCase(folder + CatalogVersion + QStringLiteral(".XML"));
    if (QFileInfo::exists(path))
      return true;
    return Fetch(seams, CatalogAddress(CatalogVersion), path, installed);
  }
  if (XmlUpdateEnabled != 1)
    return true;
  const QString newer = QString::number(catalogVersion);
  if (!Fetch(seams, CatalogAddress(newer), ResolveCase(folder + newer + QStringLiteral(".XML")),
             catalogVersion))
    return false;
  const QString old = ResolveCase(folder + CatalogVersion + QStringLiteral(".xml"));
  if (QFileInfo::exists(old)) {
    const QString fallback = ResolveCase(folder + QStringLiteral("Channel.xml"));
    if (QFileInfo::exists(fallback) && !QFile::remove(fallback))
      return false;
    if (!QFile::rename(old, folder + QStringLiteral("Channel.xml")))
      return false;
  }
  return true;
}

void HandleVersionInfo(int action, int catalogVersion, int serviceNumber, int updaterVersion,
                       const UpdateSeams &seams)
{
  try {
    ServiceNumber = serviceNumber;
    if (ExeUpdateEnabled == 1 && !ProgramUpdate(action, updaterVersion, seams))
      return;
    if (!UpdateCatalog(catalogVersion, seams))
      return;
    if (action == WebServiceAction && seams.requestWebService)
      seams.requestWebService();
  } catch (...) {
  }
}

bool RequestVersionInfo(IUserService *service, int serviceNumber, const UpdateSeams &seams)
{
  if (!service)
    return false;
  TChnlVersioninfo answer;
  try {
    answer = service->clientByVersion(FormatPackedVersion(ClientVersion), serviceNumber);
  } catch (...) {
    return false;
  }
  if (answer.curResult != 1 || !IsIntegerText(answer.upVersionID.trimmed()))
    return false;
  HandleVersionInfo(answer.versionFlag, answer.lastVersionID, serviceNumber,
                    answer.upVersionID.trimmed().toInt(), seams);
  return true;
}
