#include "shell/tray.h"

#include "shell/frame.h"
#include "shell/mainwindow.h"
#include "shell/mainwindow_skin.h"
#include "widgets/dialogs.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>

bool TTrayMenu::Available() const { return Desktop().TrayAvailable(); }

TTrayMenu::TTrayMenu(TfrmMain *form) : QObject(form), m_form(form)
{
  m_menu = new QMenu(form);
  m_menu->setObjectName(QStringLiteral("pm_tray"));
  // The first five items show icons 2, 4, 3, 1 and 0 of the tray image list.
  miAbout = m_menu->addAction(TrayMenuIcon(2), QStringLiteral("关于..."));
  miAdvice = m_menu->addAction(TrayMenuIcon(4), QStringLiteral("意见反馈"));
  miRecommend = m_menu->addAction(TrayMenuIcon(3), QStringLiteral("推荐好友"));
  miSettings = m_menu->addAction(TrayMenuIcon(1), QStringLiteral("系统设置"));
  miHomepage = m_menu->addAction(TrayMenuIcon(0), QStringLiteral("官网地址"));
  m_menu->addSeparator();
  miRestore = m_menu->addAction(QStringLiteral("打开Kestrova"));
  m_menu->addSeparator();
  miExit = m_menu->addAction(QStringLiteral("退出系统"));

  connect(miAbout, &QAction::triggered, this, &TTrayMenu::miAboutClick);
  connect(miAdvice, &QAction::triggered, form->frame, &MainFrame::lblAdviceClick);
  connect(miRecommend, &QAction::triggered, this, &TTrayMenu::miRecommendClick);
  connect(miSettings, &QAction::triggered, form->frame, &MainFrame::lblSettingClick);
  connect(miHomepage, &QAction::triggered, this, &TTrayMenu::miHomepageClick);
  connect(miRestore, &QAction::triggered, form->frame, &MainFrame::miRestoreClick);
  connect(miExit, &QAction::triggered, this, &TTrayMenu::miExitClick);
}

TTrayMenu::~TTrayMenu() { RemoveTrayIcon(); }

void TTrayMenu::AddTrayIcon()
{
  if (m_icon)
    return;
  m_icon = new QSystemTrayIcon(ProgramIcon(), this);
  m_icon->setObjectName(QStringLiteral("TrayIcon"));
  m_icon->setToolTip(QStringLiteral("Kestrova游戏"));
  m_icon->setContextMenu(m_menu);
  connect(m_icon, &QSystemTrayIcon::activated, this, &TTrayMenu::TrayActivated);
  m_icon->show();
}

void TTrayMenu::RemoveTrayIcon()
{
  if (!m_icon)
    return;
  m_icon->hide();
  delete m_icon;
  m_icon = nullptr;
}

void TTrayMenu::TrayActivated(QSystemTrayIcon::ActivationReason reason)
{
  // The context menu (right button) is opened by the tray itself.
  if (reason == QSystemTrayIcon::Trigger)
    m_form->frame->miRestoreClick();
}

void TTrayMenu::miAboutClick() { ShowAbout(m_form); }

void TTrayMenu::miRecommendClick()
{
  QGuiApplication::clipboard()->setText(QString::fromLatin1(PortalHomeUrl));
  ShowInfoBox(QStringLiteral("Kestrova官方网址已拷贝,可直接粘贴。"), m_form);
}

void TTrayMenu::miHomepageClick()
{
  Desktop().OpenUrl(QUrl(QString::fromLatin1(PortalHomeUrl)));
}

void TTrayMenu::miExitClick()
{
  if (AskYesNo(TrayExitQuestion, m_form))
    m_form->frame->EndProgram();
}
