#pragma once
// The tray icon and its menu `pm_tray`.  The icon exists from the main
// window's creation to its destruction; its tip is the application title.
// A left click brings the window back; a right click opens the menu.
#include <QObject>
#include <QSystemTrayIcon>

class QAction;
class QMenu;
class TfrmMain;

class TTrayMenu : public QObject {
  Q_OBJECT
public:
  explicit TTrayMenu(TfrmMain *form);
  ~TTrayMenu() override;

  void AddTrayIcon();
  void RemoveTrayIcon();

  QSystemTrayIcon *icon() const { return m_icon; }

  // Does the desktop offer a tray right now?
  bool Available() const;
  QMenu *pm_tray() const { return m_menu; }

  // Menu items, in menu order (separators between 官网地址 / 打开Kestrova and
  // 打开Kestrova / 退出系统).
  QAction *miAbout = nullptr;      // "关于..."
  QAction *miAdvice = nullptr;     // "意见反馈"
  QAction *miRecommend = nullptr;  // "推荐好友"
  QAction *miSettings = nullptr;   // "系统设置"
  QAction *miHomepage = nullptr;   // "官网地址"
  QAction *miRestore = nullptr;    // "打开Kestrova"
  QAction *miExit = nullptr;       // "退出系统"

  void miAboutClick();
  void miRecommendClick();
  void miHomepageClick();
  void miExitClick();

  // The tray icon's activation: a left click (Trigger) restores the window.
  void TrayActivated(QSystemTrayIcon::ActivationReason reason);

private:
  TfrmMain *m_form;
  QSystemTrayIcon *m_icon = nullptr;
  QMenu *m_menu = nullptr;
};

// The question of the tray menu's exit item ("\n\r": line feed, then
// carriage return).
inline const QString TrayExitQuestion =
    QStringLiteral("最小化到托盘(挂机可优先升级新游戏)\n\r您确定退出吗?");
