#pragma once
// Everything the program asks of the desktop goes through one object: the
// skinned modal boxes and dialogs, opening addresses and folders in the
// desktop's own handlers, the folder chooser, and whether a tray exists.
// The program uses the real desktop; a test installs a RecordingDesktop for
// the time it lives and plays the user through it.
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QWidget;
class TfrmWinTemplate;

class IDesktop {
public:
  virtual ~IDesktop() = default;
  // The information box of ShowInfoBox and the question of AskYesNo (true
  // only for OK).
  virtual void InfoBox(const QString &text, QWidget *owner) = 0;
  virtual bool YesNoBox(const QString &text, QWidget *owner) = 0;
  // Runs a dialog modally; returns when it has closed.
  virtual void RunDialog(TfrmWinTemplate *dlg) = 0;
  // Opens a web or mail address, or a folder, with the desktop's handler.
  virtual void OpenUrl(const QUrl &url) = 0;
  // The folder chooser: the picked folder, or an empty text on cancel.
  virtual QString ChooseFolder(const QString &title, const QString &start, QWidget *owner) = 0;
  // Does the desktop offer a tray right now?
  virtual bool TrayAvailable() = 0;
};

// The desktop in force.
IDesktop &Desktop();

// The real desktop: skinned boxes, QDialog::exec, QDesktopServices,
// QFileDialog, QSystemTrayIcon.
class SystemDesktop : public IDesktop {
public:
  void InfoBox(const QString &text, QWidget *owner) override;
  bool YesNoBox(const QString &text, QWidget *owner) override;
  void RunDialog(TfrmWinTemplate *dlg) override;
  void OpenUrl(const QUrl &url) override;
  QString ChooseFolder(const QString &title, const QString &start, QWidget *owner) override;
  bool TrayAvailable() override;
};

// A desktop for tests, in force from its construction to its destruction
// (they nest: the newest one is in force).  No window waits in a nested event
// loop and nothing leaves the process:
// - boxes are recorded and AskYesNo answers from `answers` (front first),
//   then `defaultAnswer`; with `recordBoxes` false the real skinned box is
//   made and handed to `dialogHandler` like any dialog;
// - a dialog is shown without a loop of its own and handed to
//   `dialogHandler`, which plays the user (clicks, typing, closing); a dialog
//   still open afterwards is closed as by its close button;
// - opened addresses are recorded; the folder chooser answers through
//   `folderAnswer` (cancel when unset); the tray is there when `trayAvailable`.
class RecordingDesktop : public SystemDesktop {
public:
  struct Entry {
    enum Kind { Info, YesNo } kind;
    QString text;
  };
  explicit RecordingDesktop(bool defaultAnswer = false);
  ~RecordingDesktop() override;
  RecordingDesktop(const RecordingDesktop &) = delete;
  RecordingDesktop &operator=(const RecordingDesktop &) = delete;

  QList<Entry> entries;
  QList<bool> answers;
  bool defaultAnswer;
  bool recordBoxes = true;
  std::function<void(TfrmWinTemplate *)> dialogHandler;
  QList<QUrl> openedUrls;
  std::function<QString(const QString &title, const QString &start)> folderAnswer;
  bool trayAvailable = true;

  // Texts of the ShowInfoBox calls, in order.
  QStringList infoTexts() const;
  // Texts of the AskYesNo calls, in order.
  QStringList questions() const;

  void InfoBox(const QString &text, QWidget *owner) override;
  bool YesNoBox(const QString &text, QWidget *owner) override;
  void RunDialog(TfrmWinTemplate *dlg) override;
  void OpenUrl(const QUrl &url) override;
  QString ChooseFolder(const QString &title, const QString &start, QWidget *owner) override;
  bool TrayAvailable() override;

private:
  IDesktop *m_previous;
};

// The name the tests have always used for it.
using ScopedDialogRecorder = RecordingDesktop;
