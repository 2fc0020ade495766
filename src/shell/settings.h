#pragma once
// The settings dialog "系统设置": run at system start, what the main window's
// close button does, and the download folder.  Nothing is applied before OK;
// closing the dialog otherwise discards every change.
#include "widgets/wintemplate.h"

#include <QString>
#include <functional>

class QCheckBox;
class QLineEdit;
class QRadioButton;

// What the dialog needs from outside the window shell.
struct SettingsHooks {
  // Is the program registered to run at system start?  Defaults to
  // IsAutorunRegistered() (the session's autostart entry).
  std::function<bool()> isAutorunRegistered;
  // Registers (1) or removes (0) the run at start; the engine library's
  // SetPcRun.  When empty, the run-at-start box cannot be applied.
  std::function<void(int)> setPcRun;
};

class TfrmSettings : public TfrmWinTemplate {
  Q_OBJECT
public:
  explicit TfrmSettings(SettingsHooks hooks, QWidget *owner = nullptr);

  QCheckBox *CheckBox1 = nullptr;           // "开机自动运行"
  int CheckBox1Tag = 0;                     // 1 once the user clicked the box
  QRadioButton *rbtnCloseSystem = nullptr;  // "退出程序"     (CloseMode "1")
  QRadioButton *rbtnHideWin = nullptr;      // "最小化到托盘" (CloseMode "0")
  QLineEdit *edtDownloadDir = nullptr;
  tLxsimage *imgBorwse = nullptr;  // skin "browse"
  tLxsimage *limgOk = nullptr;     // skin "ok"

  void FormCreate();
  void CheckBox1Click();
  void imgBorwseClick();
  // Applies the settings; true when the dialog closed ("设置完成。"), false
  // when the download folder was refused and the dialog stays open.
  bool limgOkClick();

protected:
  void resizeEvent(QResizeEvent *e) override;

private:
  SettingsHooks m_hooks;
  QWidget *m_bottomBar = nullptr;
};

// Opens the settings dialog modally and destroys it when it closes.
void ShowSettings(QWidget *owner, SettingsHooks hooks);

// The shared folder chooser.  `folder` is both the initial selection and the
// result: an initial folder that does not exist is cleared; a picked folder
// is returned (true) with its full path; on cancel the result is false and
// `folder` keeps its (possibly cleared) text.  `root`, when not empty, is
// where the chooser starts.
bool BrowseForFolder(const QString &title, const QString &root, QString &folder,
                     QWidget *owner = nullptr);

// Checks a download folder typed by the user and creates it with every
// missing parent.  The folder must be an absolute path; a path naming a file,
// one that cannot be created, or a folder the user cannot write into is
// refused (false).
bool PrepareDownloadFolder(const QString &folder);
