// dsound_internal.h: internal to the Linux layer's DirectSound backend. The OpenAL device and
// context behind one DirectSound object, the listener state with its deferred settings, and
// the factories the device uses to make buffers.
// Depends on dsound.h and OpenAL Soft (with its AL_SOFT_deferred_updates extension).
#pragma once

#include <dsound.h>

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

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

// The OpenAL device and context of one DirectSound object. The device object and every buffer
// made from it hold a reference, so the context outlives whatever still uses it.
struct SoundContext {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    ULONG references = 1;
    bool deferredUpdates = false; // AL_SOFT_deferred_updates is available
    DWORD cooperativeLevel = 0;
    PrimaryBuffer* primary = nullptr;      // the one primary buffer, while it lives
    std::vector<SecondaryBuffer*> buffers; // live secondary buffers
    ListenerState listener;

    void addRef() { ++references; }
    void release();
    // Makes this context the current OpenAL context.
    void makeCurrent() const;
    // Applies every deferred listener and buffer setting at once.
    void commitDeferred();
    // Hands the listener's current values to OpenAL.
    void applyListener();
};

// Direct3D-style left-handed coordinates to OpenAL's right-handed ones.
inline void toOpenAl(const D3DVECTOR& v, ALfloat out[3]) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = -v.z;
}

HRESULT createPrimaryBuffer(SoundContext* context, const DSBUFFERDESC& description,
                            LPDIRECTSOUNDBUFFER* buffer);
HRESULT createSecondaryBuffer(SoundContext* context, const DSBUFFERDESC& description,
                              LPDIRECTSOUNDBUFFER* buffer);
HRESULT duplicateSecondaryBuffer(SoundContext* context, LPDIRECTSOUNDBUFFER original,
                                 LPDIRECTSOUNDBUFFER* duplicate);
// Hands a buffer's committed 3-D position and the listener's rolloff factor to OpenAL.
void applyBuffer3D(SecondaryBuffer* buffer);
// Makes a buffer's waiting 3-D settings current; true when one was waiting.
bool commitBuffer3D(SecondaryBuffer* buffer);

// Live OpenAL objects, for dsound_stats.h.
extern int liveSampleBuffers;
extern int liveSources;
