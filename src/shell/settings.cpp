#include "shell/settings.h"

#include "base/config.h"
#include "base/gbk.h"
#include "base/globals.h"
#include "base/ini.h"
#include "base/routines.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace {

const QString kRefused = QStringLiteral("没有权限创建下载文件夹。");
// local.ini keeps the folder in GBK; a name GBK has no characters for could
// not be kept and would be lost at the next start.
const QString kNotSpellable =
    QStringLiteral("下载文件夹的名称中有无法保存的文字，请换一个文件夹。");

bool GbkCanSpell(const QString &text) { return FromGbk(ToGbk(text)) == text; }

bool WriteInfo(const char *key, const QString &value)
{
  return WriteIniValue(LocalIniFile, QString::fromLatin1(LocalIniSection), QString::fromLatin1(key),
                       value);
}
}  // namespace

TfrmSettings::TfrmSettings(SettingsHooks hooks, QWidget *owner)
    : TfrmWinTemplate(owner, QSize(343, 262)), m_hooks(std::move(hooks))
{
  setCaption(QStringLiteral("系统设置"));
  if (!m_hooks.isAutorunRegistered)
    m_hooks.isAutorunRegistered = [] { return IsAutorunRegistered(); };

  AddText(pnlMain, QStringLiteral("开机设置："), QPoint(8, 8));
  CheckBox1 = new QCheckBox(QStringLiteral("开机自动运行"), pnlMain);
  StyleText(CheckBox1);
  CheckBox1->move(38, 27);
  CheckBox1->adjustSize();
  // Without the engine's switch the box could not be applied: show it
  // greyed instead of accepting a change that would be lost.
  CheckBox1->setEnabled(static_cast<bool>(m_hooks.setPcRun));
  connect(CheckBox1, &QCheckBox::clicked, this, &TfrmSettings::CheckBox1Click);

  AddText(pnlMain, QStringLiteral("关闭主窗口时："), QPoint(8, 59));
  rbtnCloseSystem = new QRadioButton(QStringLiteral("退出程序"), pnlMain);
  rbtnHideWin = new QRadioButton(QStringLiteral("最小化到托盘"), pnlMain);
  for (QRadioButton *rb : {rbtnCloseSystem, rbtnHideWin}) {
    StyleText(rb);
    rb->adjustSize();
  }
  rbtnCloseSystem->move(37, 79);
  rbtnHideWin->move(136, 79);

  AddText(pnlMain, QStringLiteral("本地化文件位置："), QPoint(8, 112));
  edtDownloadDir = new QLineEdit(pnlMain);
  edtDownloadDir->setFont(DialogFont());
  edtDownloadDir->setGeometry(40, 134, 203, 21);
  imgBorwse = AddButton(pnlMain, QStringLiteral("browse"), QRect(246, 133, 42, 21),
                        [this] { imgBorwseClick(); });
  imgBorwse->setToolTip(QStringLiteral("选择你要保存文件的目录"));

  m_bottomBar = new QWidget(pnlMain);
  limgOk = AddButton(m_bottomBar, QStringLiteral("ok"), QRect(119, 7, 80, 26),
                     [this] { limgOkClick(); });

  FormCreate();
  resizeEvent(nullptr);
}

void TfrmSettings::resizeEvent(QResizeEvent *e)
{
  if (e)
    TfrmWinTemplate::resizeEvent(e);
  if (!m_bottomBar)
    return;
  const int w = pnlMain->width();
  // The folder box stretches with the dialog; the browse button keeps its
  // distance to the right edge.
  edtDownloadDir->resize(qMax(40, w - 112), edtDownloadDir->height());
  imgBorwse->move(w - 69, imgBorwse->y());
  m_bottomBar->setGeometry(0, pnlMain->height() - 41, w, 41);
}

void TfrmSettings::FormCreate()
{
  if (CloseMode == QLatin1String("1"))
    rbtnCloseSystem->setChecked(true);
  else
    rbtnHideWin->setChecked(true);
  edtDownloadDir->setText(DownloadDir);
  CheckBox1->setChecked(m_hooks.isAutorunRegistered());
  CheckBox1Tag = 0;
}

void TfrmSettings::CheckBox1Click() { CheckBox1Tag = 1; }

void TfrmSettings::imgBorwseClick()
{
  QString folder;
  if (!BrowseForFolder(QStringLiteral("选择你要保存文件的目录"), QString(), folder, this))
    return;
  if (folder.isEmpty())
    return;
  if (!folder.endsWith(QLatin1Char('/')))
    folder += QLatin1Char('/');
  edtDownloadDir->setText(folder);
}

bool TfrmSettings::limgOkClick()
{
  // The download folder is checked (and created) before anything is
  // applied: a folder that is refused leaves every setting as it was and the
  // dialog open, so the user can correct it or close to discard.
  QString folder = edtDownloadDir->text().trimmed();
  edtDownloadDir->setText(folder);
  bool newFolder = false;
  if (folder != DownloadDir && !folder.isEmpty()) {
    if (!folder.endsWith(QLatin1Char('/'))) {
      folder += QLatin1Char('/');
      edtDownloadDir->setText(folder);
    }
    if (!GbkCanSpell(folder)) {
      ShowInfoBox(kNotSpellable, this);
      return false;
    }
    if (!PrepareDownloadFolder(folder)) {
      ShowInfoBox(kRefused, this);
      return false;
    }
    newFolder = true;
  }

  // Run at start: only when the user changed the box.
  if (CheckBox1Tag == 1 && m_hooks.setPcRun)
    m_hooks.setPcRun(CheckBox1->isChecked() ? 1 : 0);

  // Close behaviour.
  const bool endsProgram = CloseMode == QLatin1String("1");
  if (rbtnCloseSystem->isChecked() != endsProgram) {
    CloseMode = rbtnCloseSystem->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (!WriteInfo("8", CloseMode))
      ShowInfoBox(QStringLiteral("关闭主窗口,设置未生效。"), this);
  }

  // Download folder (a failed write keeps the new folder for this run).
  if (newFolder) {
    WriteInfo("10", folder);
    DownloadDir = folder;
  }

  ShowInfoBox(QStringLiteral("设置完成。"), this);
  close();
  return true;
}

void ShowSettings(QWidget *owner, SettingsHooks hooks)
{
  TfrmWinTemplate::RunModal(new TfrmSettings(std::move(hooks), owner));
}

bool BrowseForFolder(const QString &title, const QString &root, QString &folder, QWidget *owner)
{
  if (!folder.isEmpty() && !QFileInfo(folder).isDir())
    folder.clear();
  const QString start = !folder.isEmpty() ? folder : root;
  QString picked;
  picked = Desktop().ChooseFolder(title, start, owner);
  if (picked.isEmpty())
    return false;
  folder = QDir(picked).absolutePath();
  return true;
}

bool PrepareDownloadFolder(const QString &folder)
{
  if (folder.trimmed().isEmpty() || !QDir::isAbsolutePath(folder))
    return false;
  const QString path = QDir::cleanPath(folder);
  QFileInfo info(path);
  if (info.exists() && !info.isDir())
    return false;
  if (!info.exists() && !QDir().mkpath(path))
    return false;
  info.refresh();
  return info.isDir() && info.isWritable();
}
