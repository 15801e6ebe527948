// openal_output.cpp: the sound output of audio_output.h on OpenAL (OpenAL Soft on the desktop,
// Emscripten's OpenAL on Web Audio in the browser). An output is a device with its context, a
// sample store an OpenAL buffer, a voice an OpenAL source. A batch is held back with
// AL_SOFT_deferred_updates where the library has it; where it has not, the output keeps the
// batch's listener and voice placements itself and applies them all at the batch's end.
// Extension functions are looked up at run time, so that the backend links against an OpenAL
// that lacks them.
#include "audio_output.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>
#include <new>
#include <vector>

// AL_EXT_float32's formats; not every OpenAL's headers name them.
#ifndef AL_FORMAT_MONO_FLOAT32
#define AL_FORMAT_MONO_FLOAT32 0x10010
#define AL_FORMAT_STEREO_FLOAT32 0x10011
#endif

using UpdatesFunction = void (*)();                                    // alDeferUpdatesSOFT etc.
using ResetDeviceFunction = ALCboolean (*)(ALCdevice*, const ALCint*); // alcResetDeviceSOFT

struct AudioOutput {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    // AL_SOFT_deferred_updates, or null where the library lacks it.
    UpdatesFunction deferUpdates = nullptr;
    UpdatesFunction processUpdates = nullptr;
    // Without the extension: whether a batch is open, and the placements it holds back.
    bool batchOpen = false;
    bool listenerHeld = false;
    ListenerPlacement heldListener{};
    std::vector<Voice*> heldVoices; // in the order they were first placed in the batch

    // Several outputs may be open; each call works on its own context.
    void makeCurrent() const {
        if (alcGetCurrentContext() != context)
            alcMakeContextCurrent(context);
    }
    bool holdsPlacements() const { return batchOpen && deferUpdates == nullptr; }
};

struct SampleStore {
    AudioOutput* output;
    ALuint buffer = 0;
    std::vector<Voice*> voices; // the voices playing it
};

struct Voice {
    SampleStore* store;
    ALuint source = 0;
    bool placementHeld = false; // heldPlacement waits for the batch's end
    VoicePlacement heldPlacement{};

    // Makes the voice's context current and gives its source.
    ALuint current() const {
        store->output->makeCurrent();
        return source;
    }
};

namespace {

// DirectSound's left-handed coordinates to OpenAL's right-handed ones.
void toOpenAl(const AudioVector& v, ALfloat out[3]) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = -v.z;
}

AudioVector cross(const AudioVector& a, const AudioVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

ALint sourceState(ALuint source) {
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state;
}

ALenum openAlFormat(const SampleFormat& format) {
    bool mono = format.channels == 1;
    switch (format.encoding) {
    case SampleEncoding::unsigned8:
        return mono ? AL_FORMAT_MONO8 : AL_FORMAT_STEREO8;
    case SampleEncoding::signed16:
        return mono ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    case SampleEncoding::float32:
        return mono ? AL_FORMAT_MONO_FLOAT32 : AL_FORMAT_STEREO_FLOAT32;
    }
    return 0;
}

void applyListener(const ListenerPlacement& placement) {
    ALfloat position[3];
    toOpenAl(placement.position, position);
    alListenerfv(AL_POSITION, position);
    AudioVector side = cross(placement.front, placement.top);
    if (side.x * side.x + side.y * side.y + side.z * side.z > 0.0f) {
        ALfloat orientation[6];
        toOpenAl(placement.front, orientation);
        toOpenAl(placement.top, orientation + 3);
        alListenerfv(AL_ORIENTATION, orientation);
    }
    alDopplerFactor(placement.dopplerFactor);
}

void applyPlacement(ALuint source, const VoicePlacement& placement) {
    ALfloat position[3];
    toOpenAl(placement.position, position);
    alSourcei(source, AL_SOURCE_RELATIVE, placement.headRelative ? AL_TRUE : AL_FALSE);
    alSourcefv(source, AL_POSITION, position);
    alSourcef(source, AL_REFERENCE_DISTANCE, placement.minDistance);
    alSourcef(source, AL_MAX_DISTANCE, placement.maxDistance);
    alSourcef(source, AL_ROLLOFF_FACTOR, placement.rolloffFactor);
}

// Both functions of AL_SOFT_deferred_updates, or neither.
void findDeferredUpdates(AudioOutput& output) {
    if (!alIsExtensionPresent("AL_SOFT_deferred_updates"))
        return;
    auto defer = reinterpret_cast<UpdatesFunction>(alGetProcAddress("alDeferUpdatesSOFT"));
    auto process = reinterpret_cast<UpdatesFunction>(alGetProcAddress("alProcessUpdatesSOFT"));
    if (defer != nullptr && process != nullptr) {
        output.deferUpdates = defer;
        output.processUpdates = process;
    }
}

} // namespace

