// The skin and dialog tests need an application object (widgets, fonts);
// listing the tests does not.
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
  std::unique_ptr<QApplication> app;
  if (!listing)
    app = std::make_unique<QApplication>(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
