// Window 7: the input chooser between "Add Input File..." and "Add Input
// Folder...", opened by command 4 and by a double-click on the list.
#pragma once

namespace lumafold::ui {

class MainWindow;

enum class InputChoice { None, Files, Folder };

// Shows the chooser (main window blocked, focus on the files button) and
// returns what was picked; Escape and the close box pick nothing. The
// chooser is hidden before the caller runs the picked command.
InputChoice RunInputChooser(MainWindow& window);

}  // namespace lumafold::ui
