// dsound_listener.cpp: the primary buffer (the mixer's output format) and the 3-D listener it
// carries. Listener settings made with DS3D_DEFERRED wait in the SoundContext until
// CommitDeferredSettings hands them, with every buffer's, to the sound output in one batch.
#include "com_object.h"
#include "dsound_internal.h"

#include <cmath>
#include <cstring>
#include <new>

class PrimaryBuffer final : public ComObject<IDirectSoundBuffer, IDirectSound3DListener> {
public:
    PrimaryBuffer(SoundContext* context, DWORD flags) : context(context), flags(flags) {}

    // IDirectSoundBuffer: the primary buffer reports and sets the output format; it holds
    // no samples of its own.
    HRESULT GetCaps(LPDSBCAPS caps) override {
        if (!caps || caps->dwSize != sizeof(DSBCAPS))
            return DSERR_INVALIDPARAM;
        caps->dwFlags = flags;
        caps->dwBufferBytes = format.nAvgBytesPerSec / 10;
        caps->dwUnlockTransferRate = 0;
        caps->dwPlayCpuOverhead = 0;
        return DS_OK;
    }
    HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override {
        if (playCursor)
            *playCursor = 0;
        if (writeCursor)
            *writeCursor = 0;
        return DS_OK;
    }
    HRESULT GetFormat(LPWAVEFORMATEX out, DWORD sizeAllocated, LPDWORD sizeWritten) override {
        if (!out) {
            if (!sizeWritten)
                return DSERR_INVALIDPARAM;
            *sizeWritten = sizeof format;
            return DS_OK;
        }
        if (sizeAllocated < sizeof format)
            return DSERR_INVALIDPARAM;
        std::memcpy(out, &format, sizeof format);
        if (sizeWritten)
            *sizeWritten = sizeof format;
        return DS_OK;
    }
    HRESULT GetVolume(LPLONG) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetStatus(LPDWORD status) override {
        if (!status)
            return DSERR_INVALIDPARAM;
        *status = 0;
        return DS_OK;
    }
    HRESULT Lock(DWORD, DWORD, LPVOID*, LPDWORD, LPVOID*, LPDWORD, DWORD) override {
        return DSERR_PRIOLEVELNEEDED;
    }
    HRESULT Play(DWORD, DWORD, DWORD) override { return DS_OK; } // the mixer always runs
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT SetVolume(LONG) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT Stop() override { return DS_OK; }
    HRESULT Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return DSERR_INVALIDCALL; }

    // Sets the mixer's output format. The output is asked for the new rate; the format is
    // reported by GetFormat whether or not it could change.
    HRESULT SetFormat(LPCWAVEFORMATEX newFormat) override {
        if (!newFormat)
            return DSERR_INVALIDPARAM;
        if (context->cooperativeLevel < DSSCL_PRIORITY)
            return DSERR_PRIOLEVELNEEDED;
        const WAVEFORMATEX& f = *newFormat;
        if (f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels < 1 || f.nChannels > 2 ||
            (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) ||
            f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8 || f.nSamplesPerSec < 100 ||
            f.nSamplesPerSec > 200000)
            return DSERR_BADFORMAT;
        format = f;
        format.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
        format.cbSize = 0;
        setOutputRate(context->output, f.nSamplesPerSec);
        return DS_OK;
    }

    // IDirectSound3DListener.
    HRESULT GetDistanceFactor(D3DVALUE* distanceFactor) override {
        if (!distanceFactor)
            return DSERR_INVALIDPARAM;
        *distanceFactor = DS3D_DEFAULTDISTANCEFACTOR;
        return DS_OK;
    }
    HRESULT GetDopplerFactor(D3DVALUE* dopplerFactor) override {
        return get(dopplerFactor, listener().dopplerFactor.current);
    }
    HRESULT GetRolloffFactor(D3DVALUE* rolloffFactor) override {
        return get(rolloffFactor, listener().rolloffFactor.current);
    }
    HRESULT GetPosition(D3DVECTOR* position) override {
        return get(position, listener().position.current);
    }
    HRESULT GetOrientation(D3DVECTOR* front, D3DVECTOR* top) override {
        if (!front || !top)
            return DSERR_INVALIDPARAM;
        *front = listener().orientation.current.front;
        *top = listener().orientation.current.top;
        return DS_OK;
    }

    HRESULT SetDopplerFactor(D3DVALUE dopplerFactor, DWORD apply) override {
        if (apply > DS3D_DEFERRED || !(dopplerFactor >= DS3D_MINDOPPLERFACTOR) ||
            !(dopplerFactor <= DS3D_MAXDOPPLERFACTOR))
            return DSERR_INVALIDPARAM;
        listener().dopplerFactor.set(dopplerFactor, apply == DS3D_DEFERRED);
        return applyNow(apply, false);
    }
    HRESULT SetRolloffFactor(D3DVALUE rolloffFactor, DWORD apply) override {
        if (apply > DS3D_DEFERRED || !(rolloffFactor >= DS3D_MINROLLOFFFACTOR) ||
            !(rolloffFactor <= DS3D_MAXROLLOFFFACTOR))
            return DSERR_INVALIDPARAM;
        listener().rolloffFactor.set(rolloffFactor, apply == DS3D_DEFERRED);
        return applyNow(apply, true);
    }
    HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
        if (apply > DS3D_DEFERRED || !finite(x) || !finite(y) || !finite(z))
            return DSERR_INVALIDPARAM;
        listener().position.set({x, y, z}, apply == DS3D_DEFERRED);
        return applyNow(apply, false);
    }
    HRESULT SetOrientation(D3DVALUE xFront, D3DVALUE yFront, D3DVALUE zFront, D3DVALUE xTop,
                           D3DVALUE yTop, D3DVALUE zTop, DWORD apply) override {
        if (apply > DS3D_DEFERRED || !finite(xFront) || !finite(yFront) || !finite(zFront) ||
            !finite(xTop) || !finite(yTop) || !finite(zTop))
            return DSERR_INVALIDPARAM;
        listener().orientation.set({{xFront, yFront, zFront}, {xTop, yTop, zTop}},
                                   apply == DS3D_DEFERRED);
        return applyNow(apply, false);
    }
    HRESULT CommitDeferredSettings() override {
        context->commitDeferred();
        return DS_OK;
    }

