// A second window start with files, as a file manager's "Open with" makes
// it: the real program hands them to this window, which lists them and
// comes to the front.
#include "ui/hand_over.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDialog>
#include <QProcess>

#include "ui/input_list.h"
#include "ui_test_support.h"

namespace lumafold::test {
namespace {

class HandOverTest : public WindowTest {
 protected:
  // The real program started from `folder` as `lumafold --window FILES...`
  // while this process holds the instance guard.
  QProcess* SecondStart(const std::string& folder, const QStringList& files) {
    auto* process = new QProcess(window_.get());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_.path()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(home_.path()));
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(QString::fromStdString(folder));
    process->start(QString::fromUtf8(std::getenv("LUMAFOLD_TEST_BIN")),
                   QStringList{"--window"} + files);
    return process;
  }

  TempFolder runtime_;
};

TEST_F(HandOverTest, FilesOfASecondStartReachTheListAndTheWindowComesToTheFront) {
  const char* program = std::getenv("LUMAFOLD_TEST_BIN");
  if (program == nullptr || !fs::exists(program)) GTEST_SKIP() << "lumafold is not built";
  const std::string lock = runtime_ / "Quorvane Lumafold 2.6.lock";
  const int guard = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(guard, LOCK_EX | LOCK_NB), 0);
  const std::string roll = files_ / "roll one";
  const std::string first = MakeInput(roll + "/a.pcd");
  const std::string inFolder = MakeInput(roll + "/later/b.pcd");
  const std::string third = MakeInput(roll + "/c.pcd");

  ui::MainWindow& window = Open();
  ui::HandOverServer server(ui::HandOverSocketPath(lock), [&window](const QStringList& paths) {
    window.openHandedOver(paths);
  });
  ASSERT_TRUE(server.listening());
  window.showMinimized();
  QCoreApplication::processEvents();

  // Names relative to the second start's folder, a file and a folder.
  QProcess* second = SecondStart(roll, {"a.pcd", "later"});
  QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 20000);
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0) << second->readAllStandardError().toStdString();
  EXPECT_EQ(second->readAllStandardError(), "");
  QTRY_COMPARE(window.inputList().texts(),
               (QStringList{QString::fromStdString(first), QString::fromStdString(inFolder)}));
  EXPECT_FALSE(window.isMinimized());

  // While a dialog is open the list stays as it is; the file comes after.
  QDialog dialog(&window);
  dialog.setModal(true);
  dialog.show();
  QProcess* thirdStart = SecondStart(roll, {"c.pcd"});
  QTRY_VERIFY_WITH_TIMEOUT(thirdStart->state() == QProcess::NotRunning, 20000);
  EXPECT_EQ(thirdStart->exitCode(), 0);
  QTest::qWait(300);
  EXPECT_EQ(window.inputList().count(), 2);
  dialog.close();
  QTRY_COMPARE(window.inputList().count(), 3);
  EXPECT_EQ(window.inputList().texts().last(), QString::fromStdString(third));
  close(guard);
}

}  // namespace
}  // namespace lumafold::test
