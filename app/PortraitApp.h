#pragma once

namespace lumavo {

// The application object: prepares the process, runs the template browser
// as the one main window, and ends the process when the browser closes.
class CPortraitApp {
public:
    static int Run(int argc, char** argv);
};

} // namespace lumavo
