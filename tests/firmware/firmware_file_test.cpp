#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "firmware/firmware_format.h"
#include "firmware/firmware_header.h"
#include "firmware/firmware_inspect.h"
#include "firmware/firmware_loader.h"
#include "res/messages.h"
#include "tests/firmware/firmware_test_files.h"

namespace rm525 {
namespace {

using testing::FirmwareBytes;
using testing::TempDir;
using testing::WriteFile;

TEST(FirmwareHeader, RecognisesBothModelsAndNothingElse) {
    EXPECT_EQ(ModelFromHeader(FirmwareBytes(firmware::kHeaderRm525).data()), 106);
    EXPECT_EQ(ModelFromHeader(FirmwareBytes(firmware::kHeaderRm520).data()), 105);
    EXPECT_EQ(
        ModelFromHeader(FirmwareBytes("quelm Vivid Imagework RM525 Zoom camera. Firmware").data()),
        0);
    // Only 48 characters count: the 49th may be anything.
    EXPECT_EQ(
        ModelFromHeader(FirmwareBytes("Quelm Vivid Imagework RM525 Zoom camera. FirmwarX").data()),
        106);
    // A difference in the 48th character does count.
    EXPECT_EQ(
        ModelFromHeader(FirmwareBytes("Quelm Vivid Imagework RM525 Zoom camera. FirmwaXe").data()),
        0);
}

TEST(FirmwareHeader, CompareStopsAtNulAndCountsSigned) {
    const uint8_t data[] = {'a', 'b', 0, 'd'};
    EXPECT_EQ(CompareHeader(data, "ab", 2), 0);
    EXPECT_EQ(CompareHeader(data, "ab\0d", 4), 1);  // a NUL on both sides is no match
    EXPECT_EQ(CompareHeader(data, "xx", 0), 0);
    EXPECT_EQ(CompareHeader(data, "xx", -5), 0);
}

TEST(FirmwareHeader, InitialNameFromFilter) {
    EXPECT_EQ(InitialNameFromFilter(std::string(res::LoadMessage(res::msg::kFileFilter))), "*.fw ");
    EXPECT_EQ(InitialNameFromFilter("All|*.*|Bin|*.bin||"), "*.bin");
    EXPECT_EQ(InitialNameFromFilter("All files|*.*||"), "");
    EXPECT_EQ(InitialNameFromFilter("no pattern"), "");
}

class FirmwareLoader : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(FirmwareImage::LiveCount(), 0); }
    TempDir dir_;
};

TEST_F(FirmwareLoader, LoadsAWholeFileWithItsSize) {
    const auto bytes = FirmwareBytes();
    LoadResult r = LoadFirmwareImage(WriteFile(dir_.File("a.fw"), bytes));
    ASSERT_NE(r.image, nullptr);
    EXPECT_EQ(r.error, LoadError::None);
    EXPECT_EQ(r.fileSize, firmware::kFileSize);
    ASSERT_EQ(r.image->loadedSize(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), r.image->data()));
}

TEST_F(FirmwareLoader, AByteShortOrLongLoadsWithItsTrueSize) {
    for (int64_t size : {firmware::kFileSize - 1, firmware::kFileSize + 1}) {
        LoadResult r = LoadFirmwareImage(WriteFile(dir_.File("x.fw"), FirmwareBytes({}, {}, size)));
        ASSERT_NE(r.image, nullptr);
        EXPECT_EQ(r.fileSize, size);
    }
}

TEST_F(FirmwareLoader, AHugeFileIsReadOnlyUpToOneBytePastTheRequiredSize) {
    const std::string path = dir_.File("huge.fw");
    WriteFile(path, FirmwareBytes());
    const auto huge = std::uintmax_t{1} << 32;  // 4 GiB, sparse
    std::filesystem::resize_file(path, huge);
    LoadResult r = LoadFirmwareImage(path);
    ASSERT_NE(r.image, nullptr);
    EXPECT_EQ(r.fileSize, static_cast<int64_t>(huge));
    EXPECT_EQ(r.image->loadedSize(), static_cast<size_t>(firmware::kFileSize + 1));
    EXPECT_EQ(ModelFromHeader(r.image->data()), 106);
}

