// Whether the window can be opened at all. Qt's platform plugins end the
// process with SIGABRT when they cannot reach their display server, so the
// program asks the server itself before Qt does.
#pragma once

#include <string>

namespace lumafold::ui {

// True when the platform Qt will start (QT_QPA_PLATFORM, or the X server of
// DISPLAY / the compositor of WAYLAND_DISPLAY) answers. Platforms that need
// no server (offscreen, minimal, vnc, ...) always count as reachable.
bool DisplayReachable();

// Says on standard error that there is no display and how to convert from
// the command line instead; returns the exit status for it (1).
int ReportNoDisplay(const std::string& programName);

}  // namespace lumafold::ui
