#pragma once
// The main window as an area sees it (IMainWindow), for tests and benchmarks
// that build one area without the shell: the pages it is asked to show are
// recorded, everything else does nothing.
#include "widgets/mainwindowport.h"

#include <QList>
#include <QRect>
#include <QWidget>

class StandInWindow : public IMainWindow {
public:
  QWidget widget;
  QWidget exitPanel{&widget};
  QList<int> centrePages;
  int listPage = -1;

  QWidget *mainWidget() override { return &widget; }
  void ShowCentrePage(int page) override { centrePages << page; }
  void ShowListPage(int page) override { listPage = page; }
  QRect MaximizedGeometry() const override { return QRect(0, 0, 1024, 768); }
  QWidget *exitFullScreenPanel() override { return &exitPanel; }
  void addNoContextMenu(QWidget *) override {}
  void EndProgram() override {}
  void OpenSettings() override {}
  void SendChannelMessage(MessageChannel, const QString &) override {}
  void OnChannelMessage(MessageChannel, const QString &, std::function<void()>) override {}
};
