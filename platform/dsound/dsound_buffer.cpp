// dsound_buffer.cpp: secondary sound buffers and their 3-D control on OpenAL Soft. Each buffer
// is one OpenAL source; its samples live in a SampleData record that duplicates share, kept
// once in memory (for Lock) and once in an OpenAL buffer (refreshed at Unlock).
// Depends on dsound_internal.h and com_object.h.
#include "com_object.h"
#include "dsound_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr WORD waveFormatIeeeFloat = 3;
constexpr WORD waveFormatExtensible = 0xFFFE;
constexpr DWORD minimumFrequency = 100;
constexpr DWORD maximumFrequency = 200000;

// The samples of a master buffer and its duplicates.
struct SampleData {
    char* memory = nullptr;
    DWORD bytes = 0;
    WAVEFORMATEX* format = nullptr; // with its cbSize extra bytes
    ALenum alFormat = 0;
    ALuint alBuffer = 0;
    ULONG references = 1;

    ~SampleData() {
        if (alBuffer) {
            alDeleteBuffers(1, &alBuffer);
            --liveSampleBuffers;
        }
        std::free(format);
        std::free(memory);
    }
    // The bytes handed to OpenAL: whole sample frames only.
    DWORD frameBytes() const { return bytes - bytes % format->nBlockAlign; }
};

// The OpenAL format for a wave format, or 0 when OpenAL cannot play it.
ALenum openAlFormat(const WAVEFORMATEX& f) {
    WORD tag = f.wFormatTag;
    if (tag == waveFormatExtensible && f.cbSize >= 22) {
        // The sub-format GUID begins with the plain format tag.
        const BYTE* extra = reinterpret_cast<const BYTE*>(&f + 1);
        DWORD subFormat;
        std::memcpy(&subFormat, extra + 6, sizeof subFormat);
        tag = WORD(subFormat);
    }
    if (f.nChannels < 1 || f.nChannels > 2 || f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8)
        return 0;
    if (f.nSamplesPerSec < minimumFrequency || f.nSamplesPerSec > maximumFrequency)
        return 0;
    bool mono = f.nChannels == 1;
    if (tag == WAVE_FORMAT_PCM && f.wBitsPerSample == 8)
        return mono ? AL_FORMAT_MONO8 : AL_FORMAT_STEREO8;
    if (tag == WAVE_FORMAT_PCM && f.wBitsPerSample == 16)
        return mono ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    if (tag == waveFormatIeeeFloat && f.wBitsPerSample == 32 &&
        alIsExtensionPresent("AL_EXT_float32"))
        return mono ? AL_FORMAT_MONO_FLOAT32 : AL_FORMAT_STEREO_FLOAT32;
    return 0;
}

bool finite(D3DVALUE x, D3DVALUE y, D3DVALUE z) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

} // namespace

class SecondaryBuffer final : public ComObject<IDirectSoundBuffer, IDirectSound3DBuffer> {
public:
    SecondaryBuffer(SoundContext* context, SampleData* samples, DWORD flags)
        : context(context), samples(samples), flags(flags) {}

    // Creates the OpenAL source playing the shared samples; false when none is left.
    bool attach() {
        context->makeCurrent();
        alGetError();
        alGenSources(1, &source);
        if (alGetError() != AL_NO_ERROR)
            return false;
        ++liveSources;
        alSourcei(source, AL_BUFFER, ALint(samples->alBuffer));
        if (flags & DSBCAPS_CTRL3D) {
            alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
            alSourcef(source, AL_REFERENCE_DISTANCE, DS3D_DEFAULTMINDISTANCE);
            alSourcef(source, AL_MAX_DISTANCE, DS3D_DEFAULTMAXDISTANCE);
        } else {
            // A buffer without 3-D control plays at the listener, unattenuated.
            alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
            alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
        }
        applyGain();
        apply3D();
        context->buffers.push_back(this);
        return true;
    }

    // IDirectSoundBuffer.
    HRESULT GetCaps(LPDSBCAPS caps) override {
        if (!caps || caps->dwSize != sizeof(DSBCAPS))
            return DSERR_INVALIDPARAM;
        caps->dwFlags = flags;
        caps->dwBufferBytes = samples->bytes;
        caps->dwUnlockTransferRate = 0;
        caps->dwPlayCpuOverhead = 0;
        return DS_OK;
    }

    HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override {
        DWORD position = startOffset;
        if (isPlayingOrPaused()) {
            context->makeCurrent();
            ALint offset = 0;
            alGetSourcei(source, AL_BYTE_OFFSET, &offset);
            position = DWORD(offset);
        }
        if (playCursor)
            *playCursor = position;
        if (writeCursor)
            *writeCursor = position;
        return DS_OK;
    }

    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten) override {
        DWORD size = sizeof(WAVEFORMATEX) + samples->format->cbSize;
        if (!format) {
            if (!sizeWritten)
                return DSERR_INVALIDPARAM;
            *sizeWritten = size;
            return DS_OK;
        }
        if (sizeAllocated < size)
            return DSERR_INVALIDPARAM;
        std::memcpy(format, samples->format, size);
        if (sizeWritten)
            *sizeWritten = size;
        return DS_OK;
    }

    HRESULT GetVolume(LPLONG volume) override {
        if (!volume)
            return DSERR_INVALIDPARAM;
        if (!(flags & DSBCAPS_CTRLVOLUME))
            return DSERR_CONTROLUNAVAIL;
        *volume = this->volume;
        return DS_OK;
    }

    HRESULT GetStatus(LPDWORD status) override {
        if (!status)
            return DSERR_INVALIDPARAM;
        *status = 0;
        context->makeCurrent();
        ALint state = AL_INITIAL;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING)
            *status = DSBSTATUS_PLAYING | (looping ? DSBSTATUS_LOOPING : 0);
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audioPtr1, LPDWORD audioBytes1,
                 LPVOID* audioPtr2, LPDWORD audioBytes2, DWORD lockFlags) override {
        if (!audioPtr1 || !audioBytes1)
            return DSERR_INVALIDPARAM;
        DWORD size = samples->bytes;
        if (lockFlags & DSBLOCK_FROMWRITECURSOR)
            GetCurrentPosition(nullptr, &offset);
        if (lockFlags & DSBLOCK_ENTIREBUFFER)
            bytes = size;
        if (offset >= size || bytes == 0 || bytes > size)
            return DSERR_INVALIDPARAM;
        // A region that runs past the end continues at the start, in the second pointer.
        DWORD first = std::min(bytes, size - offset);
        *audioPtr1 = samples->memory + offset;
        *audioBytes1 = first;
        if (audioPtr2)
            *audioPtr2 = first < bytes ? samples->memory : nullptr;
        if (audioBytes2)
            *audioBytes2 = audioPtr2 ? bytes - first : 0;
        return DS_OK;
    }

    HRESULT Play(DWORD reserved1, DWORD priority, DWORD playFlags) override {
        if (reserved1 != 0)
            return DSERR_INVALIDPARAM;
        if (priority != 0 && !(flags & DSBCAPS_LOCDEFER))
            return DSERR_INVALIDCALL;
        context->makeCurrent();
        looping = (playFlags & DSBPLAY_LOOPING) != 0;
        alSourcei(source, AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
        ALint state = AL_INITIAL;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING)
            return DS_OK; // playing on from where it is, as asked now
        if (state != AL_PAUSED) {
            // A source that was never started or ran to its end starts at the set position.
            alSourceRewind(source);
            alSourcei(source, AL_BYTE_OFFSET, ALint(startOffset));
            startOffset = 0;
        }
        alSourcePlay(source);
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD newPosition) override {
        if (newPosition >= samples->bytes)
            return DSERR_INVALIDPARAM;
        // Positions fall on whole sample frames.
        newPosition -= newPosition % samples->format->nBlockAlign;
        if (isPlayingOrPaused()) {
            alSourcei(source, AL_BYTE_OFFSET, ALint(std::min(newPosition, samples->frameBytes())));
        } else {
            startOffset = newPosition;
        }
        return DS_OK;
    }

    HRESULT SetFormat(LPCWAVEFORMATEX) override { return DSERR_INVALIDCALL; }

    HRESULT SetVolume(LONG newVolume) override {
        if (!(flags & DSBCAPS_CTRLVOLUME))
            return DSERR_CONTROLUNAVAIL;
        if (newVolume < DSBVOLUME_MIN || newVolume > DSBVOLUME_MAX)
            return DSERR_INVALIDPARAM;
        volume = newVolume;
        applyGain();
        return DS_OK;
    }

    HRESULT Stop() override {
        context->makeCurrent();
        ALint state = AL_INITIAL;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING)
            alSourcePause(source); // keeps the position, from where Play goes on
        return DS_OK;
    }

    HRESULT Unlock(LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2,
                   DWORD audioBytes2) override {
        if (!inSamples(audioPtr1, audioBytes1) || (audioPtr2 && !inSamples(audioPtr2, audioBytes2)))
            return DSERR_INVALIDPARAM;
        return upload();
    }

    // IDirectSound3DBuffer.
    HRESULT GetMaxDistance(D3DVALUE* maxDistance) override {
        if (!maxDistance)
            return DSERR_INVALIDPARAM;
        *maxDistance = DS3D_DEFAULTMAXDISTANCE;
        return DS_OK;
    }
    HRESULT GetMinDistance(D3DVALUE* minDistance) override {
        if (!minDistance)
            return DSERR_INVALIDPARAM;
        *minDistance = DS3D_DEFAULTMINDISTANCE;
        return DS_OK;
    }
    HRESULT GetMode(LPDWORD mode) override {
        if (!mode)
            return DSERR_INVALIDPARAM;
        *mode = DS3DMODE_NORMAL;
        return DS_OK;
    }
    HRESULT GetPosition(D3DVECTOR* out) override {
        if (!out)
            return DSERR_INVALIDPARAM;
        *out = position.current;
        return DS_OK;
    }
    HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
        if (apply > DS3D_DEFERRED || !finite(x, y, z))
            return DSERR_INVALIDPARAM;
        position.set({x, y, z}, apply == DS3D_DEFERRED);
        if (apply == DS3D_IMMEDIATE) {
            context->makeCurrent();
            apply3D();
        }
        return DS_OK;
    }

    // Hands the committed position and the listener's rolloff factor to OpenAL.
    void apply3D() {
        if (!(flags & DSBCAPS_CTRL3D))
            return;
        ALfloat at[3];
        toOpenAl(position.current, at);
        alSourcefv(source, AL_POSITION, at);
        alSourcef(source, AL_ROLLOFF_FACTOR, context->listener.rolloffFactor.current);
    }
    bool commit3D() { return position.commit(); }

    SoundContext* const context;
    SampleData* const samples;

