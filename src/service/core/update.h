#pragma once
// The update check, free of widgets: what an update report (from the engine
// or from the web service) asks for, the updater's command line, and the
// catalog step that keeps the channel catalog current.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class IUserService;

// The updater's file name; only a file of exactly this name is started.
inline const QString UpdaterFileName = QStringLiteral("KsvUpdate.exe");
// The action code that makes the client ask the web service instead.
inline constexpr int WebServiceAction = 1460;

// The updater's arguments for actions 1-4: the action's word, then the
// decimal updater version ("UPDATE_VERSION_HIDE", "7").  Empty for any
// other action.
QStringList UpdaterArguments(int action, int updaterVersion);

inline const QString MsgUpdateClosing = QStringLiteral("系统需要升级,将临时关闭。");
inline const QString MsgUpdateAsk = QStringLiteral("系统有更新,是否希望升级?");
inline const QString MsgUpdateAskBackground = QStringLiteral("系统有更新,是否希望在后台升级?");
// "系统遭破坏,请到官网下载重新安装。" LF CR and the portal site's address.
QString UpdaterMissingMessage();

// What the handling may do to the world; the window fills them in, tests
// record.  Unset members: startProgram starts the file detached (no shell),
// fetchCatalog is FetchCatalog below, currentDir is the process's current
// folder; the others do nothing (askYesNo answers no).
struct UpdateSeams {
  std::function<void(const QString &)> showInfo;
  std::function<bool(const QString &)> askYesNo;
  std::function<void()> startQuitTimer;  // Timer1 on: the program ends shortly
  std::function<bool(const QString &program, const QStringList &arguments)> startProgram;
  // "wsClientLogin" into the second message channel.
  std::function<void()> requestWebService;
  std::function<bool(const QString &address, const QString &destination, std::int32_t version)>
      fetchCatalog;
  QString currentDir;  // folder ending in '/', or empty
};

// Acts on an update report: stores the service number, the program update
// (when ExeUpdateEnabled is 1), the catalog step, and for action 1460 the
// web service request.  Any failure ends the handling silently where it
// happens.
void HandleVersionInfo(int action, int catalogVersion, int serviceNumber, int updaterVersion,
                       const UpdateSeams &seams);

// The catalog step for catalog version C against CatalogVersion (L):
//  L >= C: the file of version L is fetched only when it is missing;
//  L <  C and XmlUpdateEnabled 1: the catalog of version C is fetched (and
//         recorded in local.ini [Info] "7"), then the file of version L
//         becomes Channel.xml;
//  L <  C otherwise: nothing.
// False when the handling is to stop here (L not a number, a fetch failed).
bool UpdateCatalog(int catalogVersion, const UpdateSeams &seams);

// Fetches a catalog (an http(s) address, or a local file) to a temporary file
// beside `destination`, checks that it reads as a catalog, and only then
// puts it in place and records `version` as local.ini [Info] "7".  A broken
// download leaves the installed catalog and the recorded version as they
// were.
bool FetchCatalog(const QString &address, const QString &destination, std::int32_t version,
                  QString *error = nullptr);
// The two halves of FetchCatalog: the download (blocking, no globals
// touched, so it may run on a worker thread) and the check and installation.
bool FetchCatalogBody(const QString &address, QByteArray *body, QString *error = nullptr);
bool InstallFetchedCatalog(const QByteArray &body, const QString &destination, std::int32_t version,
                           QString *error = nullptr);
// Whether a document reads as a channel catalog: well-formed XML whose
// document element holds at least one record with an "id".
bool IsCatalogDocument(const QByteArray &document);

// Folder of the catalog files (AppDir + "Resource/Xml/", whatever its case
// on disk), ending in '/'.
QString CatalogFolder();

// clientByVersion with the client's version text and the service number; a
// valid answer (curResult 1) goes to HandleVersionInfo.  A missing service,
// an error of the call or an updater version that is not a number changes
// nothing.  True when an answer was handled.
bool RequestVersionInfo(IUserService *service, int serviceNumber, const UpdateSeams &seams);
