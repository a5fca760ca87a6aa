// Window 3: the conversion progress dialog. It starts ConversionWorker on a
// thread of its own, polls the progress record every 15 ms, asks whether to
// break when the user closes it, and shows the result until OK.
#pragma once

namespace lumafold::ui {

class MainWindow;

// Returns when the user closed the dialog after the worker ended.
void RunConversionProgress(MainWindow& window);

}  // namespace lumafold::ui
