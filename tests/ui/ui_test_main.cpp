// One QApplication for every case; the window tests need the offscreen
// platform when no display is set.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // No case may reach the maker's real server: unless a case points the
  // update check at its own loopback server, it meets a refused connection.
  qputenv("LUMAFOLD_UPDATE_URL", "http://127.0.0.1:9/lumafold.dat");
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
