#include "app/tarvik_app.h"

#include <QApplication>

namespace app {

int runTarvik(int argc, char** argv) {
    QApplication application(argc, argv);
    return application.exec();
}

} // namespace app
