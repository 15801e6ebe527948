// dsound_buffer.cpp: secondary sound buffers and their 3-D control. Each buffer is one voice of
// the sound output; its samples live in a SampleData record that duplicates share, kept once in
// memory (for Lock) and once in a sample store of the output (refilled at Unlock).
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
    SampleFormat outputFormat{};
    SampleStore* store = nullptr;
    ULONG references = 1;

    ~SampleData() {
        if (store) {
            destroySampleStore(store);
            --liveSampleStores;
        }
        std::free(format);
        std::free(memory);
    }
    // The bytes handed to the output: whole sample frames only.
    DWORD frameBytes() const { return bytes - bytes % format->nBlockAlign; }
};

// The output's format for a wave format; false when the output cannot play it.
bool outputFormat(const AudioOutput* output, const WAVEFORMATEX& f, SampleFormat* out) {
    WORD tag = f.wFormatTag;
    if (tag == waveFormatExtensible && f.cbSize >= 22) {
        // The sub-format GUID begins with the plain format tag.
        const BYTE* extra = reinterpret_cast<const BYTE*>(&f + 1);
        DWORD subFormat;
        std::memcpy(&subFormat, extra + 6, sizeof subFormat);
        tag = WORD(subFormat);
    }
    if (f.nChannels < 1 || f.nChannels > 2 || f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8)
        return false;
    if (f.nSamplesPerSec < minimumFrequency || f.nSamplesPerSec > maximumFrequency)
        return false;
    if (tag == WAVE_FORMAT_PCM && f.wBitsPerSample == 8)
        out->encoding = SampleEncoding::unsigned8;
    else if (tag == WAVE_FORMAT_PCM && f.wBitsPerSample == 16)
        out->encoding = SampleEncoding::signed16;
    else if (tag == waveFormatIeeeFloat && f.wBitsPerSample == 32)
        out->encoding = SampleEncoding::float32;
    else
        return false;
    out->channels = f.nChannels;
    out->rate = f.nSamplesPerSec;
    return outputPlays(output, out->encoding);
}

bool finite(D3DVALUE x, D3DVALUE y, D3DVALUE z) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

} // namespace

class SecondaryBuffer final : public ComObject<IDirectSoundBuffer, IDirectSound3DBuffer> {
public:
    SecondaryBuffer(SoundContext* context, SampleData* samples, DWORD flags)
        : context(context), samples(samples), flags(flags) {}

    // Creates the voice playing the shared samples; false when none is left.
    bool attach() {
        voice = createVoice(context->output, samples->store);
        if (!voice)
            return false;
        ++liveVoices;
        applyGain();
        place();
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
        if (isPlayingOrPaused())
            position = DWORD(voiceOffset(voice));
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
        if (voiceState(voice) == VoiceState::playing)
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
        looping = (playFlags & DSBPLAY_LOOPING) != 0;
        setVoiceLooping(voice, looping);
        VoiceState state = voiceState(voice);
        if (state == VoiceState::playing)
            return DS_OK; // playing on from where it is, as asked now
        if (state == VoiceState::paused) {
            resumeVoice(voice);
        } else {
            // A voice that was never started or ran to its end starts at the set position.
            playVoiceFrom(voice, startOffset);
            startOffset = 0;
        }
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD newPosition) override {
        if (newPosition >= samples->bytes)
            return DSERR_INVALIDPARAM;
        // Positions fall on whole sample frames.
        newPosition -= newPosition % samples->format->nBlockAlign;
        if (isPlayingOrPaused()) {
            setVoiceOffset(voice, std::min(newPosition, samples->frameBytes()));
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
        if (voiceState(voice) == VoiceState::playing)
            pauseVoice(voice); // keeps the position, from where Play goes on
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
        if (apply == DS3D_IMMEDIATE)
            apply3D();
        return DS_OK;
    }

    // Hands the committed position and the listener's rolloff factor to the output.
    void apply3D() {
        if (flags & DSBCAPS_CTRL3D)
            place();
    }
    bool commit3D() { return position.commit(); }

    SoundContext* const context;
    SampleData* const samples;

private:
    bool isPlayingOrPaused() const { return voiceState(voice) != VoiceState::stopped; }

    // Hundredths of a decibel to a linear gain; the minimum is silence.
    void applyGain() {
        float gain = volume <= DSBVOLUME_MIN ? 0.0f : float(std::pow(10.0, volume / 2000.0));
        setVoiceGain(voice, gain);
    }

    // A buffer with 3-D control is heard from its position at DirectSound's default distances;
    // one without plays at the listener, unattenuated.
    void place() {
        if (flags & DSBCAPS_CTRL3D)
            placeVoice(voice, {false, toOutput(position.current), DS3D_DEFAULTMINDISTANCE,
                               DS3D_DEFAULTMAXDISTANCE, context->listener.rolloffFactor.current});
        else
            placeVoice(
                voice,
                {true, {0.0f, 0.0f, 0.0f}, DS3D_DEFAULTMINDISTANCE, DS3D_DEFAULTMAXDISTANCE, 0.0f});
    }

    bool inSamples(LPVOID pointer, DWORD bytes) const {
        const char* p = static_cast<const char*>(pointer);
        return p >= samples->memory && p <= samples->memory + samples->bytes &&
               bytes <= DWORD(samples->memory + samples->bytes - p);
    }

    // Hands the memory to the output; every buffer sharing the samples plays on as it was.
    HRESULT upload() {
        return fillSampleStore(samples->store, samples->outputFormat, samples->memory,
                               samples->frameBytes())
                   ? DS_OK
                   : DSERR_GENERIC;
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
        if (voice) {
            destroyVoice(voice);
            --liveVoices;
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
    Voice* voice = nullptr;
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
    SampleFormat playedFormat{};
    if (!outputFormat(context->output, *format, &playedFormat))
        return DSERR_BADFORMAT;

    SampleData* samples = new (std::nothrow) SampleData;
    if (!samples)
        return DSERR_OUTOFMEMORY;
    size_t formatSize = sizeof(WAVEFORMATEX) + format->cbSize;
    samples->bytes = description.dwBufferBytes;
    samples->outputFormat = playedFormat;
    samples->memory = static_cast<char*>(std::calloc(samples->bytes, 1)); // starts silent
    samples->format = static_cast<WAVEFORMATEX*>(std::malloc(formatSize));
    if (!samples->memory || !samples->format) {
        delete samples;
        return DSERR_OUTOFMEMORY;
    }
    std::memcpy(samples->format, format, formatSize);
    samples->store = createSampleStore(context->output);
    if (!samples->store) {
        delete samples;
        return DSERR_OUTOFMEMORY;
    }
    ++liveSampleStores;

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
