// The web view needs an application object before any test runs.
#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

#include "ruffle_harness.h"

int main(int argc, char **argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (as the build does to register them) needs no display.
  std::unique_ptr<QApplication> app;
  if (!::testing::GTEST_FLAG(list_tests)) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    // Sound may start without a click in the test's page, as in the client.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--autoplay-policy=no-user-gesture-required");
    app = std::make_unique<QApplication>(argc, argv);
  }
  const int result = RUN_ALL_TESTS();
  media_test::ReleaseSharedHarness();
  return result;
}
