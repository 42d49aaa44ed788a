#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "link/posix/port_names.h"
#include "tests/posix/test_support.h"

namespace rm525 {
namespace {

namespace fs = std::filesystem;

// A made-up machine: sysfs and /dev as the kernel and udev lay them out.
class FakeSystem {
public:
    FakeSystem() {
        fs::create_directories(sys() / "class" / "tty");
        fs::create_directories(dev() / "serial" / "by-path");
    }
    fs::path sys() const { return fs::path(dir_.path()) / "sys"; }
    fs::path dev() const { return fs::path(dir_.path()) / "dev"; }
    SystemRoots roots() const { return {sys().string(), dev().string()}; }
    std::string node(const std::string& name) const { return (dev() / name).string(); }

    void AddUart(const std::string& name, int type) {
        const fs::path device = sys() / "devices" / "platform" / "serial8250" / name;
        fs::create_directories(device);
        const fs::path tty = AddTty(name, device);
        Write(tty / "type", std::to_string(type));
    }

    void AddUsb(const std::string& name, const std::string& usbPort,
                const std::map<std::string, std::string>& attributes,
                const std::string& byPath = "") {
        const fs::path usb = sys() / "devices" / "pci0000:00" / "usb1" / usbPort;
        const fs::path iface = usb / (usbPort + ":1.0");
        fs::create_directories(iface / name);
        for (const auto& [file, value] : attributes) {
            Write(usb / file, value);
        }
        AddTty(name, iface / name);
        if (!byPath.empty()) {
            fs::create_symlink("../../" + name, dev() / "serial" / "by-path" / byPath);
        }
    }

    void AddBluetooth(const std::string& name) {
        fs::create_directories(sys() / "devices" / "virtual" / "bt" / name);
        AddTty(name, sys() / "devices" / "virtual" / "bt" / name);
    }

    void AddVirtual(const std::string& name) { fs::create_directories(Tty(name)); }

    void SetConsole(const std::string& active) {
        AddVirtual("console");
        Write(Tty("console") / "active", active + "\n");
    }

private:
    fs::path Tty(const std::string& name) const { return sys() / "class" / "tty" / name; }

    fs::path AddTty(const std::string& name, const fs::path& device) {
        const fs::path tty = Tty(name);
        fs::create_directories(tty);
        fs::create_symlink(device, tty / "device");
        return tty;
    }

    static void Write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text << "\n";
    }

    test::TempDir dir_;
};

class PortNamesTest : public ::testing::Test {
protected:
    PortNamesTest() {
        fake_.AddUart("ttyS0", 4);  // the console
        fake_.AddUart("ttyS1", 4);
        fake_.AddUart("ttyS3", 0);  // listed by the kernel, no hardware
        fake_.AddUart("ttyS10", 4);
        fake_.SetConsole("tty0 ttyS0");
        fake_.AddVirtual("tty0");
        fake_.AddVirtual("tty1");
        fake_.AddBluetooth("rfcomm0");
        // The by-path order (socket 1 before socket 2) is not the kernel's.
        fake_.AddUsb("ttyUSB0", "1-2", {{"idVendor", "0403"}, {"idProduct", "6001"}},
                     "pci-0000:00:14.0-usb-0:2:1.0-port0");
        fake_.AddUsb("ttyUSB1", "1-1",
                     {{"idVendor", "067b"},
                      {"idProduct", "2303"},
                      {"manufacturer", "Prolific Technology Inc."},
                      {"product", "USB-Serial Controller"},
                      {"serial", "A1B2"}},
                     "pci-0000:00:14.0-usb-0:1:1.0-port0");
        fake_.AddUsb("ttyACM0", "1-3", {{"idVendor", "2341"}, {"idProduct", "0043"}});
    }

    PortNames Names() {
        return PortNames(fake_.roots(), [this](const char* name) -> const char* {
            auto it = env_.find(name);
            return it == env_.end() ? nullptr : it->second.c_str();
        });
    }

