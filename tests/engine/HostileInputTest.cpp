// Files whose headers claim absurd sizes are measured but never decoded, so a few bytes
// cannot take all the memory or hours of work; and controls on separate threads do not meet.
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "engine/ImagingControl.h"
#include "tests/support/TestImages.h"
#include "tests/support/TempFolder.h"

namespace kovi {
namespace {

using testing::ColourRamp;
using vips::VImage;

void PutBe16(std::string& bytes, std::size_t at, unsigned value) {
    bytes[at] = static_cast<char>(value >> 8);
    bytes[at + 1] = static_cast<char>(value & 0xFF);
}
void PutBe32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
}
void PutLe16(std::string& bytes, std::size_t at, unsigned value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}
void PutLe32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

std::uint32_t Crc32(const std::string& bytes, std::size_t from, std::size_t count) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < from + count; ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string Encoded(const VImage& image, const char* suffix) {
    void* buffer = nullptr;
    std::size_t length = 0;
    image.write_to_buffer(suffix, &buffer, &length);
    std::string bytes(static_cast<const char*>(buffer), length);
    g_free(buffer);
    return bytes;
}

// A small image whose header claims the given size.
std::string JpegClaiming(unsigned width, unsigned height) {
    std::string bytes = Encoded(ColourRamp(64, 48), ".jpg");
    const auto frame = bytes.find("\xFF\xC0");
    PutBe16(bytes, frame + 5, height);
    PutBe16(bytes, frame + 7, width);
    return bytes;
}

std::string PngClaiming(std::uint32_t width, std::uint32_t height) {
    std::string bytes = Encoded(ColourRamp(64, 48), ".png");
    PutBe32(bytes, 16, width);
    PutBe32(bytes, 20, height);
    PutBe32(bytes, 29, Crc32(bytes, 12, 17));
    return bytes;
}

// Both the screen and the first frame claim the size.
std::string GifClaiming(unsigned width, unsigned height) {
    std::string bytes = Encoded(ColourRamp(64, 48), ".gif");
    PutLe16(bytes, 6, width);
    PutLe16(bytes, 8, height);
    const auto flags = static_cast<unsigned char>(bytes[10]);
    std::size_t at = 13 + ((flags & 0x80) != 0 ? 3u << ((flags & 7) + 1) : 0);
    while (bytes[at] == '\x21') { // extensions: label, then sub-blocks up to an empty one
        at += 2;
        while (bytes[at] != 0)
            at += static_cast<unsigned char>(bytes[at]) + 1u;
        at += 1;
    }
    PutLe16(bytes, at + 5, width);
    PutLe16(bytes, at + 7, height);
    return bytes;
}

std::string BmpClaiming(std::uint32_t width, std::uint32_t height) {
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLe32(bytes, 2, 54);
    PutLe32(bytes, 10, 54);
    PutLe32(bytes, 14, 40);
    PutLe32(bytes, 18, width);
    PutLe32(bytes, 22, height);
    PutLe16(bytes, 26, 1);
    PutLe16(bytes, 28, 24);
    return bytes;
}

struct ClaimCase {
    const char* name;
    const char* file;
    std::function<std::string()> bytes;
    int width;
    int height;
};

const ClaimCase kClaimCases[] = {
    {"jpeg 60000x60000", "huge.jpg", [] { return JpegClaiming(60000, 60000); }, 60000, 60000},
    {"png 100000x100000", "huge.png", [] { return PngClaiming(100000, 100000); }, 100000, 100000},
    {"gif 65535x65535", "huge.gif", [] { return GifClaiming(65535, 65535); }, 65535, 65535},
    {"bmp 100000x100000", "huge.bmp", [] { return BmpClaiming(100000, 100000); }, 100000, 100000},
};

class HugeClaimTest : public ::testing::TestWithParam<ClaimCase> {};

TEST_P(HugeClaimTest, IsMeasuredButRefusedForDecoding) {
    const ClaimCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    const std::string bytes = c.bytes();
    testing::WriteBytes(path, bytes);

    ImagingControl control;
    control.SetLoadPath(path);
    ASSERT_EQ(control.ImageWidth(), c.width);
    ASSERT_EQ(control.ImageHeight(), c.height);
    EXPECT_FALSE(control.ResizeImage(640, 480));
    EXPECT_NE(control.LastError().find("too large"), std::string::npos) << control.LastError();
    control.SetSavePath(path);
    EXPECT_FALSE(control.SaveImage());
    EXPECT_FALSE(control.Preview(128).has_value());
    EXPECT_EQ(testing::ReadBytes(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(Headers, HugeClaimTest, ::testing::ValuesIn(kClaimCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(HostileInputTest, ControlsOnSeparateThreadsWorkSideBySide) {
    testing::TempFolder folder;
    constexpr int kThreads = 4;
    for (int i = 0; i < kThreads; ++i)
        ColourRamp(800 + i, 600)
            .jpegsave((folder / ("photo" + std::to_string(i) + ".jpg")).c_str());

    std::vector<int> widths(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            const auto path = folder / ("photo" + std::to_string(i) + ".jpg");
            for (int round = 0; round < 3; ++round) {
                ImagingControl control;
                control.SetLoadPath(path);
                if (control.ResizeImage(control.ImageWidth() - 100, control.ImageHeight() - 75)) {
                    control.SetSavePath(path);
                    control.SaveImage();
                }
            }
            ImagingControl control;
            control.SetLoadPath(path);
            widths[static_cast<std::size_t>(i)] = control.ImageWidth();
        });
    for (auto& thread : threads)
        thread.join();
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(widths[static_cast<std::size_t>(i)], 800 + i - 300);
}

} // namespace
} // namespace kovi