private:
    bool isPlayingOrPaused() const {
        context->makeCurrent();
        ALint state = AL_INITIAL;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        return state == AL_PLAYING || state == AL_PAUSED;
    }

    void applyGain() {
        context->makeCurrent();
        float gain = volume <= DSBVOLUME_MIN ? 0.0f : float(std::pow(10.0, volume / 2000.0));
        alSourcef(source, AL_GAIN, gain);
    }

    bool inSamples(LPVOID pointer, DWORD bytes) const {
        const char* p = static_cast<const char*>(pointer);
        return p >= samples->memory && p <= samples->memory + samples->bytes &&
               bytes <= DWORD(samples->memory + samples->bytes - p);
    }

    // Hands the memory to OpenAL. A buffer attached to sources cannot take new data, so every
    // buffer sharing the samples lets go of it and takes it back where it was.
    HRESULT upload() {
        context->makeCurrent();
        struct Saved {
            SecondaryBuffer* buffer;
            ALint state;
            ALint offset;
        };
        std::vector<Saved> sharing;
        for (SecondaryBuffer* buffer : context->buffers) {
            if (buffer->samples != samples)
                continue;
            Saved saved{buffer, AL_INITIAL, 0};
            alGetSourcei(buffer->source, AL_SOURCE_STATE, &saved.state);
            alGetSourcei(buffer->source, AL_BYTE_OFFSET, &saved.offset);
            alSourceStop(buffer->source);
            alSourcei(buffer->source, AL_BUFFER, 0);
            sharing.push_back(saved);
        }
        alGetError();
        alBufferData(samples->alBuffer, samples->alFormat, samples->memory,
                     ALsizei(samples->frameBytes()), ALsizei(samples->format->nSamplesPerSec));
        HRESULT result = alGetError() == AL_NO_ERROR ? DS_OK : DSERR_GENERIC;
        for (const Saved& saved : sharing) {
            ALuint s = saved.buffer->source;
            alSourcei(s, AL_BUFFER, ALint(samples->alBuffer));
            if (saved.state == AL_PLAYING || saved.state == AL_PAUSED) {
                alSourcei(s, AL_BYTE_OFFSET, saved.offset);
                alSourcePlay(s);
                if (saved.state == AL_PAUSED)
                    alSourcePause(s);
            }
        }
        return result;
    }

    // One reference count for both interfaces; the 3-D one only with 3-D control.
    void* interfaceFor(REFIID iid) override {
        if (iid == IID_IDirectSoundBuffer)
            return static_cast<IDirectSoundBuffer*>(this);
        if (iid == IID_IDirectSound3DBuffer && (flags & DSBCAPS_CTRL3D))
            return static_cast<IDirectSound3DBuffer*>(this);
        return nullptr;
    }

    void lastReleased() override {
        context->makeCurrent();
        if (source) {
            alSourceStop(source);
            alDeleteSources(1, &source);
            --liveSources;
        }
        auto& list = context->buffers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        if (--samples->references == 0)
            delete samples;
        SoundContext* owner = context;
        delete this;
        owner->release();
    }

    DWORD flags;
    ALuint source = 0;
    LONG volume = DSBVOLUME_MAX;
    bool looping = false;
    DWORD startOffset = 0; // where the next Play of a stopped source begins
    Deferred<D3DVECTOR> position{{0.0f, 0.0f, 0.0f}, {}};
};

