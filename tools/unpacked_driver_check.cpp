// Loads the driver that an unpacked package's etc/rp121032.ini selects,
// through the program's own binding, and prints its version. Copied into the
// unpacked <root>/usr/bin and run from there, it looks for the driver where
// the installed program does (<exe dir>/../lib/tarvik first).
#include "connect/connection_status.h"
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {
int fail(const std::string& what) {
    std::fprintf(stderr, "unpacked driver check: %s\n", what.c_str());
    return 1;
}

bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto [folderEnd, pathRest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return folderEnd == folder.end() && pathRest != path.end();
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s UNPACKED_ROOT\n", argv[0]);
        return 2;
    }
    std::error_code ec;
    const std::filesystem::path root = std::filesystem::canonical(argv[1], ec);
    if (ec)
        return fail(std::string("no folder ") + argv[1]);
    const std::filesystem::path ini = root / "etc/rp121032.ini";
    if (!std::filesystem::is_regular_file(ini, ec))
        return fail("no " + ini.string());

    const connect::ImplementationList list = connect::readImplementationList(ini.string());
    if (list.defaultIndex < 0)
        return fail(ini.string() + " lists no driver");
    const std::string& name = list.names[std::size_t(list.defaultIndex)];
    if (!connect::loadDriverForTest(name))
        return fail("driver " + name + " not found");

    // A driver found in the build tree or the system would hide a package
    // that lacks it.
    const std::string loadedFrom = connect::driverBinding().driverLibrary->path();
    const std::filesystem::path loaded = std::filesystem::canonical(loadedFrom, ec);
    if (ec || !isInside(loaded, root))
        return fail("driver " + name + " loaded from " + loadedFrom + ", outside " + root.string());

    connect::ConnectionStatus status;
    const std::string version = connect::readDriverVersion(status).toStdString();
    if (status.connected != 1)
        return fail("driver " + name + " version read failed: " + version);
    std::printf("%s from %s: %s\n", name.c_str(), loaded.c_str(), version.c_str());
    return 0;
}
