// audio_output.h: what the DirectSound API folder (platform/dsound) needs of a sound output,
// carried out by the backend the build chooses (platform/backends/openal on OpenAL Soft).
// An output plays voices; a voice plays one sample store, and several voices may share a
// store. Positions and directions are in DirectSound's left-handed coordinates (x right, y up,
// z ahead); a backend converts them to its library's own. Distances follow DirectSound's law:
// full volume within the minimum distance, then falling with the inverse of the distance scaled
// by the rolloff factor, no further beyond the maximum distance.
// Every call comes from the one thread that uses the layer.
#pragma once

#include <cstddef>

// Defined by the backend.
struct AudioOutput;
struct SampleStore;
struct Voice;

struct AudioVector {
    float x;
    float y;
    float z;
};

enum class SampleEncoding { unsigned8, signed16, float32 };

struct SampleFormat {
    SampleEncoding encoding;
    int channels;  // 1 or 2, interleaved
    unsigned rate; // frames per second
};

enum class VoiceState { stopped, playing, paused };

// Where a voice is heard. A head-relative voice is placed relative to the listener; with a
// rolloff factor of 0 it is not attenuated by distance.
struct VoicePlacement {
    bool headRelative;
    AudioVector position;
    float minDistance;
    float maxDistance;
    float rolloffFactor;
};

// Where the listener is and which way it faces. A front and top that give no facing (zero, or
// parallel) leave the facing as it was. A Doppler factor of 0 shifts no pitch.
struct ListenerPlacement {
    AudioVector position;
    AudioVector front;
    AudioVector top;
    float dopplerFactor;
};

// The default output device, or null when there is none. closeAudioOutput comes after every
// voice and store of the output has been destroyed.
AudioOutput* openAudioOutput();
void closeAudioOutput(AudioOutput* output);
// Whether the output can play samples of this encoding.
bool outputPlays(const AudioOutput* output, SampleEncoding encoding);
// Asks for a mixing rate; the output keeps its own where the library cannot change it.
void setOutputRate(AudioOutput* output, unsigned rate);
// Changes made between the two are heard together where the library can hold them back; the
// caller hands over a frame's 3-D settings between one pair in any case.
void beginOutputBatch(AudioOutput* output);
void endOutputBatch(AudioOutput* output);
void placeListener(AudioOutput* output, const ListenerPlacement& placement);

// A store of samples, empty until filled; null when none can be made. A store is destroyed
// after every voice playing it.
SampleStore* createSampleStore(AudioOutput* output);
void destroySampleStore(SampleStore* store);
// Replaces the samples (bytes, whole frames) of the store; the voices playing it keep their
// state and offset. False when the output refused them.
bool fillSampleStore(SampleStore* store, const SampleFormat& format, const void* samples,
                     std::size_t bytes);

// A voice playing a store, stopped at its start and at full gain; null when none can be made.
Voice* createVoice(AudioOutput* output, SampleStore* store);
void destroyVoice(Voice* voice);
VoiceState voiceState(const Voice* voice);
// Starts a stopped voice at a byte offset into its store.
void playVoiceFrom(Voice* voice, std::size_t offset);
void pauseVoice(Voice* voice);
void resumeVoice(Voice* voice);
// The byte offset of a playing or paused voice; setting it keeps the voice's state.
std::size_t voiceOffset(const Voice* voice);
void setVoiceOffset(Voice* voice, std::size_t offset);
void setVoiceLooping(Voice* voice, bool looping);
// A linear factor: 1 is full volume, 0 silence.
void setVoiceGain(Voice* voice, float gain);
void placeVoice(Voice* voice, const VoicePlacement& placement);
