#include "cli/port_system.h"
#include "link/win32/win32_clock.h"
#include "link/win32/win32_port_list.h"
#include "link/win32/win32_serial_port_factory.h"

namespace rm525::cli {

namespace {

class Win32PortSystem : public PortSystem {
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
    Win32Clock clock_;
    Win32SerialPortFactory factory_;
};

}  // namespace

std::unique_ptr<PortSystem> MakePortSystem() {
    return std::make_unique<Win32PortSystem>();
}

}  // namespace rm525::cli
