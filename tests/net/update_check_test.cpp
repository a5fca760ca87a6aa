#include "net/update_check.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "loopback_server.h"
#include "net/http_fetch.h"

namespace lumafold {
namespace {

using test::LoopbackServer;

// Records every box as "kind:titleKey/textKey" and answers questions with
// a fixed reply.
class RecordingPrompter : public UpdatePrompter {
 public:
  explicit RecordingPrompter(bool answer = false) : answer_(answer) {}
  bool ask(const char* title, const char* text) override {
    boxes.push_back(std::string("ask:") + title + "/" + text);
    return answer_;
  }
  void error(const char* title, const char* text) override {
    boxes.push_back(std::string("error:") + title + "/" + text);
  }
  void inform(const char* title, const char* text) override {
    boxes.push_back(std::string("inform:") + title + "/" + text);
  }
  void openUrl(const std::string& url) override { opened.push_back(url); }

  std::vector<std::string> boxes;
  std::vector<std::string> opened;

 private:
  bool answer_;
};

const char* kAgent = "Quorvane Lumafold 2.6";
const std::string kProblem = "error:Error/Internet connection problems";
const std::string kNoUpdate = "inform:No Update/No Update Text";
const std::string kNewUpdate = "ask:New Update/New Update Text";

struct BodyCase {
  std::string body;
  UpdateVerdict verdict;
  std::string box;
};

TEST(CheckNowTest, BodiesFromARealServer) {
  const std::vector<BodyCase> cases = {
      {"261", UpdateVerdict::NewVersion, kNewUpdate},
      {"260", UpdateVerdict::NoUpdate, kNoUpdate},
      {"2.7", UpdateVerdict::NoUpdate, kNoUpdate},     // reads as 2
      {"  0261", UpdateVerdict::NoUpdate, kNoUpdate},  // "026" reads as 26
      {"", UpdateVerdict::ConnectionProblem, kProblem},
      {"new", UpdateVerdict::ConnectionProblem, kProblem},
  };
  for (const BodyCase& c : cases) {
    SCOPED_TRACE("body '" + c.body + "'");
    LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\n" + c.body}});
    ASSERT_TRUE(server.ok());
    RecordingPrompter prompter(false);
    EXPECT_EQ(CheckForUpdateNow(prompter, server.url(), kAgent), c.verdict);
    EXPECT_EQ(prompter.boxes, std::vector<std::string>{c.box});
    EXPECT_TRUE(prompter.opened.empty());
  }
}

TEST(CheckNowTest, OnlyAReplyWithStatus200Counts) {
  // Error pages of servers and proxies that happen to begin with digits.
  const std::vector<std::string> replies = {
      "HTTP/1.0 500 Internal Server Error\r\n\r\n999 errors in the log",
      "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\n\r\n404",
      "HTTP/1.0 2000 OK\r\n\r\n999",
      "999\r\n\r\n999",
  };
  for (const std::string& reply : replies) {
    SCOPED_TRACE(reply);
    LoopbackServer server({{reply}});
    ASSERT_TRUE(server.ok());
    RecordingPrompter prompter(true);
    EXPECT_EQ(CheckForUpdateNow(prompter, server.url(), kAgent), UpdateVerdict::ConnectionProblem);
    EXPECT_EQ(prompter.boxes, std::vector<std::string>{kProblem});
    EXPECT_TRUE(prompter.opened.empty());
  }
  // HTTP/1.1 servers answer an HTTP/1.0 request with their own version.
  LoopbackServer current({{"HTTP/1.1 200 OK\r\nServer: t\r\n\r\n261"}});
  ASSERT_TRUE(current.ok());
  RecordingPrompter prompter(false);
  EXPECT_EQ(CheckForUpdateNow(prompter, current.url(), kAgent), UpdateVerdict::NewVersion);
}

TEST(CheckNowTest, NewVersionOpensTheProgramPageOnlyOnYes) {
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\n300"}});
  ASSERT_TRUE(server.ok());
  RecordingPrompter yes(true);
  EXPECT_EQ(CheckForUpdateNow(yes, server.url(), kAgent), UpdateVerdict::NewVersion);
  EXPECT_EQ(yes.opened, std::vector<std::string>{
                            "http://127.0.0.1:" + std::to_string(server.port()) + "/lumafold/"});
  EXPECT_NE(server.request().find("User-Agent: Quorvane Lumafold 2.6\r\n"), std::string::npos);
}

TEST(CheckNowTest, RefusedConnectionIsAConnectionProblem) {
  RecordingPrompter prompter;
  const std::string url =
      "http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) + "/files/lumafold.dat";
  EXPECT_EQ(CheckForUpdateNow(prompter, url, kAgent), UpdateVerdict::ConnectionProblem);
  EXPECT_EQ(prompter.boxes, std::vector<std::string>{kProblem});
}

TEST(CheckNowTest, SilentServerIsGivenUpAfterTenSeconds) {
  LoopbackServer server({{}, 0, true});
  ASSERT_TRUE(server.ok());
  RecordingPrompter prompter;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CheckForUpdateNow(prompter, server.url(), kAgent), UpdateVerdict::ConnectionProblem);
  // A busy machine only makes the wait longer, so only its least is
  // measured; that the check gives up at all shows in the server, which
  // saw the client hang up before its own minute of patience ended.
  EXPECT_GE(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(kHttpReplyTimeoutMs));
  EXPECT_TRUE(server.clientHungUp());
  EXPECT_EQ(prompter.boxes, std::vector<std::string>{kProblem});
}

TEST(UpdateAddressTest, EnvironmentReplacesTheServer) {
  const char* saved = std::getenv("LUMAFOLD_UPDATE_URL");
  std::string keep = saved ? saved : "";
  setenv("LUMAFOLD_UPDATE_URL", "http://127.0.0.1:8099/files/lumafold.dat", 1);
  EXPECT_EQ(UpdateInfoUrl(), "http://127.0.0.1:8099/files/lumafold.dat");
  EXPECT_EQ(ProgramPageUrl(UpdateInfoUrl()), "http://127.0.0.1:8099/lumafold/");
  unsetenv("LUMAFOLD_UPDATE_URL");
  EXPECT_NE(UpdateInfoUrl().find("/files/lumafold.dat"), std::string::npos);
  EXPECT_EQ(SplitHttpUrl(UpdateInfoUrl()).port, "80");
  if (saved) setenv("LUMAFOLD_UPDATE_URL", keep.c_str(), 1);
}

constexpr SettingsDate kDay = 24 * 60 * 60;
constexpr SettingsDate kNow = 1700000000;

TEST(AutomaticCheckTest, MonthlyRangeAsksAfterThirtyDaysAndAlwaysMovesTheDate) {
  GeneralSettings general;
  general.updateRange = 2;

  general.updateDate = kNow - 29 * kDay;
  RecordingPrompter early(true);
  int checks = 0;
  EXPECT_FALSE(RunAutomaticUpdateCheck(general, kNow, early, [&] { ++checks; }));
  EXPECT_TRUE(early.boxes.empty());
  EXPECT_EQ(general.updateDate, kNow - 29 * kDay);

  general.updateDate = kNow - 31 * kDay;
  RecordingPrompter no(false);
  EXPECT_TRUE(RunAutomaticUpdateCheck(general, kNow, no, [&] { ++checks; }));
  EXPECT_EQ(no.boxes, std::vector<std::string>{"ask:Check for Updates/Ask check for updates"});
  EXPECT_EQ(checks, 0);
  EXPECT_EQ(general.updateDate, kNow);

  general.updateDate = kNow - 31 * kDay;
  RecordingPrompter yes(true);
  EXPECT_TRUE(RunAutomaticUpdateCheck(general, kNow, yes, [&] { ++checks; }));
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(general.updateDate, kNow);
}

TEST(AutomaticCheckTest, NeverRangeNeverAsks) {
  GeneralSettings general;
  general.updateRange = 5;
  for (SettingsDate date : {SettingsDate{0}, kNow - 400 * kDay, SettingsDate{-2147483647}}) {
    general.updateDate = date;
    RecordingPrompter prompter(true);
    EXPECT_FALSE(RunAutomaticUpdateCheck(general, kNow, prompter, [] {}));
    EXPECT_TRUE(prompter.boxes.empty());
    EXPECT_EQ(general.updateDate, date);
  }
}

TEST(AutomaticCheckTest, IntervalPerRange) {
  // range -> days; one second past the interval is due, the exact end is not.
  const std::vector<std::pair<int, int>> ranges = {{0, 1},   {1, 7},  {2, 30}, {3, 90},
                                                   {4, 180}, {6, 30}, {-1, 30}};
  for (auto [range, days] : ranges) {
    SCOPED_TRACE(range);
    EXPECT_EQ(UpdateIntervalDays(range), days);
    EXPECT_FALSE(IsAutomaticCheckDue(range, kNow - days * kDay, kNow));
    EXPECT_TRUE(IsAutomaticCheckDue(range, kNow - days * kDay - 1, kNow));
  }
  // A date near the int32 limit must not wrap around into the past.
  EXPECT_FALSE(IsAutomaticCheckDue(2, 2147483000, kNow));
}

}  // namespace
}  // namespace lumafold
