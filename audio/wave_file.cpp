// wave_file.cpp: the RIFF/WAVE reader. It finds the "fmt " and "data" chunks inside the "RIFF"
// chunk of form "WAVE" and copies samples straight out of the service's I/O buffer. Every size
// taken from the file is checked against the chunk that holds it and the file's length, so a
// malformed file can neither overrun a buffer nor ask for unbounded memory.
#include "audio/wave_file.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD pcmFormatBytes = 16; // wFormatTag .. wBitsPerSample

long long chunkEnd(const MMCKINFO& chunk) {
    return (long long)chunk.dwDataOffset + chunk.cksize;
}

} // namespace

WaveFile::~WaveFile() {
    close();
    freeFormat();
}

void WaveFile::freeFormat() {
    std::free(format);
    format = nullptr;
}

HRESULT WaveFile::open(LPCSTR path) {
    if (!path)
        return E_INVALIDARG;
    close(); // a second open must not leak the first file
    freeFormat();
    handle = mmioOpenA(const_cast<LPSTR>(path), nullptr, MMIO_ALLOCBUF | MMIO_READ);
    if (!handle) {
        HRESULT result = openResource(path);
        if (FAILED(result))
            return result;
    }
    HRESULT result = readHeader();
    if (FAILED(result)) {
        mmioClose(handle, 0);
        handle = nullptr;
        return result;
    }
    result = seekToData();
    if (FAILED(result))
        return result;
    dataSize = dataChunk.cksize;
    return S_OK;
}

HRESULT WaveFile::openResource(LPCSTR path) {
    HRSRC resource = FindResourceA(nullptr, path, "WAVE");
    if (!resource)
        resource = FindResourceA(nullptr, path, "WAV");
    if (!resource)
        return E_FAIL;
    HGLOBAL loaded = LoadResource(nullptr, resource);
    DWORD size = loaded ? SizeofResource(nullptr, resource) : 0;
    const void* bytes = size ? LockResource(loaded) : nullptr;
    if (!bytes)
        return E_FAIL;
    resourceCopy = static_cast<BYTE*>(std::malloc(size));
    if (!resourceCopy)
        return E_OUTOFMEMORY;
    std::memcpy(resourceCopy, bytes, size);
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.cchBuffer = LONG(size);
    info.pchBuffer = reinterpret_cast<HPSTR>(resourceCopy);
    handle = mmioOpenA(nullptr, &info, MMIO_ALLOCBUF);
    return S_OK;
}

HRESULT WaveFile::readHeader() {
    freeFormat();
    if (mmioDescend(handle, &riffChunk, nullptr, 0) != MMSYSERR_NOERROR ||
        riffChunk.ckid != FOURCC_RIFF || riffChunk.fccType != mmioFOURCC('W', 'A', 'V', 'E'))
        return E_FAIL;

    MMCKINFO formatChunk{};
    formatChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(handle, &formatChunk, &riffChunk, MMIO_FINDCHUNK) != MMSYSERR_NOERROR ||
        formatChunk.cksize < pcmFormatBytes)
        return E_FAIL;
    PCMWAVEFORMAT pcm;
    if (mmioRead(handle, reinterpret_cast<HPSTR>(&pcm), sizeof pcm) != sizeof pcm)
        return E_FAIL;

    if (pcm.wf.wFormatTag == WAVE_FORMAT_PCM) {
        format = static_cast<WAVEFORMATEX*>(std::malloc(sizeof(WAVEFORMATEX)));
        if (!format)
            return E_FAIL;
        std::memcpy(format, &pcm, sizeof pcm);
        format->cbSize = 0;
    } else {
        // The count of extra bytes is read only when the chunk holds it; a chunk of 16 (or 17)
        // bytes has no extra bytes, like an 18-byte PCM one.
        WORD extraBytes = 0;
        if (formatChunk.cksize >= sizeof(WAVEFORMATEX)) {
            if (mmioRead(handle, reinterpret_cast<HPSTR>(&extraBytes), sizeof extraBytes) !=
                sizeof extraBytes)
                return E_FAIL;
            // The extra bytes must lie inside the format chunk, not in whatever follows it.
            if (sizeof(WAVEFORMATEX) + extraBytes > formatChunk.cksize)
                return E_FAIL;
        }
        format = static_cast<WAVEFORMATEX*>(std::malloc(sizeof(WAVEFORMATEX) + extraBytes));
        if (!format)
            return E_FAIL;
        std::memcpy(format, &pcm, sizeof pcm);
        format->cbSize = extraBytes;
        if (mmioRead(handle, reinterpret_cast<HPSTR>(format + 1), extraBytes) != extraBytes) {
            freeFormat();
            return E_FAIL;
        }
    }

    if (mmioAscend(handle, &formatChunk, 0) != MMSYSERR_NOERROR) {
        freeFormat();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT WaveFile::seekToData() {
    if (!handle)
        return CO_E_NOTINITIALIZED;
    LONG fileLength = mmioSeek(handle, 0, SEEK_END);
    if (fileLength == -1 || mmioSeek(handle, LONG(riffChunk.dwDataOffset + 4), SEEK_SET) == -1)
        return E_FAIL;
    dataChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(handle, &dataChunk, &riffChunk, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return E_FAIL;
    // The samples must lie inside the RIFF chunk and inside the file.
    if (chunkEnd(dataChunk) > chunkEnd(riffChunk) || chunkEnd(dataChunk) > fileLength)
        return E_FAIL;
    return S_OK;
}

HRESULT WaveFile::read(BYTE* destination, DWORD count, DWORD* countRead) {
    if (!handle)
        return CO_E_NOTINITIALIZED;
    if (!destination || !countRead)
        return E_INVALIDARG;
    *countRead = 0;
    MMIOINFO info{};
    if (mmioGetInfo(handle, &info, 0) != MMSYSERR_NOERROR)
        return E_FAIL;
    DWORD n = count < dataChunk.cksize ? count : dataChunk.cksize;
    dataChunk.cksize -= n;
    // Copy whole runs out of the I/O buffer, refilling it when it runs empty.
    for (DWORD done = 0; done < n;) {
        if (info.pchNext == info.pchEndRead) {
            if (mmioAdvance(handle, &info, MMIO_READ) != MMSYSERR_NOERROR ||
                info.pchNext == info.pchEndRead)
                return E_FAIL;
        }
        DWORD available = DWORD(info.pchEndRead - info.pchNext);
        DWORD run = available < n - done ? available : n - done;
        std::memcpy(destination + done, info.pchNext, run);
        info.pchNext += run;
        done += run;
    }
    if (mmioSetInfo(handle, &info, 0) != MMSYSERR_NOERROR)
        return E_FAIL;
    *countRead = n;
    return S_OK;
}

HRESULT WaveFile::close() {
    if (handle) {
        mmioClose(handle, 0);
        handle = nullptr;
    }
    std::free(resourceCopy);
    resourceCopy = nullptr;
    return S_OK;
}
