#include "shell/lifecycle.h"

#include "base/config.h"
#include "base/globals.h"
#include "base/routines.h"
#include "catalog/channeltree.h"
#include "catalog/listtabs.h"
#include "catalog/portalbrowser.h"
#include "catalog/searchbox.h"
#include "download/downloadarea.h"
#include "lists/playback.h"
#include "net/enginelibrary.h"
#include "player/flashview.h"
#include "player/pagebrowser.h"
#include "service/commentsarea.h"
#include "service/signinarea.h"
#include "service/updatearea.h"
#include "shell/frame.h"
#include "shell/framefilter.h"
#include "shell/mainwindow.h"
#include "shell/tray.h"
#include "widgets/dialogs.h"

#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QThread>
#include <QTimer>

StartupSequence::StartupSequence(TfrmMain *form) : QObject(form), m_form(form)
{
  // The web service sign-in and the update request: the accounts areas add
  // their handlers to these.
  RegisterMessage(MessageChannel::ShowMessage, MsgWsLogin,
                  [this] { step(QStringLiteral("WsLogin")); });
  RegisterMessage(MessageChannel::WsClientLogin, MsgWsClientLogin,
                  [this] { step(QStringLiteral("RequestVersionInfo")); });
}

void StartupSequence::step(const QString &name) { Q_EMIT stepRan(name); }

void StartupSequence::FormCreate()
{
  step(QStringLiteral("FormCreate"));
  // Dates, numbers and sorting follow Chinese (People's Republic of China).
  const QLocale chinese(QLocale::Chinese, QLocale::China);
  if (QLocale().language() != chinese.language() || QLocale().territory() != chinese.territory())
    QLocale::setDefault(chinese);

  CapEngineDataFile();
  step(QStringLiteral("CapEngineDataFile"));
  InitMainWindow();
  DeleteFolderTree(AppDir + QStringLiteral("backup"));
  step(QStringLiteral("DeleteBackup"));

  // The play list is loaded from LastPlayedFile (limit 100) and the cache
  // pruned against it.
  m_form->playback->LoadPlayList();
  step(QStringLiteral("LoadPlayList"));

  // A window about to be shown is painted before the web engine starts:
  // no page opens, and the portal view (which would make its page when
  // shown) stays hidden, until then.
  if (!StartedHidden && TPortalBrowser::PageOnFirstUse) {
    m_heldForPaint = true;
    HoldPageLoads();
    m_form->portal->HoldView();
    // Right after that paint; should none come (a window the window system
    // never exposes), after a moment all the same.
    connect(
        m_form, &TfrmMain::firstPainted, this,
        [this] { QTimer::singleShot(0, this, &StartupSequence::ReleaseAfterFirstPaint); },
        Qt::SingleShotConnection);
    QTimer::singleShot(HoldForPaintAtMostMs, this, &StartupSequence::ReleaseAfterFirstPaint);
  } else {
    TFlashView::SettleProgramHeap();
  }
  if (StartedHidden)
    m_form->SendChannelMessage(MessageChannel::ShowMessage, MsgUiShow);
}

void StartupSequence::InitMainWindow()
{
  step(QStringLiteral("InitMainWindow"));
  // 1. Maximised from the start.
  m_form->frame->limgMaxClick();
  // 2. One more start in local.ini; StartCount keeps the value read.
  IncrementStartCount();
  // 3, 4. The tray icon; the application's minimise hides to the tray (the
  // frame routes every minimise there).
  m_form->tray->AddTrayIcon();
  m_form->filter->install();
  // 5. The search prompt.
  m_form->search->Init();
  // 6, 7. Pages are switched by the program; page 0 of each.
  m_form->ShowCentrePage(0);
  m_form->ShowListPage(0);
  // 8. The recommended view.
  m_form->channels->ShowRecommended();
  m_form->listTabs->SetChannelCaption(QStringLiteral("推荐类"));
  // 9. The engine library.
  m_form->engine()->Initkestrova(ClientVersion);
  step(QStringLiteral("Initkestrova"));
  // 10. The version in the status bar.
  m_form->ShowSysVersion(QStringLiteral("版本:") + GetOwnFileVersion());
  // 11. The hidden audio player (its serial starts at 1).
  m_form->playback->InitAudio();
  step(QStringLiteral("CreateMediaPlayer"));
  // 12. The advertisement panel shows its page only when the address answers.
  // The address is tested off the user-interface thread; the panel stays
  // hidden until its page has loaded.
  CommentAdsUrl = BuildCommentAdsUrl();
  m_form->comments->InitCommentAds();
  m_form->comments->StartSystemMessages();
}

