#pragma once
// The automation interface: lets an end-to-end test drive the running client
// by real input events on its widgets.  It is off unless the environment
// variable KESTROVA_AUTOMATION names the path of a local socket whose folder
// belongs to this user and is closed to everyone else (mode 0700); without
// it nothing listens.  The variable is removed from the environment once
// read, so no process the client starts inherits it.
//
// Protocol: one JSON object per line in each direction.  Every request has
// "op"; widget requests name their widget with "name" (objectName) and,
// where names repeat, "class" (a class it inherits), "text" (its text or
// title) and "window" (objectName, class or title of its top-level window).
// Each answer has "ok" (and "error" when false).
//   find     geometry (global), visibility, enabled state, text
//   click    mouse click at "x","y" (widget coordinates, default the centre);
//            "part":"viewport" for a list's viewport, "part":"page" for a web
//            view, where x, y are page (CSS) coordinates; "button":"right"
//   type     the characters of "keys" to the focus widget of the widget's
//            window: key strokes, and beyond ASCII an input method's commit
//   key      one key ("key": a key name such as "Return")
//   js       runs "script" in a web view; "result" is its value
//   grab     the widget's pixels as the screen shows them, into "path" (PNG)
//   items    rows of a list or tree: text and rectangle in the viewport
//   windows  the visible top-level windows
//   tray     right click on the tray icon, then a click on the menu item
//            whose text is "text"
// Input is sent after the answer, in the order asked, so a click that opens a
// modal box does not hold up the next request.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWindow>
#include <deque>
#include <functional>

class QLocalServer;
class QLocalSocket;
class QWidget;

class TAutomation : public QObject {
  Q_OBJECT
public:
  // Starts listening when the environment asks for it; null otherwise (also
  // when the socket's folder is not private, which is reported on stderr).
  static TAutomation *StartFromEnvironment(QObject *parent);

  // Is `folder` owned by this user and closed to group and others?
  static bool IsPrivateFolder(const QString &folder);

private:
  TAutomation(QLocalServer *server, QObject *parent);
  void onConnection();
  void onReadyRead(QLocalSocket *socket);
  void handle(QLocalSocket *socket, const QByteArray &line);

  // Input is delivered in the order it was asked for, one piece at a time.
  struct Input {
    QPointer<QWindow> window;
    bool activate = false;
    std::function<void()> deliver;
  };
  void queueInput(QWindow *window, bool activate, std::function<void()> deliver);
  void startNextInput();
  void stepInput(Input input, int waitedMs);

  QLocalServer *m_server;
  std::deque<Input> m_inputs;
  bool m_inputRunning = false;
  quint64 m_lastToken = 0;
  quint64 m_delivering = 0;  // the input being delivered, 0 for none
};
