#include "shell/startup.h"

#include "net/enginelibrary.h"
#include "service/core/soapuserservice.h"

#include "base/config.h"
#include "base/globals.h"
#include "base/userappdir.h"
#include "catalog/portalbrowser.h"
#include "net/singleinstance.h"
#include "player/flashview.h"
#include "shell/automation.h"
#include "shell/frame.h"
#include "shell/lifecycle.h"
#include "shell/mainwindow.h"
#include "shell/mainwindow_skin.h"
#include "shell/tray.h"
#include "widgets/dialogs.h"
#include "widgets/wintemplate.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalFds[2] = {-1, -1};

void OnSessionSignal(int)
{
  const char c = 1;
  // Only async-signal-safe work here: wake the event loop.
  [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &c, 1);
}

// The web engine's helper process, without which no web view can show a page.
bool WebEngineHelperPresent()
{
  const QString overridden = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
  if (!overridden.isEmpty())
    return QFileInfo(overridden).isExecutable();
  return !TFlashView::WebEngineHelper().isEmpty();
}

// Prints the moment of the main window's first paint (milliseconds since the
// epoch) when KESTROVA_STARTUP_PROBE is set; the start-up benchmark reads it.
void ReportFirstPaint()
{
  std::printf("first-paint %lld\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
  std::fflush(stdout);
}

}  // namespace

void InstallSessionEndHandler(QObject *context, std::function<void()> onSignal)
{
  if (g_signalFds[0] >= 0)
    return;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0)
    return;
  ::fcntl(g_signalFds[0], F_SETFL, O_NONBLOCK);
  auto *notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context,
                   [onSignal = std::move(onSignal)] {
                     char buf[16];
                     while (::read(g_signalFds[1], buf, sizeof buf) > 0) {
                     }
                     onSignal();
                   });
  struct sigaction sa {};
  sa.sa_handler = OnSessionSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  ::fcntl(g_signalFds[1], F_SETFL, O_NONBLOCK);
}

bool IsFlashAvailable(const QString &appDir)
{
  // The Flash player is Ruffle running in a web view: the runtime's files and
  // the web engine's helper must be there, and one player control must be
  // created and freed again.  Waiting here until the runtime has loaded in
  // that player would add two seconds and more to every start; a runtime
  // that fails later is reported by the player when it loads a movie.
  if (!QFileInfo(appDir + QStringLiteral("ruffle/ruffle.js")).isFile())
    return false;
  if (!WebEngineHelperPresent())
    return false;
  // Only the control: its page, and with it the web engine, is made when
  // the player is first needed.
  delete new TFlashView;
  return true;
}

bool RefuseWhileUpdating(const QString &firstArgument)
{
  if (firstArgument == QLatin1String("update_open") || !IsUpdaterRunning())
    return false;
  ShowInfoBox(UpdatingMessage);
  return true;
}

bool RefuseWithoutFlash(const QString &appDir)
{
  if (IsFlashAvailable(appDir))
    return false;
  ShowInfoBox(NoFlashMessage);
  return true;
}

void ShowAtStart(TfrmMain *main)
{
  if (!StartedHidden)
    main->show();
  else if (!main->tray->Available())
    main->showMinimized();
}

TDataModule1::TDataModule1(QObject *parent) : QObject(parent)
{
  // A portable folder is its own AppDir; an installed program works in the
  // user's folder made from it.
  QString problem;
  PreparePaths(ChooseAppDir(ProgramFolder(), UserAppDirLocation(), &problem));
  LoadConfiguration();
  if (!problem.isEmpty())
    ShowInfoBox(problem);
  // The web service proxies read UserServiceUrl at each call (the main
  // window holds them).
}

int KestrovaMain(int argc, char **argv)
{
  // The web views share one graphics context; this must precede the
  // application object.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  TFlashView::PrepareWebEngine();
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  const QString first = args.size() > 1 ? args.at(1) : QString();

  // 1. No start while the updater runs, unless the updater starts us.
  if (RefuseWhileUpdating(first))
    return 0;

  // 2. One running copy: a later start brings the running copy forward and
  // ends silently.  A lock that cannot be had at all is an error.
  const QString ownName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  SingleInstance instance(ownName);
  switch (instance.Acquire()) {
  case SingleInstance::Lock::Taken:
    break;
  case SingleInstance::Lock::HeldByRunningCopy:
    instance.AskRunningToShow();
    return 0;
  case SingleInstance::Lock::Unusable:
    ShowInfoBox(NoInstanceLockMessage);
    return 1;
  }

  // 3. "-start" (any letter case): hidden in the tray.
  if (!first.isEmpty() && first.toLower() == QLatin1String("-start"))
    StartedHidden = true;

  // 4. The application object.
  QApplication::setQuitOnLastWindowClosed(false);
  QCoreApplication::setApplicationName(QStringLiteral("kestrova"));

  // 5. The Flash player must be creatable.
  if (RefuseWithoutFlash(QCoreApplication::applicationDirPath() + QLatin1Char('/')))
    return 0;

  // 6. The title.
  QGuiApplication::setApplicationDisplayName(ApplicationTitle);
  QGuiApplication::setWindowIcon(ProgramIcon());

  // 7. The data module: paths and configuration.
  TDataModule1 dataModule;

  // 8. The main window and its creation.  The portal view's page, and with
  // it the web engine, waits for the window's first paint.
  TPortalBrowser::PageOnFirstUse = true;
  auto *main = new TfrmMain(
      std::make_unique<EngineLibrary>(AppDir + QLatin1String(EngineLibrary::kFileName)));
  // The web service proxies: the shared one (sign-in, update request) and
  // the feedback dialog's own, which differs only in its content type.  Both
  // call UserServiceUrl as it stands at each call.
  main->setUserService(std::make_unique<TUserService>(), [] {
    TUserService::Options options;
    options.charsetInContentType = true;
    return std::make_unique<TUserService>(options);
  });
  TfrmWinTemplate::SetMainWindow(main);
  // An end-to-end test drives the window when the environment asks for it.
  TAutomation::StartFromEnvironment(main);
  if (qEnvironmentVariableIsSet("KESTROVA_STARTUP_PROBE"))
    QObject::connect(main, &TfrmMain::firstPainted, main, &ReportFirstPaint,
                     Qt::SingleShotConnection);
  QObject::connect(&instance, &SingleInstance::showRequested, main->frame,
                   &MainFrame::miRestoreClick);
  // The end of the desktop session ends the program as the tray's exit does.
  InstallSessionEndHandler(main, [main] { main->frame->EndProgram(); });
  main->life->FormCreate();

  // 9. The message loop; the window shows when it starts unless hidden.
  ShowAtStart(main);
  const int code = main->frame->ending() ? 0 : app.exec();

  TfrmWinTemplate::SetMainWindow(nullptr);
  delete main;
  return code;
}
