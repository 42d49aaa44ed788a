#include "cli/system_ports.h"
#include "link/win32/win32_clock.h"
#include "link/win32/win32_serial_port_factory.h"

namespace rm525::cli {
namespace {

class Win32Ports : public SystemPorts {
public:
    SerialPortFactory& factory() override { return factory_; }
    Clock& clock() override { return clock_; }
    void SetDevice(int portNumber, const std::string& device) override {
        factory_.portNames().SetOverride(portNumber, device);
    }
    std::string DeviceOf(int portNumber) override {
        return factory_.portNames().Resolve(portNumber);
    }

private:
    Win32Clock clock_;
    Win32SerialPortFactory factory_;
};

}  // namespace

std::unique_ptr<SystemPorts> MakeSystemPorts() {
    return std::make_unique<Win32Ports>();
}

}  // namespace rm525::cli
