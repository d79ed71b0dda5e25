#pragma once

namespace app {

// Starts the application and runs its message loop; returns the exit status.
int runTarvik(int argc, char** argv);

} // namespace app
