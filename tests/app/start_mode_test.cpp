// Which face the first parameter chooses.
#include <gtest/gtest.h>

#include "app/startup.h"

namespace lumafold {
namespace {

TEST(StartMode, FirstParameterDecides) {
  struct Case {
    std::vector<std::string> parameters;
    StartMode mode;
  };
  const Case cases[] = {
      {{}, StartMode::kWindow},
      {{"-h"}, StartMode::kHelp},
      {{"-H"}, StartMode::kHelp},
      {{"-?"}, StartMode::kHelp},
      {{"--help"}, StartMode::kHelp},
      {{"--HeLp"}, StartMode::kHelp},
      {{"--help=x"}, StartMode::kHelp},
      {{" -h "}, StartMode::kHelp},
      {{"-v"}, StartMode::kVersion},
      {{"-V", "-p"}, StartMode::kVersion},
      {{"--version"}, StartMode::kVersion},
      {{"--VERSION=2"}, StartMode::kVersion},
      {{"-u"}, StartMode::kUninstall},
      {{"-U"}, StartMode::kUninstall},
      // The key of a single-dash option is the whole text.
      {{"-h=1"}, StartMode::kCommandLine},
      {{"-help"}, StartMode::kCommandLine},
      {{"-uninstall"}, StartMode::kCommandLine},
      {{"--u"}, StartMode::kCommandLine},
      {{"--v"}, StartMode::kCommandLine},
      // Only the first parameter counts.
      {{"-i", "/tmp/", "-h"}, StartMode::kCommandLine},
      {{"-o", "/tmp/converted", "-v"}, StartMode::kCommandLine},
      {{"picture.pcd", "-h"}, StartMode::kCommandLine},
      {{""}, StartMode::kCommandLine},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& p : c.parameters) shown += "[" + p + "]";
    EXPECT_EQ(SelectStartMode(c.parameters), c.mode) << shown;
  }
}

}  // namespace
}  // namespace lumafold
