#include "app/tarvik_app.h"

int main(int argc, char** argv) {
    return app::runTarvik(argc, argv);
}
