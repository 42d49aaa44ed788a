#include "cli/system_ports.h"
#include "link/posix/posix_serial_port_factory.h"
#include "link/posix/system_clock.h"

namespace rm525::cli {
namespace {

class PosixPorts : public SystemPorts {
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
    SystemClock clock_;
    PosixSerialPortFactory factory_;
};

}  // namespace

std::unique_ptr<SystemPorts> MakeSystemPorts() {
    return std::make_unique<PosixPorts>();
}

}  // namespace rm525::cli
