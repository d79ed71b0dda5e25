#include "connect/driver_selection.h"

#include "connect/driver_binding.h"
#include "platform/crt_format.h"
#include "platform/message_service.h"
#include "platform/profile.h"
#include "platform/wait_cursor.h"

namespace connect {

namespace {
constexpr std::size_t kProfileBufferSize = 256;
constexpr std::string_view kPreferredImplementation = "ZT121032";

// Closes the clients still open on the bound driver before its library goes
// away, so no worker thread is left calling into unloaded code.
void disconnectOpenClients(DriverBinding& binding) {
    const uint8_t open = binding.connectedProtocols.exchange(0);
    for (Protocol protocol : {Protocol::J1708, Protocol::J1850, Protocol::J1939})
        if (open & protocolBit(protocol))
            binding.clientDisconnect(binding.clientIdOf(protocol));
}
} // namespace

ImplementationList parseImplementationList(std::string_view value) {
    ImplementationList list;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t comma = value.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? value.size() : comma;
        if (end > start)
            list.names.emplace_back(value.substr(start, end - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (list.names.empty())
        return list;
    list.defaultIndex = 0;
    for (std::size_t i = 0; i < list.names.size(); ++i)
        if (list.names[i].find(kPreferredImplementation) != std::string::npos)
            list.defaultIndex = int(i);
    return list;
}

ImplementationList readImplementationList(const std::string& iniPath) {
    return parseImplementationList(platform::getPrivateProfileString("RP1210Support", "APIImplementations",
                                                                     "", kProfileBufferSize, iniPath));
}

namespace {
std::string& iniPathOverride() {
    static std::string path;
    return path;
}
} // namespace

std::string implementationIniPath() {
    return iniPathOverride().empty() ? platform::findProfileFile("rp121032.ini") : iniPathOverride();
}

void overrideImplementationIniPath(const std::string& path) {
    iniPathOverride() = path;
}

QString readDriverVersion(ConnectionStatus& status) {
    char version[4][RP1210_VERSION_TEXT_SIZE + 1] = {};
    const int16_t result = driverBinding().readVersion(version[0], version[1], version[2], version[3]);
    if (isDriverError(result)) {
        status.connected = 0;
        return driverErrorText(result);
    }
    // The buffers are one byte longer than the driver may fill, so a text
    // without its terminator still ends inside them.
    for (auto& text : version)
        text[RP1210_VERSION_TEXT_SIZE] = '\0';
    status.connected = 1;
    return QString::fromStdString(platform::crtFormat("DLL Version: %s.%s, API Version: %s.%s", version[0],
                                                      version[1], version[2], version[3]));
}

DeviceActionResult selectDriver(const std::string& implementationName, ConnectionStatus& status,
                                QWidget* parent) {
    platform::WaitCursor waitCursor;
    DriverBinding& binding = driverBinding();
    status.connectionType = 4;
    if (implementationName.empty()) {
        platform::MessageService::messageBox(parent, QStringLiteral("This program requires a 1210 library."),
                                             QStringLiteral("Error"), platform::MessageIcon::Error);
        return {};
    }
    const bool alreadyTried = binding.libraryFileName.find(implementationName) != std::string::npos;
    if (!alreadyTried) {
        if (!binding.libraryFileName.empty() && binding.driverLibrary) {
            disconnectOpenClients(binding);
            binding.releaseLibrary();
        }
        binding.libraryFileName = implementationName + ".dll";
        binding.driverLibrary = platform::DynamicLibrary::load(binding.libraryFileName, nullptr);
        if (!binding.driverLibrary) {
            platform::MessageService::messageBox(
                parent,
                QStringLiteral(
                    "The selected file could not be located.  This program requires a 1210 library."),
                QStringLiteral("Error"), platform::MessageIcon::Error);
            return {};
        }
        binding.resolveEntryPoints();
    } else if (!binding.driverLibrary) {
        return {};
    }
    return {true, readDriverVersion(status)};
}

bool loadDriverForTest(const std::string& implementationName) {
    DriverBinding& binding = driverBinding();
    binding.releaseLibrary();
    binding.libraryFileName = implementationName + ".dll";
    binding.driverLibrary = platform::DynamicLibrary::load(binding.libraryFileName, nullptr);
    binding.resolveEntryPoints();
    return binding.driverLibrary.has_value();
}

} // namespace connect
