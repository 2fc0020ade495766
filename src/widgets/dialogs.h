#pragma once
// The shared message boxes and the small dialogs of the shell.  Every
// user-facing message goes through ShowInfoBox, every question through
// AskYesNo.  All of them are modal: the caller continues once the box has
// closed; the box is destroyed when it closes.
#include <QList>
#include <QString>
#include <QStringList>

// Tests replace the desktop (boxes included) through widgets/desktop.h.
#include "widgets/desktop.h"

class QWidget;

// Information box "Kestrova提示" with the text and an OK button.
void ShowInfoBox(const QString &text, QWidget *owner = nullptr);

// Yes/no box "Kestrova提示".  True only when the user pressed OK; cancel and
// the title bar's close button give false.
bool AskYesNo(const QString &text, QWidget *owner = nullptr);

// The close confirmation shown by the main window's close button on the very
// first run.  Confirming with the tray choice also stores CloseMode "0"
// (local.ini [Info] "8").
enum class CloseSystemChoice {
  Cancelled,  // cancel button or the title bar's close button
  ToTray,     // "最小化到托盘(挂机可优先升级新游戏)" confirmed
  Exit,       // "关闭Kestrova游戏" confirmed
};
CloseSystemChoice ShowCloseSystem(QWidget *owner = nullptr);

// The about box ("关于").
void ShowAbout(QWidget *owner = nullptr);

// Company name and support address shown by the about box.
inline constexpr const char *KestrovaCompanyName = "Kestrova 互动娱乐工作室";
inline constexpr const char *KestrovaSupportMail = "support@kestrova.example";
