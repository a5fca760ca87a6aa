#include "net/update_check.h"

#include <cctype>
#include <cstdlib>

#include "net/http_fetch.h"
#include "net/web_addresses.h"

namespace lumafold {

namespace {

constexpr SettingsDate kSecondsPerDay = 24 * 60 * 60;

}  // namespace

std::string UpdateInfoUrl() {
  const char* overridden = std::getenv("LUMAFOLD_UPDATE_URL");
  if (overridden != nullptr && *overridden != '\0') return overridden;
  return kDefaultUpdateUrl;
}

std::string ProgramPageUrl(const std::string& infoUrl) {
  std::size_t siteStart = infoUrl.find("://");
  siteStart = siteStart == std::string::npos ? 0 : siteStart + 3;
  std::size_t siteEnd = infoUrl.find('/', siteStart);
  std::string site = infoUrl.substr(0, siteEnd);
  if (siteStart == 0) site = "http://" + site;
  return site + "/lumafold/";
}

int UpdateIntervalDays(int updateRange) {
  switch (updateRange) {
    case 0:
      return 1;
    case 1:
      return 7;
    case 3:
      return 90;
    case 4:
      return 180;
    default:
      return 30;
  }
}

bool IsAutomaticCheckDue(int updateRange, SettingsDate updateDate, SettingsDate now) {
  if (updateRange == kUpdateRangeNever) return false;
  // 64-bit sum: a corrupt "Update Date" near the int32 limit must not wrap
  // around into the past and ask at every start.
  const long long due =
      static_cast<long long>(updateDate) + UpdateIntervalDays(updateRange) * kSecondsPerDay;
  return static_cast<long long>(now) > due;
}

int ReadVersionNumber(const std::string& head) {
  int value = 0;
  for (char c : head) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    value = value * 10 + (c - '0');
  }
  return value;
}

UpdateVerdict JudgeUpdate(const std::string& fetchedHead, int currentVersion) {
  const int latest = ReadVersionNumber(fetchedHead.substr(0, 3));
  if (latest == 0) return UpdateVerdict::ConnectionProblem;
  if (latest > currentVersion) return UpdateVerdict::NewVersion;
  return UpdateVerdict::NoUpdate;
}

UpdateVerdict FetchUpdateVerdict(const std::string& infoUrl, const std::string& agent,
                                 int currentVersion) {
  return JudgeUpdate(HttpFetch(infoUrl, agent), currentVersion);
}

void ReportUpdateVerdict(UpdatePrompter& prompter, UpdateVerdict verdict,
                         const std::string& infoUrl) {
  switch (verdict) {
    case UpdateVerdict::ConnectionProblem:
      prompter.error("Error", "Internet connection problems");
      break;
    case UpdateVerdict::NewVersion:
      if (prompter.ask("New Update", "New Update Text")) prompter.openUrl(ProgramPageUrl(infoUrl));
      break;
    case UpdateVerdict::NoUpdate:
      prompter.inform("No Update", "No Update Text");
      break;
  }
}

UpdateVerdict CheckForUpdateNow(UpdatePrompter& prompter, const std::string& infoUrl,
                                const std::string& agent, int currentVersion) {
  const UpdateVerdict verdict = FetchUpdateVerdict(infoUrl, agent, currentVersion);
  ReportUpdateVerdict(prompter, verdict, infoUrl);
  return verdict;
}

bool RunAutomaticUpdateCheck(GeneralSettings& general, SettingsDate now, UpdatePrompter& prompter,
                             const std::function<void()>& checkNow) {
  if (!IsAutomaticCheckDue(general.updateRange, general.updateDate, now)) return false;
  if (prompter.ask("Check for Updates", "Ask check for updates") && checkNow) checkNow();
  general.updateDate = now;
  return true;
}

}  // namespace lumafold
