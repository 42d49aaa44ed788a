// The camera's facts checked against bytes written out by hand, not computed
// from link/protocol.h: the simulator and the host both read that header, so
// a wrong offset or fold there would pass every test that uses the simulator.
// Here a camera made of literal bytes answers the host through a scripted
// port, and the host's records and frames are compared with literal values.
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "link/camera_link.h"
#include "tests/link/hand_made_camera.h"
#include "tests/link/scripted_port.h"

namespace rm525 {
namespace {

using testing::Bytes;
using testing::FakeClock;
using testing::HandMadeCamera;
using testing::ScriptedFactory;
using testing::ScriptedLine;

// A status block with every field the host reads set, and every byte it does
// not read set to a decoy, so a read one byte off gives a different value.
Bytes FullStatusBlock() {
    Bytes b(256);
    for (int i = 0; i < 256; ++i)
        b[size_t(i)] = uint8_t(0x5B ^ (i * 7));
    b[1] = 4;  // RM525
    b[2] = 0x01;
    b[3] = 0x15;  // version 0, 1, 1, 5
    // Clock: 2 January 1997, 03:04:05 is 97445 s, 194890 half-seconds.
    b[12] = 0x00;
    b[13] = 0x02;
    b[14] = 0xF9;
    b[15] = 0x4A;
    b[19] = 2;     // count B is the word at 70
    b[22] = 0x02;  // large images
    b[30] = 0x81;  // bit 7: counts valid
    b[32] = 0x01;  // rate lock
    b[56] = 0x01;
    b[57] = 0x2C;  // count A 300
    b[68] = 0x00;
    b[69] = 0x0B;  // 11
    b[70] = 0x00;
    b[71] = 0x16;  // 22
    b[72] = 0x00;
    b[73] = 0x21;  // 33
    const char id[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    for (int i = 0; i < 32; ++i)
        b[size_t(90 + i)] = uint8_t(id[i]);
    b[122] = 'Z';  // not a terminator: the host must end the text itself
    return b;
}

class GoldenTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The clock is local time; a zone without summer time in January
        // keeps the expected fields fixed.
        if (const char* tz = std::getenv("TZ"))
            savedTz_ = tz;
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        if (savedTz_.empty())
            unsetenv("TZ");
        else
            setenv("TZ", savedTz_.c_str(), 1);
        tzset();
    }
    // Connects to a camera in normal mode with this status block; the host
    // reads the status and the identity on its way to update mode.
    void ConnectTo(const Bytes& statusBlock, const Bytes& memory = Bytes(512)) {
        line = factory.Attach(1);
        camera = std::make_unique<HandMadeCamera>(*line, statusBlock, memory);
        identity.idText = idText;
        link.Connect(1, 3, &status, &identity, &already);
    }