AudioOutput* openAudioOutput() {
    ALCdevice* device = alcOpenDevice(nullptr);
    if (!device)
        return nullptr;
    ALCcontext* context = alcCreateContext(device, nullptr);
    AudioOutput* output = context ? new (std::nothrow) AudioOutput : nullptr;
    if (!output) {
        if (context)
            alcDestroyContext(context);
        alcCloseDevice(device);
        return nullptr;
    }
    output->device = device;
    output->context = context;
    output->makeCurrent();
    findDeferredUpdates(*output);
    // Clamped at the reference (minimum) and the maximum distance, as DirectSound's law is.
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    return output;
}

void closeAudioOutput(AudioOutput* output) {
    if (alcGetCurrentContext() == output->context)
        alcMakeContextCurrent(nullptr);
    alcDestroyContext(output->context);
    alcCloseDevice(output->device);
    delete output;
}

bool outputPlays(const AudioOutput* output, SampleEncoding encoding) {
    if (encoding != SampleEncoding::float32)
        return true;
    output->makeCurrent();
    return alIsExtensionPresent("AL_EXT_float32");
}

void setOutputRate(AudioOutput* output, unsigned rate) {
    if (!alcIsExtensionPresent(output->device, "ALC_SOFT_HRTF"))
        return;
    auto reset = reinterpret_cast<ResetDeviceFunction>(
        alcGetProcAddress(output->device, "alcResetDeviceSOFT"));
    if (reset == nullptr)
        return;
    const ALCint attributes[] = {ALC_FREQUENCY, ALCint(rate), 0};
    reset(output->device, attributes);
}

void beginOutputBatch(AudioOutput* output) {
    output->makeCurrent();
    output->batchOpen = true;
    if (output->deferUpdates != nullptr)
        output->deferUpdates();
}

void endOutputBatch(AudioOutput* output) {
    output->makeCurrent();
    output->batchOpen = false;
    if (output->processUpdates != nullptr) {
        output->processUpdates();
        return;
    }
    // Everything the batch held, one call after another with nothing played in between.
    if (output->listenerHeld)
        applyListener(output->heldListener);
    output->listenerHeld = false;
    for (Voice* voice : output->heldVoices) {
        applyPlacement(voice->source, voice->heldPlacement);
        voice->placementHeld = false;
    }
    output->heldVoices.clear();
}

void placeListener(AudioOutput* output, const ListenerPlacement& placement) {
    output->makeCurrent();
    if (output->holdsPlacements()) {
        output->heldListener = placement;
        output->listenerHeld = true;
        return;
    }
    applyListener(placement);
}

SampleStore* createSampleStore(AudioOutput* output) {
    output->makeCurrent();
    SampleStore* store = new (std::nothrow) SampleStore{output, 0, {}};
    if (!store)
        return nullptr;
    alGetError();
    alGenBuffers(1, &store->buffer);
    if (alGetError() != AL_NO_ERROR) {
        delete store;
        return nullptr;
    }
    return store;
}

void destroySampleStore(SampleStore* store) {
    store->output->makeCurrent();
    alDeleteBuffers(1, &store->buffer);
    delete store;
}

