#pragma once
// What an area of the main window may ask of the window as a whole.  The main
// window (the shell) implements it; each area is given it with its slot, so
// no area needs the main window's own header.
#include <QRect>
#include <QString>
#include <functional>

class QWidget;

// The window's two hidden one-line boxes that carry messages onto the
// user-interface thread: writing a text into one runs its handler at once.
enum class MessageChannel {
  ShowMessage,    // edtShowmessage: "uishow", "wslogin", or a text to show
  WsClientLogin,  // edtWsClientLogin: "wsClientLogin"
};

class IMainWindow {
public:
  virtual ~IMainWindow() = default;
  // The main window itself (parent of the area's pop-ups, full screen).
  virtual QWidget *mainWidget() = 0;
  // Page 0 (the portal page) or page 1 (the play page) of the centre.
  virtual void ShowCentrePage(int page) = 0;
  // Page 0 (channels), 1 (play list) or 2 (favorites) of the left panel.
  virtual void ShowListPage(int page) = 0;
  // The geometry of the window when maximised.
  virtual QRect MaximizedGeometry() const = 0;
  // The hidden 40 x 30 panel that leaves full screen.
  virtual QWidget *exitFullScreenPanel() = 0;
  // Keeps the context menu off a control (the input filter).
  virtual void addNoContextMenu(QWidget *w) = 0;
  // Ends the program (the tray menu's exit).
  virtual void EndProgram() = 0;
  // Opens the settings dialog.
  virtual void OpenSettings() = 0;
  // Writes `text` into a message channel (any thread's caller must hand it to
  // the user-interface thread first).
  virtual void SendChannelMessage(MessageChannel channel, const QString &text) = 0;
  // Registers what a text of a channel does; an area registers its own.  A
  // text of the show-message channel that nobody registered is shown in an
  // information box.
  virtual void OnChannelMessage(MessageChannel channel, const QString &text,
                                std::function<void()> handler) = 0;
};
