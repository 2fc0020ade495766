#pragma once
// Start-up of the configuration: the path globals, the three INI files under
// Config/ beside the executable, and the small start-time chores.  The values
// land in the globals of app/globals.h; later changes are written back key by
// key with WriteIniValue (app/ini.h).
//
//   Config/local.ini        [Info] "1".."12"  user settings, made at first start
//   Config/pvlt_Source.ini  [sys]             edition and update switches
//   Config/platform.ini     [Info]            addresses of the portal services
#include <QString>

inline constexpr char LocalIniSection[] = "Info";

// Sets AppDir (the folder of the running executable, ending in '/'),
// HistoryFile, LastPlayedFile and LocalIniFile; creates Config/local.ini with
// its twelve default keys when it is missing, and Resource/Dat/ with the two
// list files when missing.  Errors are ignored.
void PreparePaths();
// The same with an explicit program folder (tests, tools).
void PreparePaths(const QString &appDir);

// Reads local.ini, then pvlt_Source.ini, then platform.ini into the globals.
//  - local.ini: a key "1" or "6" that is not a number ends its reading there
//    (later keys keep their values, the default folders are not set up).
//    Keys "4"/"5" are deciphered into UserName/UserPassword.  An empty
//    DownloadDir/CacheDir becomes AppDir + "DL/" / "Caches/", is created
//    and written back to keys "10"/"12".
//  - pvlt_Source.ini missing: VarType = 0 and platform.ini is not read at
//    all, so every platform address stays empty.  A value that is not a
//    number sets VarType to 0 and ends that file's reading.
//  - platform.ini: the addresses; for VarType != 0 the start page's
//    "index..." file becomes "index<VarType>.htm"; MiniIndexUrl is formed.
void LoadConfiguration();

// local.ini [Info] "1" = StartCount + 1 (the global keeps the value read).
void IncrementStartCount();

// Deletes the engine's data file when it is larger than 850 MiB
// (891,289,600 bytes).  The file is AppDir + "download/data.ksv" or, when
// that does not exist, EngineDataFallbackFile().
void CapEngineDataFile();
inline constexpr qint64 EngineDataFileLimit = 891289600;
// $XDG_DATA_HOME/ksvdownload/data.ksv (default ~/.local/share/...): the
// per-user place of the engine's data file when the program folder has none.
QString EngineDataFallbackFile();

// The start page for an edition: the text before the first "index" of the
// address's path, then "index" + varType + ".htm".  Edition 0, or an address
// whose path holds no "index", keeps the address as it is.
QString EditionStartPage(const QString &startPage, int varType);

// AdBaseUrl + decimal VarType + "/CommentAds_1.html"; empty while AdBaseUrl
// is empty.  Formed while the main window is initialised.
QString BuildCommentAdsUrl();
