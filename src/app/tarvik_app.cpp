#include "app/tarvik_app.h"

#include "res/icons.h"

#include <QApplication>

namespace app {

TarvikApp::TarvikApp() {
    connectionDialog_.setProtocolInitialisedHandler([this](connect::Protocol protocol) {
        mainWindow_.receiveWindow().enableProtocolControls(protocol);
        mainWindow_.transmitWindow().enableProtocolControls(protocol);
    });
}

bool TarvikApp::initInstance() {
    if (!mainWindow_.create())
        return false;
    mainWindow_.show();
    connect::mainWindowHandle = &mainWindow_;
    res::loadSwitchIcons();
    return true;
}

int runTarvik(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvik"));
    // Every window without an icon of its own shows the program's; the desktop
    // file name lets a Wayland desktop match the windows to the menu entry.
    QApplication::setWindowIcon(res::loadIcon(res::IDI_MAIN_LARGE));
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvik"));
    // Tool windows stay when the main window hides; the process ends only
    // through the main window's Close.
    QApplication::setQuitOnLastWindowClosed(false);
    static TarvikApp* tarvik = new TarvikApp; // lives until the process ends
    if (!tarvik->initInstance())
        return 1;
    return application.exec();
}

} // namespace app
