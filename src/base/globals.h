#pragma once
// Process-wide settings, paths, addresses and flags.  All live from start to
// exit; the user-interface thread writes them (the engine's callbacks are
// handed to that thread first).  ResetGlobals() puts every one back to its
// initial value, for tests.
#include <QString>
#include <array>
#include <cstdint>

// Paths (folders end with '/').
extern QString AppDir;
extern QString HistoryFile;
extern QString LastPlayedFile;
extern QString LocalIniFile;
extern QString DownloadDir;
extern QString CacheDir;

// local.ini [Info]
extern std::int32_t StartCount;     // "1"
extern QString RememberPassword;    // "2", initially "0"
extern std::int32_t ClientVersion;  // "6"
extern QString CatalogVersion;      // "7"
extern QString CloseMode;           // "8"
extern QString ListPlayMode;        // "9"

// pvlt_Source.ini [sys]
extern std::int32_t VarType;
extern std::int32_t ExeUpdateEnabled;
extern std::int32_t XmlUpdateEnabled;

// platform.ini [Info] and the two formed addresses
extern QString SiteUrl;            // "1"
extern QString ResourceBaseUrl;    // "2"
extern QString DownloadServerUrl;  // "3"
extern QString StartPageUrl;       // "4"
extern QString CommentUrl;         // "6"
extern QString UserServiceUrl;     // "9"
extern QString Mp3PageUrl;         // "10"
extern QString SupportUrl;         // "12"
extern QString DownloadAdsUrl;     // "17"
extern QString AdBaseUrl;          // "18"
extern QString MiniIndexUrl;
extern QString CommentAdsUrl;

// Window and session state
extern bool StartedHidden;
extern std::int32_t IsMaximized;
extern std::int32_t IsFullScreen;
struct Bounds {
  std::int32_t width = 0, height = 0, left = 0, top = 0;
};
extern Bounds SavedBounds;
inline const QString SearchPrompt = QStringLiteral("输入游戏名称搜索");
extern bool SignedIn;
extern std::int32_t UserId;
extern QString UserName;
extern QString UserPassword;
extern std::int32_t ServiceNumber;
inline const QString CatalogScope = QStringLiteral("all");
extern QString CurrentChannelId;
extern QString CurrentChannelType;
extern std::int32_t ActiveCategory;  // initially 1
extern std::int32_t ActiveListTab;   // initially 1
extern std::int32_t SystemMsgTicks;
extern bool PlayStarted;
extern std::array<std::int32_t, 4> TreeLevelCounts;

void ResetGlobals();
