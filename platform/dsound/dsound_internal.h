// dsound_internal.h: internal to the layer's DirectSound. The sound output behind one
// DirectSound object, the listener state with its deferred settings, and the factories the
// device uses to make buffers.
#pragma once

#include <dsound.h>

#include "audio_output.h"

#include <vector>

class SecondaryBuffer;
class PrimaryBuffer;

// A 3-D value that is either in effect or waiting for CommitDeferredSettings.
template <typename T> struct Deferred {
    T current;
    T pending;
    bool waiting = false;

    void set(const T& value, bool deferred) {
        if (deferred) {
            pending = value;
            waiting = true;
        } else {
            current = value;
            waiting = false;
        }
    }
    // Makes a waiting value current; true when one was waiting.
    bool commit() {
        if (!waiting)
            return false;
        current = pending;
        waiting = false;
        return true;
    }
};

struct ListenerOrientation {
    D3DVECTOR front;
    D3DVECTOR top;
};

struct ListenerState {
    Deferred<D3DVECTOR> position{{0.0f, 0.0f, 0.0f}, {}};
    Deferred<ListenerOrientation> orientation{{{0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f}}, {}};
    Deferred<float> rolloffFactor{DS3D_DEFAULTROLLOFFFACTOR, 0.0f};
    Deferred<float> dopplerFactor{DS3D_DEFAULTDOPPLERFACTOR, 0.0f};
};

// The sound output of one DirectSound object. The device object and every buffer made from it
// hold a reference, so the output outlives whatever still uses it.
struct SoundContext {
    AudioOutput* output = nullptr;
    ULONG references = 1;
    DWORD cooperativeLevel = 0;
    PrimaryBuffer* primary = nullptr;      // the one primary buffer, while it lives
    std::vector<SecondaryBuffer*> buffers; // live secondary buffers
    ListenerState listener;

    void addRef() { ++references; }
    void release();
    // Hands every waiting listener and buffer setting to the output in one batch.
    void commitDeferred();
    // Hands the listener's current values to the output.
    void applyListener();
};

// The output takes DirectSound's own coordinates.
inline AudioVector toOutput(const D3DVECTOR& v) {
    return {v.x, v.y, v.z};
}

HRESULT createPrimaryBuffer(SoundContext* context, const DSBUFFERDESC& description,
                            LPDIRECTSOUNDBUFFER* buffer);
HRESULT createSecondaryBuffer(SoundContext* context, const DSBUFFERDESC& description,
                              LPDIRECTSOUNDBUFFER* buffer);
HRESULT duplicateSecondaryBuffer(SoundContext* context, LPDIRECTSOUNDBUFFER original,
                                 LPDIRECTSOUNDBUFFER* duplicate);
// Hands a buffer's committed 3-D position and the listener's rolloff factor to the output.
void applyBuffer3D(SecondaryBuffer* buffer);
// Makes a buffer's waiting 3-D settings current; true when one was waiting.
bool commitBuffer3D(SecondaryBuffer* buffer);

// Sample stores and voices held by the outputs, for dsound_stats.h.
extern int liveSampleStores;
extern int liveVoices;
