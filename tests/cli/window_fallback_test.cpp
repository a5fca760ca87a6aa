// Parameters that name no input leave the batch alone: start-up opens the
// window instead, and an offscreen window waits for its user until the time
// limit ends it. Nothing is prepared or converted meanwhile.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_binary.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;

void ExpectNoBatch(const std::vector<std::string>& arguments, const std::string& work) {
  auto environment = testing::IsolatedEnvironment(work);
  environment["QT_QPA_PLATFORM"] = "offscreen";
  const auto run = testing::Run(testing::LumafoldBinary(), arguments, work, environment, 3);
  // Still running when killed: a batch (or a program that does nothing)
  // would have ended with a status of its own.
  EXPECT_EQ(run.status, -1) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.find("Error: "), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(work + "/in/a.bmp"));
}

TEST(WindowFallback, SingleDashInputWithEqualsIsNoInput) {
  testing::ScratchFolder work("lumafold-window");
  fs::create_directories(work.path() + "/in");
  fs::copy_file(testing::SamplesFolder() + "/kodim01.pcd", work.path() + "/in/a.pcd");
  ExpectNoBatch({"-i=" + work.path() + "/in/"}, work.path());
}

TEST(WindowFallback, OutputFolderAloneIsNoInput) {
  testing::ScratchFolder work("lumafold-window");
  fs::create_directories(work.path() + "/in");
  fs::copy_file(testing::SamplesFolder() + "/kodim01.pcd", work.path() + "/in/a.pcd");
  ExpectNoBatch({"-o", work.path() + "/in/", "--jpg-quality=5"}, work.path());
}

}  // namespace
}  // namespace lumafold
