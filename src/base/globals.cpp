#include "base/globals.h"

QString AppDir, HistoryFile, LastPlayedFile, LocalIniFile, DownloadDir, CacheDir;
std::int32_t StartCount = 0;
QString RememberPassword = QStringLiteral("0");
std::int32_t ClientVersion = 0;
QString CatalogVersion, CloseMode, ListPlayMode;
std::int32_t VarType = 0, ExeUpdateEnabled = 0, XmlUpdateEnabled = 0;
QString SiteUrl, ResourceBaseUrl, DownloadServerUrl, StartPageUrl, CommentUrl, UserServiceUrl,
    Mp3PageUrl, SupportUrl, DownloadAdsUrl, AdBaseUrl, MiniIndexUrl, CommentAdsUrl;
bool StartedHidden = false;
std::int32_t IsMaximized = 0;
std::int32_t IsFullScreen = 0;
Bounds SavedBounds;
bool SignedIn = false;
std::int32_t UserId = 0;
QString UserName, UserPassword;
std::int32_t ServiceNumber = 0;
QString CurrentChannelId, CurrentChannelType;
std::int32_t ActiveCategory = 1;
std::int32_t ActiveListTab = 1;
std::int32_t SystemMsgTicks = 0;
bool PlayStarted = false;
std::array<std::int32_t, 4> TreeLevelCounts{};

void ResetGlobals()
{
  for (QString *s : {&AppDir,
                     &HistoryFile,
                     &LastPlayedFile,
                     &LocalIniFile,
                     &DownloadDir,
                     &CacheDir,
                     &CatalogVersion,
                     &CloseMode,
                     &ListPlayMode,
                     &SiteUrl,
                     &ResourceBaseUrl,
                     &DownloadServerUrl,
                     &StartPageUrl,
                     &CommentUrl,
                     &UserServiceUrl,
                     &Mp3PageUrl,
                     &SupportUrl,
                     &DownloadAdsUrl,
                     &AdBaseUrl,
                     &MiniIndexUrl,
                     &CommentAdsUrl,
                     &UserName,
                     &UserPassword,
                     &CurrentChannelId,
                     &CurrentChannelType})
    s->clear();
  RememberPassword = QStringLiteral("0");
  StartCount = ClientVersion = VarType = ExeUpdateEnabled = XmlUpdateEnabled = 0;
  StartedHidden = SignedIn = PlayStarted = false;
  IsMaximized = IsFullScreen = UserId = ServiceNumber = SystemMsgTicks = 0;
  SavedBounds = Bounds{};
  ActiveCategory = ActiveListTab = 1;
  TreeLevelCounts = {};
}
