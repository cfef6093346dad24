// The printable line code: triplets, lines, and the bounds of encoder and decoder.
#include "framework/io/line_code.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LineCode, TripletsBecomeFourCharactersWithoutBlanks) {
    struct Row {
        uint8_t bytes[3];
        const char* text;
        uint32_t checksum;
    };
    const Row rows[] = {{{0, 0, 0}, "````", 0},
                        {{1, 2, 3}, "!(P`", 1 + 8 + 48},
                        {{0xFF, 0xFF, 0xFF}, "____", 4 * 63}};
    for (const Row& row : rows) {
        char four[4];
        uint32_t checksum = 0;
        OmEncodeTriplet(row.bytes, four, &checksum);
        EXPECT_EQ(std::string(four, 4), row.text);
        EXPECT_EQ(checksum, row.checksum);
        uint8_t back[3];
        checksum = 0;
        OmDecodeQuad(four, back, &checksum);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 3),
                  std::string(reinterpret_cast<const char*>(row.bytes), 3));
        EXPECT_EQ(checksum, row.checksum);
    }
}

TEST(LineCode, LineHasLengthGroupsAndChecksum) {
    const uint8_t bytes[] = {1, 2, 3, 4};
    char line[OM_LINE_MAX_CHARS];
    ASSERT_EQ(OmEncodeLine(bytes, 4, line), 1u + 8 + 1);
    // The second group holds 4 and two zero bytes: values 4, 0, 0, 0.
    EXPECT_EQ(std::string(line, 10), std::string("$!(P`$```") + char((1 + 8 + 48 + 4) + 32));
    EXPECT_EQ(OmEncodeLine(nullptr, 0, line), 2u);
    EXPECT_EQ(std::string(line, 2), "  ") << "the empty line: length and checksum are blanks";
    EXPECT_EQ(OmEncodeLine(bytes, OM_LINE_MAX_BYTES + 1, line), 0u);
}

TEST(LineCode, DecoderStoresExactlyTheAnnouncedBytes) {
    const uint8_t bytes[] = {9, 8, 7, 6, 5};
    char line[OM_LINE_MAX_CHARS];
    OmEncodeLine(bytes, 5, line);
    ASSERT_EQ(OmLineLength(line[0]), 5u);
    uint8_t out[8];
    std::fill(std::begin(out), std::end(out), 0xAA);
    ASSERT_EQ(OmDecodeLine(line + 1, 5, out, 5, nullptr), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 5),
              std::string(reinterpret_cast<const char*>(bytes), 5));
    EXPECT_EQ(out[5], 0xAA) << "nothing beyond the announced length is written";
    EXPECT_EQ(OmDecodeLine(line + 1, 5, out, 4, nullptr), OM_E_FAIL);
    EXPECT_EQ(OmDecodeLine(line + 1, 46, out, 100, nullptr), OM_E_FAIL);
}

} // namespace