TEST_F(FirmwareLoader, EmptyOrMissingFilesGiveNoImage) {
    LoadResult empty = LoadFirmwareImage(WriteFile(dir_.File("empty.fw"), ""));
    EXPECT_EQ(empty.image, nullptr);
    EXPECT_EQ(empty.error, LoadError::Empty);
    LoadResult missing = LoadFirmwareImage(dir_.File("missing.fw"));
    EXPECT_EQ(missing.image, nullptr);
    EXPECT_EQ(missing.error, LoadError::CannotOpen);
    LoadResult folder = LoadFirmwareImage(dir_.path());
    EXPECT_EQ(folder.image, nullptr);
}

TEST_F(FirmwareLoader, ATinyFileReadsAsZerosInTheHeaderArea) {
    LoadResult r = LoadFirmwareImage(WriteFile(dir_.File("tiny.fw"), "Qu"));
    ASSERT_NE(r.image, nullptr);
    EXPECT_EQ(r.fileSize, 2);
    EXPECT_EQ(r.image->data()[firmware::kHeaderAreaSize - 1], 0);
    EXPECT_EQ(ModelFromHeader(r.image->data()), 0);
}

TEST_F(FirmwareLoader, PathsLongerThan256CharactersLoad) {
    std::filesystem::path deep = dir_.path();
    while (deep.string().size() < 400)
        deep /= std::string(60, 'd');
    std::filesystem::create_directories(deep);
    const std::string path = (deep / "firmware-with-a-long-name.fw").string();
    ASSERT_GT(path.size(), 256u);
    LoadResult r = LoadFirmwareImage(WriteFile(path, FirmwareBytes()));
    ASSERT_NE(r.image, nullptr);
    EXPECT_EQ(r.fileSize, firmware::kFileSize);
}

TEST_F(FirmwareLoader, InspectJudgesLikeTheUpdate) {
    auto bytes = FirmwareBytes(firmware::kHeaderRm520, "0105");
    std::fill(bytes.begin() + firmware::kBodyOffset, bytes.end(), 0);
    bytes[firmware::kBodyOffset + 0] = 0x34;
    bytes[firmware::kBodyOffset + 1] = 0x12;
    bytes[firmware::kBodyOffset + 0x60000 + 2] = 0xCD;  // upper word of B's first 32 bits
    bytes[firmware::kBodyOffset + 0x60000 + 3] = 0xAB;
    LoadResult r = LoadFirmwareImage(WriteFile(dir_.File("c.fw"), bytes));
    ASSERT_NE(r.image, nullptr);
    const FirmwareVerdict v = InspectFirmware(*r.image, r.fileSize);
    EXPECT_TRUE(v.Passes());
    EXPECT_EQ(v.model, 105);
    EXPECT_EQ(std::string(v.version.begin(), v.version.end()), "0105");
    EXPECT_EQ(v.checkA, 0x1234);
    EXPECT_EQ(v.checkB, 0xABCD);

    bytes.push_back(0);
    LoadResult longer = LoadFirmwareImage(WriteFile(dir_.File("d.fw"), bytes));
    EXPECT_FALSE(InspectFirmware(*longer.image, longer.fileSize).Passes());
    LoadResult foreign = LoadFirmwareImage(WriteFile(dir_.File("e.fw"), FirmwareBytes("Other")));
    const FirmwareVerdict f = InspectFirmware(*foreign.image, foreign.fileSize);
    EXPECT_FALSE(f.Passes());
    EXPECT_EQ(f.model, 0);
    EXPECT_TRUE(f.sizeOk);
}

}  // namespace
}  // namespace rm525
