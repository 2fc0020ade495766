#pragma once
// The process entry: whether this process may run at all, the hidden start,
// the Flash player check, the data module, the main window and the message
// loop; the end of the desktop session (SIGTERM, SIGINT) ends the program
// the same way as the tray menu's exit.
#include <QObject>
#include <QString>
#include <functional>

// Message of a start refused while the updater runs.
inline const QString UpdatingMessage = QStringLiteral("系统正在升级,请稍后再打开。");
// Message of a start refused because the Flash player cannot be created.
inline const QString NoFlashMessage =
    QStringLiteral("您的系统还没有安装对Flash的支持，请安装后重试。");
// Message of a start that could not take the instance lock anywhere.
inline const QString NoInstanceLockMessage =
    QStringLiteral("程序无法在临时文件夹中建立运行标记，无法启动。请检查临时文件夹的权限后重试。");
// The application title (also the tray tip).
inline const QString ApplicationTitle = QStringLiteral("Kestrova游戏");

// The whole process: returns the exit code.
int KestrovaMain(int argc, char **argv);

// The refusals of a start, each with its box: while the updater runs (unless
// `firstArgument` is "update_open"), and when the Flash player cannot be
// created from `appDir`.  True when the start is refused.
bool RefuseWhileUpdating(const QString &firstArgument);
bool RefuseWithoutFlash(const QString &appDir);

class TfrmMain;
// The window at the start of the message loop: shown, or for a hidden start
// ("-start") left in the tray; on a desktop without a tray a hidden start
// shows it minimised, so that it can be found again.
void ShowAtStart(TfrmMain *main);

// Can the Flash player be created?  The player runs Ruffle inside a web view:
// the Ruffle files must stand in `appDir` + "ruffle/" and the web engine's
// helper process must be present; then one player control is created and
// freed again.
bool IsFlashAvailable(const QString &appDir);

// The data module: its creation prepares the paths, creates a missing
// local.ini, reads the configuration and points the web service proxy at its
// address.
class TDataModule1 : public QObject {
  Q_OBJECT
public:
  explicit TDataModule1(QObject *parent = nullptr);
};

// Routes SIGTERM and SIGINT into the Qt event loop: `onSignal` runs on the
// user-interface thread.  Installed once per process.
void InstallSessionEndHandler(QObject *context, std::function<void()> onSignal);