    std::vector<std::string> Resolved(const PortNames& names) {
        std::vector<std::string> devices;
        for (int n = 1; n <= 9; ++n) {
            devices.push_back(names.Resolve(n));
        }
        return devices;
    }

    FakeSystem fake_;
    std::map<std::string, std::string> env_;
};

TEST_F(PortNamesTest, DefaultMapTakesUsbAdaptersThenRealUartsNeverTheConsole) {
    const std::vector<std::string> expected = {fake_.node("ttyUSB1"),
                                               fake_.node("ttyUSB0"),
                                               fake_.node("ttyACM0"),
                                               fake_.node("ttyS1"),
                                               fake_.node("ttyS10"),
                                               "",
                                               "",
                                               "",
                                               ""};
    EXPECT_EQ(Resolved(Names()), expected);
    EXPECT_EQ(Names().Resolve(0), "");
    EXPECT_EQ(Names().Resolve(10), "");
}

TEST_F(PortNamesTest, EnvironmentWinsAndDefaultsFillTheRest) {
    env_["RM525FW_COM1"] = fake_.node("ttyS1");
    env_["RM525FW_COM3"] = "/dev/ttyXYZ";
    const std::vector<std::string> expected = {fake_.node("ttyS1"),
                                               fake_.node("ttyUSB1"),
                                               "/dev/ttyXYZ",
                                               fake_.node("ttyUSB0"),
                                               fake_.node("ttyACM0"),
                                               fake_.node("ttyS10"),
                                               "",
                                               "",
                                               ""};
    EXPECT_EQ(Resolved(Names()), expected);

    env_["RM525FW_NO_DEFAULT_PORTS"] = "1";
    const std::vector<std::string> explicitOnly = {
        fake_.node("ttyS1"), "", "/dev/ttyXYZ", "", "", "", "", "", ""};
    EXPECT_EQ(Resolved(Names()), explicitOnly);
}

TEST_F(PortNamesTest, ProgramOverrideBeatsEnvironment) {
    env_["RM525FW_COM1"] = "/dev/ttyFromEnv";
    PortNames names = Names();
    names.SetOverride(1, "/dev/ttyGiven");
    EXPECT_EQ(names.Resolve(1), "/dev/ttyGiven");
    EXPECT_EQ(names.Describe(1).source, PortSource::Override);
    names.ClearOverride(1);
    EXPECT_EQ(names.Resolve(1), "/dev/ttyFromEnv");
}

TEST_F(PortNamesTest, ListingDescribesAdaptersAndShowsWhatIsLeftOut) {
    const PortListing listing = Names().List();
    ASSERT_EQ(listing.ports.size(), 9u);
    const PortMapping& com1 = listing.ports[0];
    EXPECT_EQ(com1.portNumber, 1);
    EXPECT_EQ(com1.source, PortSource::Default);
    ASSERT_TRUE(com1.info.has_value());
    EXPECT_EQ(com1.info->kind, SerialDeviceKind::UsbAdapter);
    EXPECT_EQ(com1.info->vendorId, "067b");
    EXPECT_EQ(com1.info->productId, "2303");
    EXPECT_EQ(com1.info->manufacturer, "Prolific Technology Inc.");
    EXPECT_EQ(com1.info->product, "USB-Serial Controller");
    EXPECT_EQ(com1.info->serialNumber, "A1B2");
    EXPECT_EQ(com1.info->byPath, "pci-0000:00:14.0-usb-0:1:1.0-port0");
    EXPECT_EQ(listing.ports[3].info->kind, SerialDeviceKind::BuiltInUart);
    EXPECT_EQ(listing.ports[8].source, PortSource::None);

    ASSERT_EQ(listing.unmapped.size(), 2u);
    EXPECT_EQ(listing.unmapped[0].name, "ttyS0");
    EXPECT_TRUE(listing.unmapped[0].console);
    EXPECT_EQ(listing.unmapped[1].name, "rfcomm0");
    EXPECT_EQ(listing.unmapped[1].kind, SerialDeviceKind::Bluetooth);
}

}  // namespace
}  // namespace rm525
