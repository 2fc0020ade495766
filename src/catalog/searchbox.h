#pragma once
// The search box above the page view: `edtkey` with its prompt and the
// magnifier `imgSearch` beside it.  Enter in the box or a click on the
// magnifier searches the local title database; the result page is shown in
// the portal browser `wbMain`.  When the local search cannot run, the user
// web service is asked for a result page on the portal instead; that call
// runs in a worker thread (bounded by the HTTP client's time-outs) and its
// answer is handled back on the user-interface thread.
//
// The box's text is already Unicode, so the change handler only keeps the
// caret rule of the 8-bit box it replaces: after a change to a text of plain
// ASCII the caret goes to the end; any other text is left alone.
#include <QObject>
#include <QPointer>
#include <QString>

class QLineEdit;
class QThread;
class QWebEngineView;
class QWidget;
class IMainWindow;
class IUserService;
class tLxsimage;

class TSearchBox : public QObject {
  Q_OBJECT
public:
  // Builds edtkey and imgSearch at the end of the slot's box layout (or as
  // plain children when it has none).  `service` null: the shared proxy.
  TSearchBox(QWidget *slot, IMainWindow *window, QWebEngineView *wbMain,
             IUserService *service = nullptr);
  // Waits for a web service call still running (bounded by its time-outs).
  ~TSearchBox() override;

  QLineEdit *edtkey = nullptr;
  tLxsimage *imgSearch = nullptr;

  // Start-up: the prompt in the box.
  void Init();

  void edtkeyEnter();
  void edtkeyExit();
  void edtkeyChange();
  void imgSearchClick();

  // A web service search is under way (further searches wait for it).
  bool busy() const { return m_worker != nullptr; }

Q_SIGNALS:
  // A search ended: a page was opened, or a message shown.
  void searchDone();

protected:
  bool eventFilter(QObject *watched, QEvent *e) override;

private:
  void ShowResultPage(const QString &address);
  void RemoteAnswered(const QString &keyword, bool ok, const QString &answer);

  IMainWindow *m_window;
  QPointer<QWebEngineView> m_wbMain;
  IUserService *m_service;
  QThread *m_worker = nullptr;
};
