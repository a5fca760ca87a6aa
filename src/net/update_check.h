// The check for a newer version: the automatic check by "Update Range" and
// "Update Date", and "Check now". The boxes it shows go through
// UpdatePrompter, so the desktop face supplies real message boxes and tests
// a recorder; everything else here runs without a display.
#pragma once

#include <functional>
#include <string>

#include "settings/conversion_settings.h"

namespace lumafold {

#ifdef LUMAFOLD_VERSION_NUMBER
inline constexpr int kCurrentVersionNumber = LUMAFOLD_VERSION_NUMBER;
#else
inline constexpr int kCurrentVersionNumber = 260;
#endif

// "Update Range" value that turns the automatic check off.
inline constexpr int kUpdateRangeNever = 5;

// The update information file's address: LUMAFOLD_UPDATE_URL when set,
// otherwise the maker's server.
std::string UpdateInfoUrl();

// The program's web page on the same server as infoUrl ("/lumafold/").
std::string ProgramPageUrl(const std::string& infoUrl);

// Days between automatic checks for an "Update Range" value (5, never,
// is handled by the caller): 1, 7, 30, 90, 180; 30 for unknown values.
int UpdateIntervalDays(int updateRange);

// True when "Update Range" allows a check and now is later than
// "Update Date" plus the interval.
bool IsAutomaticCheckDue(int updateRange, SettingsDate updateDate, SettingsDate now);

// The leading decimal number of the fetched text (0 when it has none).
int ReadVersionNumber(const std::string& head);

enum class UpdateVerdict { ConnectionProblem, NewVersion, NoUpdate };

UpdateVerdict JudgeUpdate(const std::string& fetchedHead, int currentVersion);

// The boxes of the check, named by their "Msg" catalog keys.
class UpdatePrompter {
 public:
  virtual ~UpdatePrompter() = default;
  // Yes/No question box with a question icon; true for Yes.
  virtual bool ask(const char* titleKey, const char* textKey) = 0;
  virtual void error(const char* titleKey, const char* textKey) = 0;
  virtual void inform(const char* titleKey, const char* textKey) = 0;
  // The desktop's "open" action (default browser).
  virtual void openUrl(const std::string& url) = 0;
};

// The two halves of CheckForUpdateNow: the fetch (which blocks for up to
// ten seconds) and the boxes that report its outcome.
UpdateVerdict FetchUpdateVerdict(const std::string& infoUrl, const std::string& agent,
                                 int currentVersion = kCurrentVersionNumber);
void ReportUpdateVerdict(UpdatePrompter& prompter, UpdateVerdict verdict,
                         const std::string& infoUrl);

// Fetches infoUrl with agent and reports the outcome through prompter; on
// a new version and Yes, opens the program page. Never touches settings.
UpdateVerdict CheckForUpdateNow(UpdatePrompter& prompter, const std::string& infoUrl,
                                const std::string& agent,
                                int currentVersion = kCurrentVersionNumber);

// The start-up check: when due, asks whether to check, runs checkNow on
// Yes, and moves "Update Date" to now whatever the answer. Returns true
// when the question was asked.
bool RunAutomaticUpdateCheck(GeneralSettings& general, SettingsDate now, UpdatePrompter& prompter,
                             const std::function<void()>& checkNow);

}  // namespace lumafold
