// Windows 2, 4 and 5: the small progress dialogs of the folder import, the
// list-file import and the list export. The worker runs on its own thread
// while the dialog polls the progress record; closing the dialog asks
// whether to break.
#pragma once

#include <functional>
#include <string>

namespace lumafold::ui {

class MainWindow;

struct TransferSpec {
  int window = 0;
  int barControl = 0;
  std::string titleKey;  // group "Dialog"
  int barMaximum = 0;
  std::string questionKey;  // group "Msg", the break question
  std::string completeKey;  // group "Msg", filled with the converted count
  std::string stoppedKey;   // group "Msg"
};

// Resets the processed count and current file, sets the running flag, runs
// `worker` on a new thread and shows its progress until it ends; shows the
// end text in the status bar, keeps the finished dialog up for 700 ms, then
// closes it. Returns true when the user broke the run.
bool RunTransferDialog(MainWindow& window, const TransferSpec& plan, std::function<void()> worker);

}  // namespace lumafold::ui
