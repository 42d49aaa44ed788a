#include "cli/port_system.h"
#include "link/posix/port_diagnostics.h"
#include "link/posix/posix_serial_port_factory.h"
#include "link/posix/system_clock.h"

namespace rm525::cli {

namespace {

class PosixPortSystem : public PortSystem {
public:
    SerialPortFactory& ports() override { return factory_; }
    Clock& clock() override { return clock_; }
    void PutDevice(int portNumber, const std::string& device) override {
        factory_.portNames().SetOverride(portNumber, device);
    }
    std::string ExplainOpenFailure(const OpenFailure& failure) override {
        return rm525::ExplainOpenFailure(failure);
    }

private:
    SystemClock clock_;
    PosixSerialPortFactory factory_;
};

}  // namespace

std::unique_ptr<PortSystem> MakePortSystem() {
    return std::make_unique<PosixPortSystem>();
}

}  // namespace rm525::cli
