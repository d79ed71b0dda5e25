#pragma once
// The application object: the main window and the connection dialog, for the
// life of the process.

#include "app/tarvik_dlg.h"
#include "connect/init_vqt_dlg.h"

namespace app {

class TarvikApp {
public:
    TarvikApp();
    // Shows the main window; false if it could not be built.
    bool initInstance();

    TarvikDlg& mainWindow() { return mainWindow_; }
    connect::InitVQTDlg& connectionDialog() { return connectionDialog_; }

private:
    TarvikDlg mainWindow_;
    connect::InitVQTDlg connectionDialog_;
};

// Starts the application and runs its message loop; returns the exit status.
int runTarvik(int argc, char** argv);

} // namespace app
