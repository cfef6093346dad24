// The image pointer array and the sound helper conversions.
#include "framework/platform/image_ptr_array.h"
#include "framework/platform/sound_support.h"
#include "tests/support/framework_fixture.h"

#include <cmath>
#include <limits>

namespace {

using ImagePtrArrayTest = testsupport::FrameworkTest;

TEST_F(ImagePtrArrayTest, GrowsKeepsEntriesAndSurvivesFailure) {
    OmImagePtrArray array{nullptr, 0, 0, 4};
    int values[6];
    for (int i = 0; i < 6; ++i) {
        if (array.count == array.capacity) {
            ASSERT_EQ(OmImagePtrArrayGrow(&array), 1);
        }
        array.data[array.count++] = &values[i];
    }
    EXPECT_EQ(array.capacity, 8);
    platform::fail_allocation_after(1);
    void** before = array.data;
    EXPECT_EQ(OmImagePtrArrayGrow(&array), 0);
    EXPECT_EQ(array.data, before);
    EXPECT_EQ(array.capacity, 8);

    ASSERT_EQ(OmImagePtrArrayResize(&array, 3), 1);
    EXPECT_EQ(array.count, 3) << "entries beyond a smaller capacity are dropped";
    for (int i = 0; i < 3; ++i) EXPECT_EQ(array.data[i], &values[i]);
    EXPECT_EQ(OmImagePtrArrayResize(&array, -1), 0);
    OmImagePtrArrayFree(&array);
    EXPECT_EQ(array.data, nullptr);
    EXPECT_EQ(array.count, 0);
    EXPECT_EQ(array.capacity, 0);
}

TEST(SoundSupportTest, VolumeInHundredthsOfADecibel) {
    struct Row {
        float volume;
        int32_t expected;
    };
    const Row rows[] = {{1.0f, 0},        {2.0f, 0},
                        {0.5f, -599},     {0.0f, -7972},
                        {0.0001f, -7972}, {-3.0f, -7972},
                        {0.1f, -1993},    {std::numeric_limits<float>::quiet_NaN(), -7972}};
    for (const Row& row : rows)
        EXPECT_EQ(OmVolumeToHundredthsDb(row.volume), row.expected) << row.volume;
}

TEST(SoundSupportTest, WaveFormatCodes) {
    WAVEFORMATEX format{};
    ASSERT_EQ(OmWaveFormatFromCode(0x0010FF02, 22050, &format), 0) << "bits 8-15 play no part";
    EXPECT_EQ(format.format_tag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.bits_per_sample, 16);
    EXPECT_EQ(format.block_align, 4);
    EXPECT_EQ(format.average_bytes_per_second, 88200u);
    EXPECT_EQ(format.extra_size, 0);

    uint32_t code = 0, rate = 0;
    ASSERT_EQ(OmWaveFormatToCode(&format, &code, &rate), 0);
    EXPECT_EQ(code, 0x1100102u);
    EXPECT_EQ(rate, 22050u);
    ASSERT_EQ(OmWaveFormatFromCode(0x80101, 11025, &format), 0);
    ASSERT_EQ(OmWaveFormatToCode(&format, &code, &rate), 0);
    EXPECT_EQ(code, 0x80101u);
    format.bits_per_sample = 24;
    code = 77;
    ASSERT_EQ(OmWaveFormatToCode(&format, &code, &rate), 0);
    EXPECT_EQ(code, 77u) << "other sizes leave the code alone";
}

} // namespace
