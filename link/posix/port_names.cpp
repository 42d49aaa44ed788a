#include "link/posix/port_names.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace rm525 {

namespace {

const char kPortVariablePrefix[] = "RM525FW_COM";
const char kNoDefaultsVariable[] = "RM525FW_NO_DEFAULT_PORTS";

bool InRange(int portNumber) {
    return portNumber >= PortNames::kFirstPort && portNumber <= PortNames::kLastPort;
}

size_t IndexOf(int portNumber) {
    return static_cast<size_t>(portNumber - PortNames::kFirstPort);
}

// Two names for one device (a by-id link and its node) count as the same.
std::string Canonical(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

const SerialDeviceInfo* FindDevice(const std::vector<SerialDeviceInfo>& devices,
                                   const std::string& path) {
    const std::string wanted = Canonical(path);
    for (const auto& d : devices) {
        if (Canonical(d.path) == wanted) {
            return &d;
        }
    }
    return nullptr;
}

}  // namespace

PortNames::PortNames()
    : PortNames(SystemRoots{}, [](const char* name) { return std::getenv(name); }) {}

PortNames::PortNames(SystemRoots roots, EnvLookup env)
    : roots_(std::move(roots)), env_(std::move(env)) {}

void PortNames::SetOverride(int portNumber, std::string device) {
    if (InRange(portNumber)) {
        overrides_[IndexOf(portNumber)] = std::move(device);
    }
}

void PortNames::ClearOverride(int portNumber) {
    SetOverride(portNumber, {});
}

std::string PortNames::ExplicitDevice(int portNumber, PortSource* source) const {
    if (!overrides_[IndexOf(portNumber)].empty()) {
        *source = PortSource::Override;
        return overrides_[IndexOf(portNumber)];
    }
    const std::string variable = kPortVariablePrefix + std::to_string(portNumber);
    const char* value = env_(variable.c_str());
    if (value != nullptr && *value != '\0') {
        *source = PortSource::Environment;
        return value;
    }
    *source = PortSource::None;
    return {};
}

bool PortNames::DefaultsWanted() const {
    const char* value = env_(kNoDefaultsVariable);
    return value == nullptr || *value == '\0' || std::string(value) == "0";
}

PortNames::Mappings PortNames::MapAll(const std::vector<SerialDeviceInfo>& devices) const {
    Mappings map;
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        PortMapping& m = map[IndexOf(n)];
        m.portNumber = n;
        m.device = ExplicitDevice(n, &m.source);
        if (const SerialDeviceInfo* d =
                m.device.empty() ? nullptr : FindDevice(devices, m.device)) {
            m.info = *d;
        }
    }
    if (!DefaultsWanted()) {
        return map;
    }
    auto freeSlot = map.begin();
    for (const auto& d : devices) {
        const bool taken = std::any_of(map.begin(), map.end(), [&](const PortMapping& m) {
            return m.info && m.info->name == d.name;
        });
        if (!MappedByDefault(d) || taken) {
            continue;
        }
        freeSlot = std::find_if(freeSlot, map.end(),
                                [](const PortMapping& m) { return m.device.empty(); });
        if (freeSlot == map.end()) {
            break;
        }
        freeSlot->device = d.path;
        freeSlot->source = PortSource::Default;
        freeSlot->info = d;
    }
    return map;
}

std::string PortNames::Resolve(int portNumber) const {
    if (!InRange(portNumber)) {
        return {};
    }
    // An explicit mapping needs no look at the machine's devices.
    PortSource source;
    std::string device = ExplicitDevice(portNumber, &source);
    if (!device.empty() || !DefaultsWanted()) {
        return device;
    }
    return Describe(portNumber).device;
}

PortMapping PortNames::Describe(int portNumber) const {
    if (!InRange(portNumber)) {
        PortMapping none;
        none.portNumber = portNumber;
        return none;
    }
    return MapAll(ScanSerialDevices(roots_))[IndexOf(portNumber)];
}

PortListing PortNames::List() const {
    const std::vector<SerialDeviceInfo> devices = ScanSerialDevices(roots_);
    const Mappings map = MapAll(devices);
    PortListing listing;
    listing.ports.assign(map.begin(), map.end());
    for (const auto& d : devices) {
        const bool mapped = std::any_of(map.begin(), map.end(), [&](const PortMapping& m) {
            return m.info && m.info->name == d.name;
        });
        if (!mapped) {
            listing.unmapped.push_back(d);
        }
    }
    return listing;
}

}  // namespace rm525
