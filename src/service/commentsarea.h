#pragma once
// Pages of the portal shown in the client's own windows: the comment window,
// the advertisement panel at the bottom of the left side, and the system
// message pop-up that slides in at the bottom right every six hours.
#include "widgets/wintemplate.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class QTimer;
class QWebEngineView;
class IMainWindow;
class BackgroundCalls;
class TfrmSystemMsg;

// The comment window "评论": the comment page of an item.
class TfrmComment : public TfrmWinTemplate {
  Q_OBJECT
public:
  explicit TfrmComment(const QString &address, QWidget *owner = nullptr);
  QWebEngineView *wbComment = nullptr;
  const QString address;  // the comment address wbComment opened
};

// The pop-up "最新消息": borderless, on top, 350 x 300, below the screen until
// its page has loaded, then sliding up onto the work area.
class TfrmSystemMsg : public QWidget {
  Q_OBJECT
public:
  explicit TfrmSystemMsg(QWidget *parent = nullptr);
  ~TfrmSystemMsg() override;

  QWebEngineView *wbSystemMsg = nullptr;
  tLxsimage *imgClose = nullptr;  // 41 x 15 at the top right, "关闭"
  QTimer *Timer1 = nullptr;       // one hour, then the pop-up closes
  int slideFlag = 0;              // 0 not yet slid in, 1 slid in

  // Below the visible screen, shown, loading MiniIndexUrl without the cache.
  void Offer();
  // A document finished loading: the slide-in, once per offer.
  void wbSystemMsgDocumentComplete(bool ok);
  // The slide-in itself (S + 1 steps, 1 ms apart).
  void SlideIn();
  void imgCloseClick();

  // The work area and the screen the pop-up uses; tests set their own.
  static std::function<QRect()> workArea;
  static std::function<QRect()> screenArea;
  // Test seam: the address the slide test compares with (the page's current
  // address otherwise).
  std::function<QString()> currentAddress;
};

class TComments : public QObject {
  Q_OBJECT
public:
  // `adsSlot` is the advertisement panel pnlCommentAds (with a layout); the
  // system-message timer is the window's TimerSystemMsg.
  TComments(QWidget *adsSlot, QTimer *systemMsgTimer, IMainWindow *window,
            QObject *parent = nullptr);
  ~TComments() override;

  QWebEngineView *wbChat = nullptr;

  // The window's initialisation: the panel stays hidden; the advertisement
  // address is tested off the user-interface thread and, when it answers,
  // wbChat opens it.
  void InitCommentAds();
  // A document of wbChat finished loading.
  void wbChatDocumentComplete(bool ok);

  // The comment button: the comment window for the item on the play page.
  void imgCommentMouseDown();

  // One minute of TimerSystemMsg.
  void TimerSystemMsgTimer();
  // Starts the system-message timer (at the end of the window's start-up).
  void StartSystemMessages();
  TfrmSystemMsg *systemMsg() const { return m_systemMsg; }

  // Address test; UrlAnswers unless a test sets its own.  Runs on a worker.
  std::function<bool(const QString &)> urlAnswers;
  BackgroundCalls *calls() const { return m_calls; }

private:
  void OfferSystemMsg();

  QWidget *m_adsSlot;
  QTimer *m_timer;
  IMainWindow *m_window;
  BackgroundCalls *m_calls;
  QPointer<TfrmSystemMsg> m_systemMsg;
};
