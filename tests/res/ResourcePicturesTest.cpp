#include "resource.h"

#include "resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace {

std::uint32_t BigEndian32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint32_t LittleEndian32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint16_t LittleEndian16(const unsigned char* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

struct PngHeader {
    std::uint32_t width, height;
    int bitDepth, colourType;
};

constexpr int kPngPalette = 3;
constexpr int kPngRgba = 6;

// The image header of a PNG file; nothing when the bytes do not start like one.
std::optional<PngHeader> ReadPngHeader(const ResourceBytes& bytes) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.data == nullptr || bytes.size < 33 || std::memcmp(bytes.data, kSignature, 8) != 0) {
        return std::nullopt;
    }
    const unsigned char* chunk = bytes.data + 8;
    if (BigEndian32(chunk) != 13 || std::memcmp(chunk + 4, "IHDR", 4) != 0) {
        return std::nullopt;
    }
    const unsigned char* ihdr = chunk + 8;
    return PngHeader{BigEndian32(ihdr), BigEndian32(ihdr + 4), ihdr[8], ihdr[9]};
}

struct BmpHeader {
    std::int32_t width, height;
    int bitCount;
    std::uint32_t compression;
};

// The headers of a BMP file, after checking that its sizes agree with the bytes at hand.
std::optional<BmpHeader> ReadBmpHeader(const ResourceBytes& bytes) {
    if (bytes.data == nullptr || bytes.size < 54 || bytes.data[0] != 'B' || bytes.data[1] != 'M') {
        return std::nullopt;
    }
    const unsigned char* p = bytes.data;
    const std::uint32_t pixelOffset = LittleEndian32(p + 10);
    if (LittleEndian32(p + 2) != bytes.size || LittleEndian32(p + 14) < 40 || pixelOffset > bytes.size) {
        return std::nullopt;
    }
    BmpHeader header{std::int32_t(LittleEndian32(p + 18)), std::int32_t(LittleEndian32(p + 22)), LittleEndian16(p + 28),
                     LittleEndian32(p + 30)};
    const std::uint64_t stride = (std::uint64_t(header.width) * header.bitCount + 31) / 32 * 4;
    const std::uint64_t rows = header.height < 0 ? -std::int64_t(header.height) : header.height;
    if (pixelOffset + stride * rows > bytes.size) {
        return std::nullopt;
    }
    return header;
}

std::vector<unsigned char> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ProgramIcon, HoldsTwo48PixelPngImagesRichestFirst) {
    const std::vector<ResourceBytes> images = AfxFindIconResource(IDR_MAINFRAME);
    ASSERT_EQ(images.size(), 2u);
    struct Expected {
        int bitDepth, colourType;
    };
    const Expected expected[] = {{8, kPngRgba}, {8, kPngPalette}};
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::optional<PngHeader> header = ReadPngHeader(images[i]);
        ASSERT_TRUE(header.has_value()) << "image " << i << " is not a PNG";
        EXPECT_EQ(header->width, 48u) << i;
        EXPECT_EQ(header->height, 48u) << i;
        EXPECT_EQ(header->bitDepth, expected[i].bitDepth) << i;
        EXPECT_EQ(header->colourType, expected[i].colourType) << i;
    }
}

TEST(AboutBitmap, IsA24BitPictureOf326By150) {
    const std::optional<BmpHeader> header = ReadBmpHeader(AfxFindBitmapResource(IDB_ABOUT));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, 326);
    EXPECT_EQ(header->height, 150) << "bottom-up rows, as every viewer reads them";
    EXPECT_EQ(header->bitCount, 24);
    EXPECT_EQ(header->compression, 0u);
}

TEST(SkinBitmap, IsAnUncompressed24BitPicture) {
    const std::vector<unsigned char> file = ReadFile(ZELVO_SKIN_BITMAP);
    const std::optional<BmpHeader> header = ReadBmpHeader({file.data(), file.size()});
    ASSERT_TRUE(header.has_value());
    EXPECT_GT(header->width, 0);
    EXPECT_GT(header->height, 0);
    EXPECT_EQ(header->bitCount, 24);
    EXPECT_EQ(header->compression, 0u);
}

TEST(PictureResources, UnknownIdsGiveNothing) {
    EXPECT_TRUE(AfxFindIconResource(IDB_ABOUT).empty());
    EXPECT_TRUE(AfxFindIconResource(0).empty());
    EXPECT_EQ(AfxFindBitmapResource(IDR_MAINFRAME).data, nullptr);
    EXPECT_EQ(AfxFindBitmapResource(IDR_MAINFRAME).size, 0u);
}

} // namespace
