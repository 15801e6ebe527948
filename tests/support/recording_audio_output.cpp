// recording_audio_output.cpp: the recording sound output of recording_audio_output.h. Outputs,
// stores and voices are numbered in the order they are made, one count for all three, and a
// voice keeps the state and offset it was given, as if the mixer stood still.
#include "recording_audio_output.h"

#include "audio_output.h"

#include <cstdarg>
#include <cstdio>

struct AudioOutput {
    int id;
    bool playsFloat;
};

struct SampleStore {
    int id;
};

struct Voice {
    int id;
    VoiceState state;
    std::size_t offset;
};

namespace {

int lastId = 0;
bool playFloat = true;
bool failOpen = false;

void log(const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    outputLog().push_back(line);
}

} // namespace

std::vector<std::string>& outputLog() {
    static std::vector<std::string> entries;
    return entries;
}

void outputsPlayFloat(bool plays) {
    playFloat = plays;
}

void failNextOutputOpen() {
    failOpen = true;
}

AudioOutput* openAudioOutput() {
    if (failOpen) {
        failOpen = false;
        return nullptr;
    }
    auto* output = new AudioOutput{++lastId, playFloat};
    log("output %d open", output->id);
    return output;
}

void closeAudioOutput(AudioOutput* output) {
    log("output %d close", output->id);
    delete output;
}

bool outputPlays(const AudioOutput* output, SampleEncoding encoding) {
    return encoding != SampleEncoding::float32 || output->playsFloat;
}

void setOutputRate(AudioOutput* output, unsigned rate) {
    log("output %d rate %u", output->id, rate);
}

void beginOutputBatch(AudioOutput* output) {
    log("output %d begin", output->id);
}

void endOutputBatch(AudioOutput* output) {
    log("output %d end", output->id);
}

void placeListener(AudioOutput* output, const ListenerPlacement& p) {
    log("output %d listener at %g %g %g front %g %g %g top %g %g %g doppler %g", output->id,
        p.position.x, p.position.y, p.position.z, p.front.x, p.front.y, p.front.z, p.top.x, p.top.y,
        p.top.z, p.dopplerFactor);
}

SampleStore* createSampleStore(AudioOutput* output) {
    auto* store = new SampleStore{++lastId};
    log("store %d create on output %d", store->id, output->id);
    return store;
}

void destroySampleStore(SampleStore* store) {
    log("store %d destroy", store->id);
    delete store;
}

bool fillSampleStore(SampleStore* store, const SampleFormat& format, const void*,
                     std::size_t bytes) {
    log("store %d fill %zu bytes, encoding %d, %d channels, %u Hz", store->id, bytes,
        int(format.encoding), format.channels, format.rate);
    return true;
}

Voice* createVoice(AudioOutput*, SampleStore* store) {
    auto* voice = new Voice{++lastId, VoiceState::stopped, 0};
    log("voice %d create on store %d", voice->id, store->id);
    return voice;
}

void destroyVoice(Voice* voice) {
    log("voice %d destroy", voice->id);
    delete voice;
}

VoiceState voiceState(const Voice* voice) {
    return voice->state;
}

void playVoiceFrom(Voice* voice, std::size_t offset) {
    log("voice %d play from %zu", voice->id, offset);
    voice->state = VoiceState::playing;
    voice->offset = offset;
}

void pauseVoice(Voice* voice) {
    log("voice %d pause", voice->id);
    voice->state = VoiceState::paused;
}

void resumeVoice(Voice* voice) {
    log("voice %d resume", voice->id);
    voice->state = VoiceState::playing;
}

std::size_t voiceOffset(const Voice* voice) {
    return voice->offset;
}

void setVoiceOffset(Voice* voice, std::size_t offset) {
    log("voice %d offset %zu", voice->id, offset);
    voice->offset = offset;
}

void setVoiceLooping(Voice* voice, bool looping) {
    log("voice %d looping %d", voice->id, int(looping));
}

void setVoiceGain(Voice* voice, float gain) {
    log("voice %d gain %g", voice->id, gain);
}

void placeVoice(Voice* voice, const VoicePlacement& p) {
    log("voice %d %s at %g %g %g distances %g %g rolloff %g", voice->id,
        p.headRelative ? "relative" : "placed", p.position.x, p.position.y, p.position.z,
        p.minDistance, p.maxDistance, p.rolloffFactor);
}
