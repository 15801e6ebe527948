// dsound_device.cpp: DirectSoundCreate8 and the sound device (IDirectSound8): the output it
// opens, the cooperative level, buffer creation and duplication, and the commit of deferred 3-D
// settings. Buffers are in dsound_buffer.cpp and dsound_listener.cpp.
#include "com_object.h"
#include "dsound_internal.h"
#include "dsound_stats.h"

#include <cstddef>
#include <new>

const IID IID_IDirectSound8 = {
    0xC50A7E93, 0xF395, 0x4834, {0x9E, 0xF6, 0x7F, 0xA9, 0x9D, 0xE5, 0x09, 0x66}};
const IID IID_IDirectSoundBuffer = {
    0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSound3DListener = {
    0x279AFA84, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSound3DBuffer = {
    0x279AFA86, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

int liveSampleStores = 0;
int liveVoices = 0;

int liveSoundSampleBuffers() {
    return liveSampleStores;
}
int liveSoundSources() {
    return liveVoices;
}

void SoundContext::release() {
    if (--references > 0)
        return;
    closeAudioOutput(output);
    delete this;
}

void SoundContext::applyListener() {
    const ListenerOrientation& o = listener.orientation.current;
    placeListener(output, {toOutput(listener.position.current), toOutput(o.front), toOutput(o.top),
                           listener.dopplerFactor.current});
}

void SoundContext::commitDeferred() {
    beginOutputBatch(output);
    bool listenerChanged = listener.position.commit();
    listenerChanged |= listener.orientation.commit();
    listenerChanged |= listener.dopplerFactor.commit();
    bool rolloffChanged = listener.rolloffFactor.commit();
    if (listenerChanged)
        applyListener();
    for (SecondaryBuffer* buffer : buffers)
        if (commitBuffer3D(buffer) || rolloffChanged)
            applyBuffer3D(buffer);
    endOutputBatch(output);
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
    AudioOutput* output = openAudioOutput();
    if (!output)
        return DSERR_NODRIVER;
    SoundContext* context = new (std::nothrow) SoundContext;
    SoundDevice* soundDevice = context ? new (std::nothrow) SoundDevice(context) : nullptr;
    if (!soundDevice) {
        delete context;
        closeAudioOutput(output);
        return DSERR_OUTOFMEMORY;
    }
    context->output = output;
    context->applyListener();
    *directSound = soundDevice;
    return DS_OK;
}
