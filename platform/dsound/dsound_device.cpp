// dsound_device.cpp: DirectSoundCreate8 and the sound device (IDirectSound8) on OpenAL Soft:
// the default playback device and its context, the cooperative level, buffer creation and
// duplication, and the commit of deferred 3-D settings.
// Depends on dsound_internal.h and com_object.h; buffers are in dsound_buffer.cpp and
// dsound_listener.cpp.
#include "com_object.h"
#include "dsound_internal.h"
#include "dsound_stats.h"

#include <algorithm>
#include <new>

const IID IID_IDirectSound8 = {
    0xC50A7E93, 0xF395, 0x4834, {0x9E, 0xF6, 0x7F, 0xA9, 0x9D, 0xE5, 0x09, 0x66}};
const IID IID_IDirectSoundBuffer = {
    0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSound3DListener = {
    0x279AFA84, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSound3DBuffer = {
    0x279AFA86, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

int liveSampleBuffers = 0;
int liveSources = 0;

int liveSoundSampleBuffers() {
    return liveSampleBuffers;
}
int liveSoundSources() {
    return liveSources;
}

void SoundContext::release() {
    if (--references > 0)
        return;
    if (alcGetCurrentContext() == context)
        alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(device);
    delete this;
}

void SoundContext::makeCurrent() const {
    if (alcGetCurrentContext() != context)
        alcMakeContextCurrent(context);
}

namespace {

float length(const D3DVECTOR& v) {
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

D3DVECTOR cross(const D3DVECTOR& a, const D3DVECTOR& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

} // namespace

void SoundContext::applyListener() {
    ALfloat position[3];
    toOpenAl(listener.position.current, position);
    alListenerfv(AL_POSITION, position);
    // A zero or parallel pair of vectors gives no facing; OpenAL keeps the last good one.
    const ListenerOrientation& o = listener.orientation.current;
    if (length(cross(o.front, o.top)) > 0.0f) {
        ALfloat orientation[6];
        toOpenAl(o.front, orientation);
        toOpenAl(o.top, orientation + 3);
        alListenerfv(AL_ORIENTATION, orientation);
    }
    alDopplerFactor(listener.dopplerFactor.current);
}

void SoundContext::commitDeferred() {
    makeCurrent();
    if (deferredUpdates)
        alDeferUpdatesSOFT();
    bool listenerChanged = listener.position.commit();
    listenerChanged |= listener.orientation.commit();
    listenerChanged |= listener.dopplerFactor.commit();
    bool rolloffChanged = listener.rolloffFactor.commit();
    if (listenerChanged)
        applyListener();
    for (SecondaryBuffer* buffer : buffers)
        if (commitBuffer3D(buffer) || rolloffChanged)
            applyBuffer3D(buffer);
    if (deferredUpdates)
        alProcessUpdatesSOFT();
}

namespace {

class SoundDevice final : public ComObject<IDirectSound8> {
public:
    explicit SoundDevice(SoundContext* context) : context(context) {}

    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* buffer,
                              LPUNKNOWN outer) override {
        if (!buffer)
            return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer)
            return DSERR_NOAGGREGATION;
        // The current record, or the shorter one of DirectX 3 without guid3DAlgorithm.
        if (!description || (description->dwSize != sizeof(DSBUFFERDESC) &&
                             description->dwSize != offsetof(DSBUFFERDESC, guid3DAlgorithm)))
            return DSERR_INVALIDPARAM;
        if (context->cooperativeLevel == 0)
            return DSERR_PRIOLEVELNEEDED;
        DSBUFFERDESC copy{};
        copy = *description;
        if (description->dwSize != sizeof(DSBUFFERDESC))
            copy.guid3DAlgorithm = GUID_NULL;
        if (copy.dwFlags & DSBCAPS_PRIMARYBUFFER)
            return createPrimaryBuffer(context, copy, buffer);
        return createSecondaryBuffer(context, copy, buffer);
    }

    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                 LPDIRECTSOUNDBUFFER* duplicate) override {
        if (!duplicate)
            return DSERR_INVALIDPARAM;
        *duplicate = nullptr;
        if (!original)
            return DSERR_INVALIDPARAM;
        return duplicateSecondaryBuffer(context, original, duplicate);
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD level) override {
        if (!window || level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY)
            return DSERR_INVALIDPARAM;
        context->cooperativeLevel = level;
        return DS_OK;
    }

private:
    void* interfaceFor(REFIID iid) override {
        return iid == IID_IDirectSound8 ? static_cast<IDirectSound8*>(this) : nullptr;
    }

    void lastReleased() override {
        context->release();
        delete this;
    }

    SoundContext* context;
};

} // namespace

HRESULT WINAPI DirectSoundCreate8(LPCGUID deviceId, LPDIRECTSOUND8* directSound, LPUNKNOWN outer) {
    if (!directSound)
        return DSERR_INVALIDPARAM;
    *directSound = nullptr;
    if (outer)
        return DSERR_NOAGGREGATION;
    if (deviceId && *deviceId != GUID_NULL)
        return DSERR_NODRIVER;
    ALCdevice* device = alcOpenDevice(nullptr);
    if (!device)
        return DSERR_NODRIVER;
    ALCcontext* alContext = alcCreateContext(device, nullptr);
    SoundContext* context = alContext ? new (std::nothrow) SoundContext : nullptr;
    SoundDevice* soundDevice = context ? new (std::nothrow) SoundDevice(context) : nullptr;
    if (!soundDevice) {
        delete context;
        if (alContext)
            alcDestroyContext(alContext);
        alcCloseDevice(device);
        return alContext ? DSERR_OUTOFMEMORY : DSERR_NODRIVER;
    }
    context->device = device;
    context->context = alContext;
    context->makeCurrent();
    context->deferredUpdates = alIsExtensionPresent("AL_SOFT_deferred_updates");
    // DirectSound's distance law: full volume within the minimum distance, then falling
    // with the inverse of the distance scaled by the rolloff factor.
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    context->applyListener();
    *directSound = soundDevice;
    return DS_OK;
}