private:
    // One reference count for both interfaces; the listener only with 3-D control.
    void* interfaceFor(REFIID iid) override {
        if (iid == IID_IDirectSoundBuffer)
            return static_cast<IDirectSoundBuffer*>(this);
        if (iid == IID_IDirectSound3DListener && (flags & DSBCAPS_CTRL3D))
            return static_cast<IDirectSound3DListener*>(this);
        return nullptr;
    }

    void lastReleased() override {
        context->primary = nullptr;
        SoundContext* owner = context;
        delete this;
        owner->release();
    }

    static bool finite(D3DVALUE v) { return std::isfinite(v); }

    template <typename T> static HRESULT get(T* out, const T& value) {
        if (!out)
            return DSERR_INVALIDPARAM;
        *out = value;
        return DS_OK;
    }

    ListenerState& listener() { return context->listener; }

    // Hands an immediate setting to the output; the rolloff factor reaches every 3-D buffer.
    HRESULT applyNow(DWORD apply, bool everyBuffer) {
        if (apply == DS3D_DEFERRED)
            return DS_OK;
        context->applyListener();
        if (everyBuffer)
            for (SecondaryBuffer* buffer : context->buffers)
                applyBuffer3D(buffer);
        return DS_OK;
    }

    SoundContext* context;
    DWORD flags;
    // DirectSound's initial output format: 22.05 kHz, 8 bits, stereo.
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 22050, 44100, 2, 8, 0};
};

HRESULT createPrimaryBuffer(SoundContext* context, const DSBUFFERDESC& description,
                            LPDIRECTSOUNDBUFFER* buffer) {
    if (description.dwBufferBytes != 0 || description.lpwfxFormat)
        return DSERR_INVALIDPARAM;
    // There is one primary buffer per device; asking again gives it again.
    if (context->primary) {
        context->primary->AddRef();
        *buffer = context->primary;
        return DS_OK;
    }
    PrimaryBuffer* created = new (std::nothrow) PrimaryBuffer(context, description.dwFlags);
    if (!created)
        return DSERR_OUTOFMEMORY;
    context->addRef();
    context->primary = created;
    *buffer = created;
    return DS_OK;
}
