// Entry point of the logic tests: a GUI application (images and pixmaps need
// one) without widgets, then GoogleTest. Listing the tests needs neither.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  std::unique_ptr<QGuiApplication> app;
  if (!listing) app = std::make_unique<QGuiApplication>(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
