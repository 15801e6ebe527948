// openal_output_test.cpp: the OpenAL sound output (platform/backends/openal) on OpenAL Soft's
// null device, with and without AL_SOFT_deferred_updates. The linker's --wrap sends the backend's
// extension query here, which can deny the extension as Emscripten's OpenAL does, and its
// source creation, which records the sources so that the test can read what reached them.
#include "platform/backends/audio_output.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

bool denyDeferredUpdates = false;
std::vector<ALuint> madeSources;

} // namespace

extern "C" {
ALboolean __real_alIsExtensionPresent(const ALchar* name);
void __real_alGenSources(ALsizei count, ALuint* sources);

ALboolean __wrap_alIsExtensionPresent(const ALchar* name) {
    if (denyDeferredUpdates && std::strcmp(name, "AL_SOFT_deferred_updates") == 0)
        return AL_FALSE;
    return __real_alIsExtensionPresent(name);
}

void __wrap_alGenSources(ALsizei count, ALuint* sources) {
    __real_alGenSources(count, sources);
    madeSources.insert(madeSources.end(), sources, sources + count);
}
}

namespace {

struct Position {
    ALfloat x, y, z;
    bool operator==(const Position&) const = default;
};

Position sourcePosition(ALuint source) {
    Position p{};
    alGetSource3f(source, AL_POSITION, &p.x, &p.y, &p.z);
    return p;
}

Position listenerPosition() {
    Position p{};
    alGetListener3f(AL_POSITION, &p.x, &p.y, &p.z);
    return p;
}

VoicePlacement placedAt(float x, float y, float z, float minDistance = 1.0f) {
    return {false, {x, y, z}, minDistance, 100.0f, 1.0f};
}

ListenerPlacement listenerAt(float x, float y, float z, float doppler = 1.0f) {
    return {{x, y, z}, {0, 0, 1}, {0, 1, 0}, doppler};
}

// An output with a store and two voices, the extension denied or not.
class OpenAlOutput : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        denyDeferredUpdates = GetParam();
        madeSources.clear();
        output = openAudioOutput();
        ASSERT_NE(output, nullptr) << "no OpenAL device (the test runs on ALSOFT_DRIVERS=null)";
        store = createSampleStore(output);
        ASSERT_NE(store, nullptr);
        const int16_t samples[64] = {};
        ASSERT_TRUE(
            fillSampleStore(store, {SampleEncoding::signed16, 1, 22050}, samples, sizeof samples));
        first = createVoice(output, store);
        second = createVoice(output, store);
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        ASSERT_EQ(madeSources.size(), 2u);
    }
    void TearDown() override {
        if (second != nullptr)
            destroyVoice(second);
        if (first != nullptr)
            destroyVoice(first);
        if (store != nullptr)
            destroySampleStore(store);
        if (output != nullptr)
            closeAudioOutput(output);
        denyDeferredUpdates = false;
    }

    bool holdsItself() const { return GetParam(); }

    AudioOutput* output = nullptr;
    SampleStore* store = nullptr;
    Voice* first = nullptr;
    Voice* second = nullptr;
};

TEST_P(OpenAlOutput, ABatchArrivesWholeAtItsEndInOpenAlsCoordinates) {
    beginOutputBatch(output);
    placeListener(output, listenerAt(1, 2, 3, 0.5f));
    placeVoice(first, placedAt(4, 5, 6, 2.0f));
    placeVoice(second, placedAt(7, 8, 9));
    placeVoice(first, placedAt(10, 11, 12, 3.0f)); // the last placement counts
    if (holdsItself()) {
        // Nothing has reached OpenAL yet.
        EXPECT_EQ(listenerPosition(), (Position{0, 0, 0}));
        EXPECT_EQ(sourcePosition(madeSources[0]), (Position{0, 0, 0}));
        EXPECT_EQ(sourcePosition(madeSources[1]), (Position{0, 0, 0}));
        EXPECT_EQ(alGetFloat(AL_DOPPLER_FACTOR), 1.0f);
    }
    endOutputBatch(output);
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
    // z turns round: DirectSound's left-handed space in OpenAL's right-handed one.
    EXPECT_EQ(listenerPosition(), (Position{1, 2, -3}));
    EXPECT_EQ(alGetFloat(AL_DOPPLER_FACTOR), 0.5f);
    EXPECT_EQ(sourcePosition(madeSources[0]), (Position{10, 11, -12}));
    EXPECT_EQ(sourcePosition(madeSources[1]), (Position{7, 8, -9}));
    ALfloat reference = 0;
    alGetSourcef(madeSources[0], AL_REFERENCE_DISTANCE, &reference);
    EXPECT_EQ(reference, 3.0f);
    // The library holds the batch only where it can.
    EXPECT_FALSE(alGetBoolean(AL_DEFERRED_UPDATES_SOFT));

    // The next batch starts from nothing held.
    beginOutputBatch(output);
    if (!holdsItself()) {
        EXPECT_TRUE(alGetBoolean(AL_DEFERRED_UPDATES_SOFT));
    }
    placeVoice(second, placedAt(-1, -2, -3));
    endOutputBatch(output);
    EXPECT_EQ(sourcePosition(madeSources[0]), (Position{10, 11, -12}));
    EXPECT_EQ(sourcePosition(madeSources[1]), (Position{-1, -2, 3}));
    EXPECT_EQ(listenerPosition(), (Position{1, 2, -3}));
}

TEST_P(OpenAlOutput, OutsideABatchPlacementsArriveAtOnce) {
    placeListener(output, listenerAt(1, 1, 1));
    placeVoice(first, placedAt(2, 2, 2));
    EXPECT_EQ(listenerPosition(), (Position{1, 1, -1}));
    EXPECT_EQ(sourcePosition(madeSources[0]), (Position{2, 2, -2}));
}

TEST_P(OpenAlOutput, AVoiceDestroyedWithAPlacementHeldIsLeftOutAtTheEnd) {
    beginOutputBatch(output);
    placeVoice(first, placedAt(1, 2, 3));
    placeVoice(second, placedAt(4, 5, 6));
    destroyVoice(first);
    first = nullptr;
    endOutputBatch(output);
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
    EXPECT_EQ(sourcePosition(madeSources[1]), (Position{4, 5, -6}));
    // A voice made after the batch with the freed one's memory holds nothing from it.
    first = createVoice(output, store);
    ASSERT_NE(first, nullptr);
    beginOutputBatch(output);
    endOutputBatch(output);
    EXPECT_EQ(sourcePosition(madeSources.back()), (Position{0, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(DeferredUpdates, OpenAlOutput, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "HeldByTheOutput" : "HeldByTheLibrary";
                         });

} // namespace