void StartupSequence::FormShow()
{
  if (!StartedHidden)
    m_form->SendChannelMessage(MessageChannel::ShowMessage, MsgUiShow);
}

void StartupSequence::OnFirstShow()
{
  step(QStringLiteral("OnFirstShow"));
  if (m_heldForPaint)
    m_startPageWanted = true;
  else
    m_form->portal->OpenStartPage();
  if (StartCount == 2) {
    // The third start registers the program to run at system start.
    if (IEngine *engine = m_form->engine())
      engine->SetPcRun(1);
    step(QStringLiteral("SetPcRun"));
  } else if (StartCount != 0 && !StartedHidden) {
    m_form->FocusPortalPanel();
    step(QStringLiteral("FocusBrowser"));
  }
  m_form->signIn->StartClientLogin();
  step(QStringLiteral("ClientLogin"));
}

void StartupSequence::ReleaseAfterFirstPaint()
{
  if (!m_heldForPaint || m_destroyed)
    return;
  m_heldForPaint = false;
  m_form->portal->ReleaseView();
  ReleasePageLoads();
  if (m_startPageWanted)
    m_form->portal->OpenStartPage();
  TFlashView::SettleProgramHeap();
}

void StartupSequence::FormDestroy()
{
  if (m_destroyed)
    return;
  m_destroyed = true;
  step(QStringLiteral("FormDestroy"));
  if (m_heldForPaint) {
    // Ended before its first paint: nothing of it opens any more.
    m_heldForPaint = false;
    ReleasePageLoads(false);
  }
  // The hidden audio player is released.
  try {
    m_form->playback->Shutdown();
  } catch (...) {
  }
  // The download window closes and its transfer stops while the engine runs.
  try {
    if (m_form->downloads)
      m_form->downloads->Shutdown();
  } catch (...) {
  }
  try {
    if (IEngine *engine = m_form->engine())
      engine->UnInitkestrova();
    step(QStringLiteral("UnInitkestrova"));
  } catch (...) {
  }
  // A sign-in still under way ends within its time-outs once the engine is
  // down; the process does not end under a running worker.
  m_form->signIn->WaitForWorkers();
  try {
    m_form->tray->RemoveTrayIcon();
  } catch (...) {
  }
}

void StartupSequence::RegisterMessage(MessageChannel channel, const QString &text,
                                      std::function<void()> handler)
{
  m_messages[int(channel)][text].append(std::move(handler));
}

bool StartupSequence::RunMessage(MessageChannel channel, const QString &text)
{
  const auto &table = m_messages[int(channel)];
  auto it = table.constFind(text);
  if (it == table.constEnd())
    return false;
  const QList<std::function<void()>> handlers = it.value();
  for (const std::function<void()> &handler : handlers)
    if (handler)
      handler();
  return true;
}

void StartupSequence::edtShowmessageChange()
{
  const QString text = m_form->edtShowmessage->text();
  if (text.trimmed().isEmpty())
    return;
  if (text == MsgUiShow)
    OnFirstShow();
  else if (!RunMessage(MessageChannel::ShowMessage, text))
    ShowInfoBox(text, m_form);
  m_form->edtShowmessage->clear();
}

void StartupSequence::edtWsClientLoginChange()
{
  const QString text = m_form->edtWsClientLogin->text();
  if (text.trimmed().isEmpty())
    return;
  RunMessage(MessageChannel::WsClientLogin, text);
  m_form->edtWsClientLogin->clear();
}