    FakeClock clock;
    ScriptedFactory factory{clock};
    std::shared_ptr<ScriptedLine> line;
    std::unique_ptr<HandMadeCamera> camera;
    CameraLink link{factory, clock};
    CameraStatusRecord status{};
    char idText[33] = {};
    CameraIdentityRecord identity{};
    int32_t already = -1;

private:
    std::string savedTz_;
};

TEST_F(GoldenTest, AStatusBlockWithEveryFieldSet) {
    std::fill(std::begin(idText), std::end(idText), 'x');
    ConnectTo(FullStatusBlock());
    ASSERT_EQ(link.GetErrorNumber(), 0);
    EXPECT_EQ(already, 0);
    EXPECT_EQ(link.cameraModelCode(), 106);

    EXPECT_EQ(status.clock.seconds(), 5);
    EXPECT_EQ(status.clock.minutes(), 4);
    EXPECT_EQ(status.clock.hours(), 3);
    EXPECT_EQ(status.clock.day(), 2);
    EXPECT_EQ(status.clock.month(), 0);
    EXPECT_EQ(status.clock.yearsSince1900(), 97);
    EXPECT_EQ(status.clock.fields[6], 4);  // a Thursday
    EXPECT_EQ(status.clock.fields[7], 1);  // day 1 of the year, counting from 0
    EXPECT_EQ(status.clock.fields[8], 0);
    EXPECT_EQ(status.versionDigits, 0x00010105u);
    EXPECT_EQ(status.countA, 300);
    EXPECT_EQ(status.countACopy, 300);
    EXPECT_EQ(status.countB, 22);
    EXPECT_EQ(status.countBCopy, 22);
    EXPECT_EQ(status.reserved[0], -1);
    EXPECT_EQ(status.reserved[1], -1);
    EXPECT_EQ(status.smallImageSize[0], 96);
    EXPECT_EQ(status.smallImageSize[1], 72);
    EXPECT_EQ(status.imageSize[0], 1152);
    EXPECT_EQ(status.imageSize[1], 864);

    EXPECT_STREQ(idText, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    EXPECT_EQ(identity.clock.hours(), 3);
    EXPECT_EQ(identity.clock.day(), 2);

    // Status and identity each asked once, then the switch to update mode.
    ASSERT_GE(camera->frames.size(), 4u);
    EXPECT_EQ(camera->frames[0], (Bytes{0x7F, 0, 0, 0, 0, 0, 0, 0x1A}));
    EXPECT_EQ(camera->frames[1], (Bytes{0x7F, 0, 0, 0, 0, 0, 0, 0x1A}));
    EXPECT_EQ(camera->frames[2], (Bytes{0x8D, 0, 0, 0, 0, 0, 0, 0x1A}));
    EXPECT_EQ(camera->frames[3], (Bytes{0x41, 0, 0x38, 0x40, 0, 0, 0, 0x1A}));
}

TEST_F(GoldenTest, VersionCountsAndImageSizeCases) {
    struct Case {
        uint8_t type, high, low, countsFlag, selector, sizeFlag;
        int model;
        uint32_t digits;
        int16_t countA, countB;
        int32_t width;
    } cases[] = {
        // Low byte read as a decimal number while the high byte is 0 and it is at most 99.
        {3, 0x00, 0x0F, 0x80, 1, 0x00, 105, 0x00000105, 300, 11, 640},
        {3, 0x00, 99, 0xFF, 3, 0x80, 105, 0x00000909, 300, 33, 1152},
        // From 100 on, and whenever the high byte is set, four nibbles.
        {4, 0x00, 100, 0x80, 2, 0x01, 106, 0x00000604, 300, 22, 1152},
        {4, 0x00, 0xA5, 0x80, 0, 0x00, 106, 0x00000A05, 300, -1, 640},
        {4, 0x12, 0x34, 0x80, 4, 0x00, 106, 0x01020304, 300, -1, 640},
        // Bit 7 clear: neither count is known, whatever the selector says.
        {3, 0x00, 0x00, 0x7F, 1, 0x00, 105, 0x00000000, -1, -1, 640},
    };
    for (const Case& c : cases) {
        FakeClock clock2;
        ScriptedFactory factory2(clock2);
        auto line2 = factory2.Attach(1);
        Bytes block = FullStatusBlock();
        block[1] = c.type;
        block[2] = c.high;
        block[3] = c.low;
        block[30] = c.countsFlag;
        block[19] = c.selector;
        block[22] = c.sizeFlag;
        HandMadeCamera camera2(*line2, block);
        CameraLink link2(factory2, clock2);
        CameraStatusRecord record{};
        char id[33] = {};
        CameraIdentityRecord ident{};
        ident.idText = id;
        int32_t flag = -1;
        link2.Connect(1, 3, &record, &ident, &flag);
        const std::string label = std::to_string(c.high) + "/" + std::to_string(c.low);
        ASSERT_EQ(link2.GetErrorNumber(), 0) << label;
        EXPECT_EQ(link2.cameraModelCode(), c.model) << label;
        EXPECT_EQ(record.versionDigits, c.digits) << label;
        EXPECT_EQ(record.countA, c.countA) << label;
        EXPECT_EQ(record.countACopy, c.countA) << label;
        EXPECT_EQ(record.countB, c.countB) << label;
        EXPECT_EQ(record.countBCopy, c.countB) << label;
        EXPECT_EQ(record.imageSize[0], c.width) << label;
        EXPECT_EQ(record.imageSize[1], c.width == 640 ? 480 : 864) << label;
    }
}

TEST_F(GoldenTest, TheModelWordIsTheLowByteOfWord45) {
    // Word 45 is bytes 90 and 91 of the reply, high byte first; only byte 91
    // is judged. Its neighbours all hold values that would be judged a
    // memory error (negative, or above 7), byte 90 included.
    auto memory = [](uint8_t model) {
        Bytes m(512);
        for (int i = 0; i < 512; ++i)
            m[size_t(i)] = uint8_t(0x80 | i);
        m[88] = 0x09;
        m[89] = 0x88;
        m[90] = 0xFF;
        m[91] = model;
        m[92] = 0x90;
        m[93] = 0x09;
        return m;
    };
    struct Case {
        uint8_t byte91;
        int rm520, rm525;
    } cases[] = {{0, 1, 0}, {3, 0, 1}, {7, 0, 1}, {8, -1, -1}, {0x80, -1, -1}};
    for (const Case& c : cases) {
        for (int model : {105, 106}) {
            FakeClock clock2;
            ScriptedFactory factory2(clock2);
            auto line2 = factory2.Attach(1);
            HandMadeCamera camera2(*line2, FullStatusBlock(), memory(c.byte91));
            CameraLink link2(factory2, clock2);
            CameraStatusRecord record{};
            CameraIdentityRecord ident{};
            int32_t flag = -1;
            link2.Connect(1, 3, &record, &ident, &flag);
            ASSERT_EQ(link2.GetErrorNumber(), 0);
            EXPECT_EQ(link2.CheckCameraMemory(model), model == 105 ? c.rm520 : c.rm525)
                << int(c.byte91) << " " << model;
            // Words 0 to 255.
            EXPECT_EQ(camera2.frames.back(), (Bytes{0x22, 0, 0, 0, 0, 0xFF, 0, 0x1A}));
        }
    }
}

TEST_F(GoldenTest, CheckValuesOfABodyWorkedOutByHand) {
    // Little-endian words: 0x1234 at 0, 0x0100 at 2 and 0xF00F at 0x5FFFE
    // (the last word of the first range); 0xABCD at 0x60000 (the first word of
    // the second range) and 0x8001 at 0x7FFFE.
    //   A = 0x1234 ^ 0x0100 ^ 0xF00F = 0xE33B
    //   B = 0xABCD ^ 0x8001          = 0x2BCC
    Bytes body(0x80000);
    body[0x00000] = 0x34;
    body[0x00001] = 0x12;
    body[0x00002] = 0x00;
    body[0x00003] = 0x01;
    body[0x5FFFE] = 0x0F;
    body[0x5FFFF] = 0xF0;
    body[0x60000] = 0xCD;
    body[0x60001] = 0xAB;
    body[0x7FFFE] = 0x01;
    body[0x7FFFF] = 0x80;
    ConnectTo(FullStatusBlock());
    ASSERT_EQ(link.GetErrorNumber(), 0);
    camera->frames.clear();
    link.TransferFirmware(body.data(), nullptr);
    ASSERT_EQ(link.GetErrorNumber(), 0);

    std::vector<Bytes> values, blocks;
    for (const Bytes& f : camera->frames) {
        if (f[0] == 0x21)
            values.push_back(f);
        if (f[0] == 0x1D)
            blocks.push_back(f);
    }
    // Value 19 is A and value 18 is B, each low byte first.
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0], (Bytes{0x21, 0, 0x00, 0x13, 0x3B, 0xE3, 0, 0x1A}));
    EXPECT_EQ(values[1], (Bytes{0x21, 0, 0x00, 0x12, 0xCC, 0x2B, 0, 0x1A}));
    // Blocks 0 to 2047, the number high byte first; 1536 is the first of B.
    ASSERT_EQ(blocks.size(), 2048u);
    EXPECT_EQ(blocks[1535], (Bytes{0x1D, 0, 0x05, 0xFF, 0, 0, 0, 0x1A}));
    EXPECT_EQ(blocks[1536], (Bytes{0x1D, 0, 0x06, 0x00, 0, 0, 0, 0x1A}));
    EXPECT_EQ(blocks[2047], (Bytes{0x1D, 0, 0x07, 0xFF, 0, 0, 0, 0x1A}));
    // Areas 1 and 2 first, 9600 bit/s before the values, the release last.
    EXPECT_EQ(camera->frames[0], (Bytes{0x1E, 0, 0x00, 0x01, 0, 0, 0, 0x1A}));
    EXPECT_EQ(camera->frames[1], (Bytes{0x1E, 0, 0x00, 0x02, 0, 0, 0, 0x1A}));
    const size_t n = camera->frames.size();
    ASSERT_EQ(n, 2u + 2048u + 1u + 2u + 1u);
    EXPECT_EQ(camera->frames[n - 4], (Bytes{0x41, 0, 0x96, 0x00, 0, 0, 0, 0x1A}));
    EXPECT_EQ(camera->frames[n - 1], (Bytes{0xAE, 0, 0, 0, 0, 0, 0, 0x1A}));

    // Each block goes out as its 256 bytes in file order and one check byte,
    // the exclusive-or of the 256: 34 ^ 12 ^ 00 ^ 01 = 27, 0F ^ F0 = FF,
    // CD ^ AB = 66, 01 ^ 80 = 81, and 00 for a block of zeros.
    ASSERT_EQ(camera->packets.size(), 2048u);
    auto packet = [](std::initializer_list<std::pair<int, uint8_t>> set) {
        Bytes b(257);
        for (auto [at, value] : set)
            b[size_t(at)] = value;
        return b;
    };
    EXPECT_EQ(camera->packets[0], packet({{0, 0x34}, {1, 0x12}, {3, 0x01}, {256, 0x27}}));
    EXPECT_EQ(camera->packets[1], Bytes(257));
    EXPECT_EQ(camera->packets[1535], packet({{254, 0x0F}, {255, 0xF0}, {256, 0xFF}}));
    EXPECT_EQ(camera->packets[1536], packet({{0, 0xCD}, {1, 0xAB}, {256, 0x66}}));
    EXPECT_EQ(camera->packets[2047], packet({{254, 0x01}, {255, 0x80}, {256, 0x81}}));
}

}  // namespace
}  // namespace rm525