void applyBuffer3D(SecondaryBuffer* buffer) {
    buffer->apply3D();
}
bool commitBuffer3D(SecondaryBuffer* buffer) {
    return buffer->commit3D();
}

HRESULT createSecondaryBuffer(SoundContext* context, const DSBUFFERDESC& description,
                              LPDIRECTSOUNDBUFFER* buffer) {
    const WAVEFORMATEX* format = description.lpwfxFormat;
    if (!format || description.dwBufferBytes < DSBSIZE_MIN ||
        description.dwBufferBytes > DSBSIZE_MAX)
        return DSERR_INVALIDPARAM;
    context->makeCurrent();
    ALenum alFormat = openAlFormat(*format);
    if (!alFormat)
        return DSERR_BADFORMAT;

    SampleData* samples = new (std::nothrow) SampleData;
    if (!samples)
        return DSERR_OUTOFMEMORY;
    size_t formatSize = sizeof(WAVEFORMATEX) + format->cbSize;
    samples->bytes = description.dwBufferBytes;
    samples->alFormat = alFormat;
    samples->memory = static_cast<char*>(std::calloc(samples->bytes, 1)); // starts silent
    samples->format = static_cast<WAVEFORMATEX*>(std::malloc(formatSize));
    if (!samples->memory || !samples->format) {
        delete samples;
        return DSERR_OUTOFMEMORY;
    }
    std::memcpy(samples->format, format, formatSize);
    alGetError();
    alGenBuffers(1, &samples->alBuffer);
    if (alGetError() != AL_NO_ERROR) {
        samples->alBuffer = 0;
        delete samples;
        return DSERR_OUTOFMEMORY;
    }
    ++liveSampleBuffers;

    SecondaryBuffer* created =
        new (std::nothrow) SecondaryBuffer(context, samples, description.dwFlags);
    if (!created) {
        delete samples;
        return DSERR_OUTOFMEMORY;
    }
    context->addRef();
    if (!created->attach() ||
        FAILED(created->Unlock(samples->memory, samples->bytes, nullptr, 0))) {
        created->Release();
        return DSERR_OUTOFMEMORY;
    }
    *buffer = created;
    return DS_OK;
}

HRESULT duplicateSecondaryBuffer(SoundContext* context, LPDIRECTSOUNDBUFFER original,
                                 LPDIRECTSOUNDBUFFER* duplicate) {
    auto* master = dynamic_cast<SecondaryBuffer*>(original);
    if (!master)
        return DSERR_INVALIDCALL; // the primary buffer has no samples to share
    if (master->context != context)
        return DSERR_INVALIDPARAM;
    DSBCAPS caps{sizeof(DSBCAPS), 0, 0, 0, 0};
    master->GetCaps(&caps);
    SecondaryBuffer* created =
        new (std::nothrow) SecondaryBuffer(context, master->samples, caps.dwFlags);
    if (!created)
        return DSERR_OUTOFMEMORY;
    ++master->samples->references;
    context->addRef();
    if (!created->attach()) {
        created->Release();
        return DSERR_OUTOFMEMORY;
    }
    // A duplicate starts with the master's volume.
    LONG volume = 0;
    if (SUCCEEDED(master->GetVolume(&volume)))
        created->SetVolume(volume);
    *duplicate = static_cast<IDirectSoundBuffer*>(created);
    return DS_OK;
}