// A buffer attached to sources takes no new data, so every source playing it lets go of it and
// takes it back where it was.
bool fillSampleStore(SampleStore* store, const SampleFormat& format, const void* samples,
                     std::size_t bytes) {
    store->output->makeCurrent();
    struct Saved {
        ALuint source;
        ALint state;
        ALint offset;
    };
    std::vector<Saved> sharing;
    for (Voice* voice : store->voices) {
        Saved saved{voice->source, sourceState(voice->source), 0};
        alGetSourcei(saved.source, AL_BYTE_OFFSET, &saved.offset);
        alSourceStop(saved.source);
        alSourcei(saved.source, AL_BUFFER, 0);
        sharing.push_back(saved);
    }
    alGetError();
    alBufferData(store->buffer, openAlFormat(format), samples, ALsizei(bytes),
                 ALsizei(format.rate));
    bool filled = alGetError() == AL_NO_ERROR;
    for (const Saved& saved : sharing) {
        alSourcei(saved.source, AL_BUFFER, ALint(store->buffer));
        if (saved.state == AL_PLAYING || saved.state == AL_PAUSED) {
            alSourcei(saved.source, AL_BYTE_OFFSET, saved.offset);
            alSourcePlay(saved.source);
            if (saved.state == AL_PAUSED)
                alSourcePause(saved.source);
        }
    }
    return filled;
}

Voice* createVoice(AudioOutput* output, SampleStore* store) {
    output->makeCurrent();
    Voice* voice = new (std::nothrow) Voice{store, 0};
    if (!voice)
        return nullptr;
    alGetError();
    alGenSources(1, &voice->source);
    if (alGetError() != AL_NO_ERROR) {
        delete voice;
        return nullptr;
    }
    alSourcei(voice->source, AL_BUFFER, ALint(store->buffer));
    store->voices.push_back(voice);
    return voice;
}

void destroyVoice(Voice* voice) {
    ALuint source = voice->current();
    alSourceStop(source);
    alDeleteSources(1, &source);
    auto& voices = voice->store->voices;
    voices.erase(std::remove(voices.begin(), voices.end(), voice), voices.end());
    auto& held = voice->store->output->heldVoices;
    held.erase(std::remove(held.begin(), held.end(), voice), held.end());
    delete voice;
}

VoiceState voiceState(const Voice* voice) {
    switch (sourceState(voice->current())) {
    case AL_PLAYING:
        return VoiceState::playing;
    case AL_PAUSED:
        return VoiceState::paused;
    default:
        return VoiceState::stopped;
    }
}

void playVoiceFrom(Voice* voice, std::size_t offset) {
    ALuint source = voice->current();
    alSourceRewind(source);
    alSourcei(source, AL_BYTE_OFFSET, ALint(offset));
    alSourcePlay(source);
}

void pauseVoice(Voice* voice) {
    alSourcePause(voice->current());
}

void resumeVoice(Voice* voice) {
    alSourcePlay(voice->current());
}

std::size_t voiceOffset(const Voice* voice) {
    ALint offset = 0;
    alGetSourcei(voice->current(), AL_BYTE_OFFSET, &offset);
    return std::size_t(offset);
}

void setVoiceOffset(Voice* voice, std::size_t offset) {
    alSourcei(voice->current(), AL_BYTE_OFFSET, ALint(offset));
}

void setVoiceLooping(Voice* voice, bool looping) {
    alSourcei(voice->current(), AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
}

void setVoiceGain(Voice* voice, float gain) {
    alSourcef(voice->current(), AL_GAIN, gain);
}

void placeVoice(Voice* voice, const VoicePlacement& placement) {
    ALuint source = voice->current();
    AudioOutput* output = voice->store->output;
    if (!output->holdsPlacements()) {
        applyPlacement(source, placement);
        return;
    }
    // A voice placed twice in a batch is heard at its last placement.
    if (!voice->placementHeld)
        output->heldVoices.push_back(voice);
    voice->placementHeld = true;
    voice->heldPlacement = placement;
}
