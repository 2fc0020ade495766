#include "widgets/desktop.h"

#include "widgets/wintemplate.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QPointer>
#include <QSystemTrayIcon>

namespace {
IDesktop *g_desktop = nullptr;
}  // namespace

IDesktop &Desktop()
{
  static SystemDesktop system;
  return g_desktop ? *g_desktop : system;
}

// The boxes themselves are made in dialogs.cpp.
void SystemDesktop::RunDialog(TfrmWinTemplate *dlg) { dlg->exec(); }

void SystemDesktop::OpenUrl(const QUrl &url) { QDesktopServices::openUrl(url); }

QString SystemDesktop::ChooseFolder(const QString &title, const QString &start, QWidget *owner)
{
  return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
}

bool SystemDesktop::TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

RecordingDesktop::RecordingDesktop(bool answer) : defaultAnswer(answer), m_previous(g_desktop)
{
  g_desktop = this;
}

RecordingDesktop::~RecordingDesktop() { g_desktop = m_previous; }

QStringList RecordingDesktop::infoTexts() const
{
  QStringList out;
  for (const Entry &e : entries)
    if (e.kind == Entry::Info)
      out << e.text;
  return out;
}

QStringList RecordingDesktop::questions() const
{
  QStringList out;
  for (const Entry &e : entries)
    if (e.kind == Entry::YesNo)
      out << e.text;
  return out;
}

void RecordingDesktop::InfoBox(const QString &text, QWidget *owner)
{
  if (!recordBoxes) {
    SystemDesktop::InfoBox(text, owner);
    return;
  }
  entries.append({Entry::Info, text});
}

bool RecordingDesktop::YesNoBox(const QString &text, QWidget *owner)
{
  if (!recordBoxes)
    return SystemDesktop::YesNoBox(text, owner);
  entries.append({Entry::YesNo, text});
  if (!answers.isEmpty())
    return answers.takeFirst();
  return defaultAnswer;
}

void RecordingDesktop::RunDialog(TfrmWinTemplate *dlg)
{
  QPointer<TfrmWinTemplate> guard(dlg);
  dlg->setModal(true);
  dlg->show();
  if (dialogHandler)
    dialogHandler(dlg);
  if (guard && dlg->isVisible())
    dlg->close();
}

void RecordingDesktop::OpenUrl(const QUrl &url) { openedUrls.append(url); }

QString RecordingDesktop::ChooseFolder(const QString &title, const QString &start, QWidget *)
{
  return folderAnswer ? folderAnswer(title, start) : QString();
}

bool RecordingDesktop::TrayAvailable() { return trayAvailable; }
