#include "config/device_table.h"

#include <rp1210a/rp1210a.h>

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace zt {
namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::vector<int> numberList(const std::string& text) {
    std::vector<int> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        item = trim(item);
        if (item.empty())
            continue;
        try {
            out.push_back(std::stoi(item));
        } catch (...) {
        }
    }
    return out;
}

bool yes(const std::string& v) {
    const std::string l = lower(trim(v));
    return l == "yes" || l == "true" || l == "1" || l == "on";
}

using Sections = std::map<std::string, std::map<std::string, std::string>>; // lower-case names

Sections parseIni(const std::string& text) {
    Sections sections;
    std::stringstream in(text);
    std::string line;
    std::string current;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            current = lower(trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            sections[current];
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos || current.empty())
            continue;
        sections[current][lower(trim(line.substr(0, eq)))] = trim(line.substr(eq + 1));
    }
    return sections;
}

// Any address inside the library tells dladdr which file it was loaded from.
const char kAddressInLibrary = 0;

std::string libraryFolder() {
    Dl_info info{};
    if (dladdr(&kAddressInLibrary, &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::string path = info.dli_fname;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

} // namespace

const DeviceEntry* DeviceTable::find(int id) const {
    for (const auto& d : devices)
        if (d.id == id)
            return &d;
    return nullptr;
}

DeviceTable builtInDevices() {
    DeviceTable t;
    DeviceEntry vehicle;
    vehicle.id = 101;
    vehicle.description = "Virtual vehicle";
    vehicle.simulation = Simulation::Truck;
    vehicle.links.paced = true;
    vehicle.protocols[1] = vehicle.protocols[2] = vehicle.protocols[3] = true;
    DeviceEntry quiet = vehicle;
    quiet.id = 102;
    quiet.description = "Quiet bus";
    quiet.simulation = Simulation::None;
    quiet.links.paced = false;
    DeviceEntry busy = vehicle;
    busy.id = 104;
    busy.description = "Busy truck";
    busy.simulation = Simulation::BusyTruck;
    busy.protocols[1] = busy.protocols[2] = false;
    t.devices = {vehicle, quiet, busy};
    return t;
}

DeviceTable parseDeviceTable(const std::string& text) {
    const Sections sections = parseIni(text);
    DeviceTable t;
    t.fromFile = true;
    if (const auto vendor = sections.find("vendorinformation"); vendor != sections.end()) {
        if (const auto k = vendor->second.find("emptyreadwaitmicroseconds"); k != vendor->second.end()) {
            const auto v = numberList(k->second);
            if (v.size() == 1 && v[0] >= 0)
                t.emptyReadWaitMicros = std::min<int64_t>(v[0], kEmptyReadWaitMicrosMax);
        }
    }
    for (const auto& [name, keys] : sections) {
        if (name.rfind("deviceinformation", 0) != 0)
            continue;
        const auto idKey = keys.find("deviceid");
        if (idKey == keys.end())
            continue;
        const auto ids = numberList(idKey->second);
        if (ids.size() != 1 || ids[0] < 0 || ids[0] > 65535 || t.find(ids[0]) != nullptr)
            continue;
        DeviceEntry d;
        d.id = ids[0];
        if (auto k = keys.find("devicedescription"); k != keys.end())
            d.description = k->second;
        if (auto k = keys.find("simulatedvehicle"); k != keys.end())
            d.simulation = lower(trim(k->second)) == "busy" ? Simulation::BusyTruck
                           : yes(k->second)                 ? Simulation::Truck
                                                            : Simulation::None;
        if (auto k = keys.find("can"); k != keys.end() && !k->second.empty())
            d.links.can = k->second;
        if (auto k = keys.find("j1708"); k != keys.end() && !k->second.empty())
            d.links.j1708 = k->second;
        if (auto k = keys.find("replayloop"); k != keys.end())
            d.links.replayLoop = yes(k->second);
        if (auto k = keys.find("replayspeed"); k != keys.end()) {
            // Anything but a number of 0 or more makes the replay link refuse.
            char* end = nullptr;
            const double speed = std::strtod(k->second.c_str(), &end);
            d.links.replaySpeed = end != k->second.c_str() && *end == 0 ? speed : -1;
        }
        if (auto k = keys.find("record"); k != keys.end())
            d.links.record = k->second;
        if (auto k = keys.find("paced"); k != keys.end())
            d.links.paced = yes(k->second);
        if (auto k = keys.find("canbitrate"); k != keys.end()) {
            const auto rate = numberList(k->second);
            if (rate.size() == 1 && rate[0] >= 10000 && rate[0] <= 1000000)
                d.links.canBitrate = rate[0];
        }
        t.devices.push_back(d);
    }
    for (const auto& [name, keys] : sections) {
        if (name.rfind("protocolinformation", 0) != 0)
            continue;
        const auto str = keys.find("protocolstring");
        const auto devs = keys.find("devices");
        if (str == keys.end() || devs == keys.end())
            continue;
        const int p = protocolFromName(str->second.c_str());
        if (p == 0)
            continue;
        for (int id : numberList(devs->second))
            for (auto& d : t.devices)
                if (d.id == id)
                    d.protocols[p] = true;
    }
    return t;
}

DeviceTable loadDeviceTable() {
    const std::string folder = libraryFolder();
    if (!folder.empty()) {
        std::ifstream in(folder + "/ZT121032.ini");
        if (in) {
            std::stringstream text;
            text << in.rdbuf();
            DeviceTable t = parseDeviceTable(text.str());
            for (auto& d : t.devices)
                d.links.folder = folder;
            if (!t.devices.empty())
                return t;
        }
    }
    return builtInDevices();
}

int protocolFromName(const char* name) {
    if (name == nullptr)
        return 0;
    const std::string n = lower(name);
    if (n == "j1708")
        return static_cast<int>(Protocol::J1708);
    if (n == "j1850")
        return static_cast<int>(Protocol::J1850);
    if (n == "j1939")
        return static_cast<int>(Protocol::J1939);
    return 0;
}

} // namespace zt
