// SoundProcessor: depth conversion, copying, resampling, channel extraction and insertion,
// mixing, the chained Convert (also under failing allocations) and the one instance.
#include "sound/processing/sound_processor.h"

#include "framework/core/heap.h"
#include "platform/fault_injection.h"
#include "tests/sound/sound_file_support.h"

namespace {

using namespace soundtest;

class SoundProcessorTest : public SoundFileTest {
protected:
    void SetUp() override {
        SoundFileTest::SetUp();
        ASSERT_EQ(OmCreate(CLSID_SoundProcessor, IID_ISoundProcessor, processor_.put()), OM_S_OK);
    }
    void TearDown() override {
        processor_.reset();
        SoundFileTest::TearDown();
    }
    ComRef<ISoundProcessor> processor_;
};

ComRef<ISound> with_samples(uint32_t code, uint32_t hz, std::vector<int32_t> values) {
    const uint32_t length = uint32_t(values.size() / sound_format_channels(code));
    return plain_sound(code, length, hz, [&](size_t i) { return values[i]; });
}

TEST_F(SoundProcessorTest, OneInstanceWhileReferenced) {
    ComRef<ISoundProcessor> second;
    ASSERT_EQ(OmCreate(CLSID_SoundProcessor, IID_ISoundProcessor, second.put()), OM_S_OK);
    EXPECT_EQ(second.get(), processor_.get());
    void* other = nullptr;
    EXPECT_EQ(processor_->QueryInterface(IID_ISound, &other), OM_E_NOINTERFACE);
    ComRef<IUnknown> unknown;
    EXPECT_EQ(processor_->QueryInterface(IID_IUnknown, unknown.put_void()), OM_S_OK);
}

TEST_F(SoundProcessorTest, ConvertBitsFlipsTheTopBitWhenOneSideIsSigned) {
    struct Row {
        uint32_t from;
        int32_t sample;
        uint32_t to;
        int32_t expected;
    } rows[] = {
        {SOUND_FORMAT_MONO8, 0x80, SOUND_FORMAT_MONO16, 0},
        {SOUND_FORMAT_MONO8, 0x00, SOUND_FORMAT_MONO16, -32768},
        {SOUND_FORMAT_MONO8, 0xFF, SOUND_FORMAT_MONO16, 0x7F00},
        {SOUND_FORMAT_MONO16, 0x7FFF, SOUND_FORMAT_MONO8, 0xFF},
        {SOUND_FORMAT_MONO16, -32768, SOUND_FORMAT_MONO8, 0x00},
        {SOUND_FORMAT_MONO16, -1234, SOUND_FORMAT_MONO16, -1234},
        {SOUND_FORMAT_MONO8, 0x37, SOUND_FORMAT_MONO8, 0x37},
    };
    for (const Row& row : rows) {
        auto source = with_samples(row.from, 11025, {row.sample, row.sample});
        auto destination = plain_sound(row.to, 2, 22050);
        ASSERT_EQ(processor_->ConvertBits(destination.get(), source.get()), OM_S_OK);
        EXPECT_EQ(samples_of(destination.get()), (std::vector<int32_t>{row.expected, row.expected}))
            << std::hex << row.from << " " << row.sample << " -> " << row.to;
        EXPECT_EQ(frequency_of(destination.get()), 11025);
    }
}

TEST_F(SoundProcessorTest, RefusedCallsLeaveTheDestinationAsItWas) {
    auto mono16 = with_samples(SOUND_FORMAT_MONO16, 8000, {1, 2, 3, 4});
    auto stereo16 = with_samples(SOUND_FORMAT_STEREO16, 8000, {1, 2, 3, 4, 5, 6, 7, 8});
    auto mono8 = with_samples(SOUND_FORMAT_MONO8, 8000, {1, 2, 3, 4});
    auto short16 = with_samples(SOUND_FORMAT_MONO16, 8000, {1, 2});
    auto long8 = with_samples(SOUND_FORMAT_MONO8, 8000, {1, 2, 3, 4, 5});
    auto stereo8 = with_samples(SOUND_FORMAT_STEREO8, 8000, {1, 2, 3, 4, 5, 6, 7, 8});
    ISoundProcessor* p = processor_.get();
    struct Row {
        const char* what;
        ISound* destination;
        std::function<OmResult(ISound*)> call;
    } rows[] = {
        {"bits: lengths differ", short16.get(),
         [&](ISound* d) { return p->ConvertBits(d, mono8.get()); }},
        {"bits: channels differ", mono16.get(),
         [&](ISound* d) { return p->ConvertBits(d, stereo16.get()); }},
        {"copy: codes differ", mono16.get(), [&](ISound* d) { return p->Copy(d, mono8.get()); }},
        {"copy: destination shorter", short16.get(),
         [&](ISound* d) { return p->Copy(d, mono16.get()); }},
        {"resample: not 16-bit mono", mono8.get(),
         [&](ISound* d) { return p->Resample(d, mono16.get()); }},
        {"resample: stereo source", mono16.get(),
         [&](ISound* d) { return p->Resample(d, stereo16.get()); }},
        {"extract: stereo destination", stereo16.get(),
         [&](ISound* d) { return p->ExtractChannel(d, 0, stereo16.get()); }},
        {"extract: depth differs", mono8.get(),
         [&](ISound* d) { return p->ExtractChannel(d, 0, stereo16.get()); }},
        {"extract: channel out of range", mono16.get(),
         [&](ISound* d) { return p->ExtractChannel(d, 2, stereo16.get()); }},
        {"extract: destination shorter", short16.get(),
         [&](ISound* d) { return p->ExtractChannel(d, 0, stereo16.get()); }},
        {"insert: stereo source", stereo16.get(),
         [&](ISound* d) { return p->InsertChannel(d, 0, stereo16.get()); }},
        {"insert: channel out of range", stereo16.get(),
         [&](ISound* d) { return p->InsertChannel(d, 2, mono16.get()); }},
        {"insert: destination shorter", stereo8.get(),
         [&](ISound* d) { return p->InsertChannel(d, 0, long8.get()); }},
        {"mix: 8-bit destination", mono8.get(),
         [&](ISound* d) { return p->MixToMono(d, stereo8.get()); }},
        {"mix: lengths differ", short16.get(),
         [&](ISound* d) { return p->MixToMono(d, stereo16.get()); }},
    };
    for (Row& row : rows) {
        const auto before = samples_of(row.destination);
        row.destination->SetParamInt(SOUND_INT_FREQUENCY, 1234);
        EXPECT_EQ(row.call(row.destination), OM_E_FAIL) << row.what;
        EXPECT_EQ(samples_of(row.destination), before) << row.what;
        EXPECT_EQ(frequency_of(row.destination), 1234) << row.what;
    }
    EXPECT_EQ(p->Copy(nullptr, mono16.get()), OM_E_FAIL);
    EXPECT_EQ(p->Convert(mono16.get(), nullptr), OM_E_FAIL);
}

TEST_F(SoundProcessorTest, CopyFillsTheStartOfALongerDestination) {
    auto source = with_samples(SOUND_FORMAT_STEREO8, 9000, {1, 2, 3, 4});
    auto destination = plain_sound(SOUND_FORMAT_STEREO8, 3, 100, [](size_t) { return 9; });
    ASSERT_EQ(processor_->Copy(destination.get(), source.get()), OM_S_OK);
    EXPECT_EQ(samples_of(destination.get()), (std::vector<int32_t>{1, 2, 3, 4, 9, 9}));
    EXPECT_EQ(frequency_of(destination.get()), 9000);
}

TEST_F(SoundProcessorTest, ResampleInterpolatesAndEndsOnTheLastSourceSample) {
    auto source = with_samples(SOUND_FORMAT_MONO16, 11025, {0, 100, -100, 50});
    auto destination = plain_sound(SOUND_FORMAT_MONO16, 8, 1);
    ASSERT_EQ(processor_->Resample(destination.get(), source.get()), OM_S_OK);
    EXPECT_EQ(frequency_of(destination.get()), 22050);
    EXPECT_EQ(samples_of(destination.get()),
              (std::vector<int32_t>{0, 50, 100, 0, -100, -25, 50, 50}));

    auto one = with_samples(SOUND_FORMAT_MONO16, 8000, {-7});
    ASSERT_EQ(processor_->Resample(destination.get(), one.get()), OM_S_OK);
    EXPECT_EQ(samples_of(destination.get()), std::vector<int32_t>(8, -7));
    EXPECT_EQ(frequency_of(destination.get()), 64000);
}

TEST_F(SoundProcessorTest, ResampleRateRoundsTheProductToFloat) {
    struct Row {
        uint32_t source_length, source_rate, destination_length;
        intptr_t expected;
    } rows[] = {
        {44100, 44100, 22050, 22049}, // float(22050 x 44100) is below the exact product
        // Ten seconds halved: the product needs more than 32 bits.
        {441000, 44100, 220500, intptr_t(double(float(220500.0 * 44100.0)) / 441000.0)},
    };
    for (const Row& row : rows) {
        auto source = plain_sound(SOUND_FORMAT_MONO16, row.source_length, row.source_rate);
        auto destination = plain_sound(SOUND_FORMAT_MONO16, row.destination_length, 1);
        ASSERT_EQ(processor_->Resample(destination.get(), source.get()), OM_S_OK);
        EXPECT_EQ(frequency_of(destination.get()), row.expected) << row.source_length;
    }
    EXPECT_NEAR(double(rows[1].expected), 22050.0, 1.0);
}

TEST_F(SoundProcessorTest, ResampleNeverReadsPastTheSource) {
    // Past 2^24 a float position moves by whole steps of 2, so the accumulated position runs
    // well beyond the last source sample before the destination ends.
    constexpr uint32_t source_length = 17000000, destination_length = 16999990;
    auto source = plain_sound(SOUND_FORMAT_MONO16, source_length, 44100,
                              [](size_t i) { return i + 1 == source_length ? 4321 : 0; });
    auto destination = plain_sound(SOUND_FORMAT_MONO16, destination_length, 1);
    ASSERT_EQ(processor_->Resample(destination.get(), source.get()), OM_S_OK);
    void* memory = nullptr;
    ASSERT_EQ(destination->Lock(2, &memory), OM_S_OK);
    const auto* d = static_cast<const int16_t*>(memory);
    EXPECT_EQ(d[destination_length - 2], 4321) << "clamped to the last source sample";
    EXPECT_EQ(d[destination_length - 1], 4321);
    destination->Unlock();
}

TEST_F(SoundProcessorTest, MixToMonoRoundsTowardMinusInfinity) {
    struct Row {
        uint32_t code;
        std::vector<int32_t> frame;
        int32_t expected;
    } rows[] = {
        {SOUND_FORMAT_STEREO16, {-3, 0}, -2},
        {SOUND_FORMAT_MONO16 + 2, {-1, -1, -2}, -2},
        {SOUND_FORMAT_STEREO16, {3, 4}, 3},
        {SOUND_FORMAT_STEREO16, {-32768, -32768}, -32768},
        {SOUND_FORMAT_STEREO16, {32767, 32767}, 32767},
    };
    for (const Row& row : rows) {
        auto source = with_samples(row.code, 8000, row.frame);
        auto destination = plain_sound(SOUND_FORMAT_MONO16, 1, 1);
        ASSERT_EQ(processor_->MixToMono(destination.get(), source.get()), OM_S_OK);
        EXPECT_EQ(samples_of(destination.get())[0], row.expected) << row.frame[0];
        EXPECT_EQ(frequency_of(destination.get()), 8000);
    }
}

TEST_F(SoundProcessorTest, ExtractAndInsertMoveOneChannel) {
    auto stereo = with_samples(SOUND_FORMAT_STEREO8, 7000, {1, 2, 3, 4, 5, 6});
    auto mono = plain_sound(SOUND_FORMAT_MONO8, 3, 1);
    ASSERT_EQ(processor_->ExtractChannel(mono.get(), 1, stereo.get()), OM_S_OK);
    EXPECT_EQ(samples_of(mono.get()), (std::vector<int32_t>{2, 4, 6}));
    EXPECT_EQ(frequency_of(mono.get()), 7000);

    auto target = with_samples(SOUND_FORMAT_STEREO16, 1, {10, 20, 30, 40, 50, 60});
    auto channel = with_samples(SOUND_FORMAT_MONO16, 5000, {-1, -2, -3});
    ASSERT_EQ(processor_->InsertChannel(target.get(), 0, channel.get()), OM_S_OK);
    EXPECT_EQ(samples_of(target.get()), (std::vector<int32_t>{-1, 20, -2, 40, -3, 60}));
    EXPECT_EQ(frequency_of(target.get()), 5000);
}

TEST_F(SoundProcessorTest, ConvertChainsDepthLengthAndChannels) {
    const uint32_t quad16 = SOUND_FORMAT_MONO16 + 3;
    struct Row {
        const char* what;
        uint32_t from;
        std::vector<int32_t> samples;
        uint32_t to;
        uint32_t to_length;
        std::vector<int32_t> expected;
        intptr_t expected_rate;
    } rows[] = {
        {"8-bit stereo mixed to 16-bit mono after widening",
         SOUND_FORMAT_STEREO8,
         {0x80 + 10, 0x80 - 20, 0x80, 0x81},
         SOUND_FORMAT_MONO16,
         2,
         {-1280, 128},
         11025},
        {"same shape, depth only",
         SOUND_FORMAT_MONO16,
         {0x7FFF, -32768},
         SOUND_FORMAT_MONO8,
         2,
         {0xFF, 0x00},
         11025},
        {"mono doubled in length fills both channels",
         SOUND_FORMAT_MONO16,
         {0, 100, -100, 50},
         SOUND_FORMAT_STEREO16,
         8,
         {0, 0, 50, 50, 100, 100, 0, 0, -100, -100, -25, -25, 50, 50, 50, 50},
         22050},
        {"stereo resampled per channel",
         SOUND_FORMAT_STEREO16,
         {0, 1000, 100, 2000},
         SOUND_FORMAT_STEREO16,
         4,
         {0, 1000, 50, 1500, 100, 2000, 100, 2000},
         22050},
        {"8-bit mono widened then resampled",
         SOUND_FORMAT_MONO8,
         {0x80, 0x90},
         SOUND_FORMAT_MONO16,
         4,
         {0, 2048, 4096, 4096},
         22050},
        {"two channels into four take 0, 0, 1, 1",
         SOUND_FORMAT_STEREO16,
         {1, 2},
         quad16,
         1,
         {1, 1, 2, 2},
         11025},
        {"four channels into two take 0 and 2",
         quad16,
         {1, 2, 3, 4},
         SOUND_FORMAT_STEREO16,
         1,
         {1, 3},
         11025},
    };
    for (const Row& row : rows) {
        auto source = with_samples(row.from, 11025, row.samples);
        auto destination = plain_sound(row.to, row.to_length, 1);
        ASSERT_EQ(processor_->Convert(destination.get(), source.get()), OM_S_OK) << row.what;
        EXPECT_EQ(samples_of(destination.get()), row.expected) << row.what;
        EXPECT_EQ(frequency_of(destination.get()), row.expected_rate) << row.what;
    }
}

TEST_F(SoundProcessorTest, ConvertReleasesEverythingWhenAnAllocationFails) {
    auto source = plain_sound(SOUND_FORMAT_STEREO8, 300, 44100, [](size_t i) { return i * 7; });
    auto expected_destination = plain_sound(SOUND_FORMAT_MONO16, 150, 1);
    ASSERT_EQ(processor_->Convert(expected_destination.get(), source.get()), OM_S_OK);
    const auto expected = samples_of(expected_destination.get());
    bool fired = true;
    for (uint64_t n = 1; fired && n < 100; ++n) {
        auto destination = plain_sound(SOUND_FORMAT_MONO16, 150, 1);
        const int64_t live = om_heap_live_blocks();
        platform::fail_allocation_after(n);
        OmResult r = processor_->Convert(destination.get(), source.get());
        fired = platform::allocation_fault_fired();
        platform::reset_allocation_faults();
        EXPECT_EQ(om_heap_live_blocks(), live) << "allocation " << n;
        if (fired) {
            EXPECT_EQ(r, OM_E_OUTOFMEMORY) << "allocation " << n;
        } else {
            ASSERT_EQ(r, OM_S_OK);
            EXPECT_EQ(samples_of(destination.get()), expected);
            EXPECT_GT(n, 4u) << "every temporary was tried";
        }
    }
    EXPECT_FALSE(fired);
}

} // namespace
