// The main of the test programs that need one application object (web
// views, the media player, windows): the web engine's shared graphics
// context and its settings come before it, as in the client.  Listing the
// tests needs no application.  Without a display they run offscreen.
#include "player/flashview.h"

#include <QApplication>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char **argv)
{
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  TFlashView::PrepareWebEngine();
  std::unique_ptr<QApplication> app;
  if (!listing) {
    app = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
