#pragma once
// The main window's life cycle, in the fixed order the program relies on:
// creation (FormCreate, InitMainWindow), the first showing (OnFirstShow,
// reached through the message channel "uishow"), and destruction
// (FormDestroy).  Also the change handlers of the two hidden message
// channels edtShowmessage and edtWsClientLogin.
#include "widgets/mainwindowport.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <functional>

class TfrmMain;

// Texts of the message channels.
inline const QString MsgUiShow = QStringLiteral("uishow");
inline const QString MsgWsLogin = QStringLiteral("wslogin");
inline const QString MsgWsClientLogin = QStringLiteral("wsClientLogin");

class StartupSequence : public QObject {
  Q_OBJECT
public:
  explicit StartupSequence(TfrmMain *form);

  // Creation of the main window, in this order: Chinese locale,
  // CapEngineDataFile, InitMainWindow, removal of AppDir/backup, the play
  // list and the cache pruning, and for a hidden start the first-show
  // message at once.  For a start that shows the window (in the program,
  // with TPortalBrowser::PageOnFirstUse), pages are held back until the
  // window's first paint: no web page starts the web engine before it.
  void FormCreate();
  void InitMainWindow();
  // The window is shown for the first time: unless the start was hidden,
  // "uishow" goes into the message channel.
  void FormShow();
  // The "uishow" message: start page, run-at-start on the third start or the
  // focus to the browser panel, the engine sign-in.  When the pages were
  // held back for the window's first paint (FormCreate), the start page
  // opens right after that paint.
  void OnFirstShow();
  static constexpr int HoldForPaintAtMostMs = 1000;
  // Destruction: the audio player, the engine, the tray icon.  Runs once;
  // every step's failure is ignored.
  void FormDestroy();
  bool destroyed() const { return m_destroyed; }

  // Change handlers of the message channels (connected to the boxes): the
  // text's registered handlers run in the order registered, then the box is
  // emptied.  "uishow" runs
  // OnFirstShow; an unregistered text of edtShowmessage is shown in a box.
  void edtShowmessageChange();
  void edtWsClientLoginChange();
  void RegisterMessage(MessageChannel channel, const QString &text, std::function<void()> handler);

Q_SIGNALS:
  // Reported for tests and diagnostics: one line per step that ran, in order
  // ("FormCreate", "InitMainWindow", "OnFirstShow", "FormDestroy", ...).
  void stepRan(const QString &step);

private:
  void step(const QString &name);
  void ReleaseAfterFirstPaint();
  bool RunMessage(MessageChannel channel, const QString &text);

  TfrmMain *m_form;
  bool m_destroyed = false;
  // Pages held back until the window's first paint (a shown start).
  bool m_heldForPaint = false;
  bool m_startPageWanted = false;
  QHash<QString, QList<std::function<void()>>> m_messages[2];
};
