#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace rm525 {

// The firmware file's bytes in one owner-held, zero-filled buffer; the body
// starts at offset 128. The buffer is never smaller than the file's 128-byte
// header area, so a short file reads as zeros there instead of past its end.
class FirmwareImage {
public:
    // An image holding `loadedSize` bytes (all zero until filled).
    explicit FirmwareImage(size_t loadedSize);
    ~FirmwareImage();
    FirmwareImage(const FirmwareImage&) = delete;
    FirmwareImage& operator=(const FirmwareImage&) = delete;

    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    // Bytes read from the file (at most the firmware file size plus one).
    size_t loadedSize() const { return loadedSize_; }

    // Images alive in this process, so that tests can prove every image freed.
    static int LiveCount();

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t loadedSize_;
};

}  // namespace rm525
