#pragma once
// The update check in the window: the engine's update report, the updater,
// the quit timer, the catalog step and the web service request behind the
// second message channel.
#include "service/core/update.h"

#include <QObject>

class QLineEdit;
class QTimer;
class IEngine;
class IMainWindow;
class BackgroundCalls;
struct UserServices;

class TUpdateCheck : public QObject {
  Q_OBJECT
public:
  // `channel` is edtWsClientLogin, `quitTimer` the window's Timer1 (it ends
  // the program when it fires).
  TUpdateCheck(IEngine *engine, UserServices *services, QLineEdit *channel, QTimer *quitTimer,
               IMainWindow *window, QObject *parent = nullptr);

  // The engine's report (and the web service's answer).
  void HandleVersionInfo(int action, int catalogVersion, int serviceNumber, int updaterVersion);
  // "wsClientLogin" in the channel: the web service request, on a worker;
  // its answer is handled here when it comes.  An answer that itself carries
  // action 1460 asks no further.
  void RequestVersionInfo(int serviceNumber);

  // What the handling does to the world; tests replace members.
  UpdateSeams seams;
  BackgroundCalls *calls() const { return m_calls; }

private:
  UserServices *m_services;
  QLineEdit *m_channel;
  QTimer *m_quitTimer;
  IMainWindow *m_window;
  BackgroundCalls *m_calls;
};
