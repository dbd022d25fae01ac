#pragma once

#include <QString>
#include <functional>
#include <string>

#include "link/bridge.h"
#include "link/clock.h"
#include "link/trace_file.h"

namespace korvan {
class Configurator;
}

namespace korvan::ui {

class MainWindow;

struct ProgramSetup {
    QString captionSuffix;  // after "Korvan x.y.z"
    // Runs once the core and the window exist and before the window shows.
    std::function<void(Configurator&, MainWindow&)> beforeShow;
    // Runs once the event loop has ended, while the core and the window still exist: what
    // beforeShow started that calls into them must stop here.
    std::function<void()> afterLoop;
    // -v: the debug output on stderr, the wire trace among it.
    bool verbose = false;
    // --trace: where the wire trace is appended as well; not owned.
    TraceFile* traceFile = nullptr;
    // The device database named on the command line (UTF-8); empty: the last one.
    std::string databaseFile;
    // The program's own name: the desktop entry that starts it, for the desktop's icon and
    // window grouping, and the name of its journal of operations (korvan-sim.log beside
    // korvan.log).
    QString desktopFileName = "korvan";
};

// Qt's own dialogs and buttons in Russian, as every other text of the program, whatever the
// user's language. False, with a line on stderr, when Qt's Russian translation is missing.
bool loadRussianTranslation();

// The program's entry after the application object: the core over `bridge`, the settings path
// beside the program (or in the user's configuration folder), the window, the event loop.
// Returns the event loop's result.
int runProgram(Bridge& bridge, Clock& clock, const ProgramSetup& setup);

// Runs the program's entry; an exception that escapes it is shown in the standard error box.
int runGuarded(const std::function<int()>& entry);

}  // namespace korvan::ui
