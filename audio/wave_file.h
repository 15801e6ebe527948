// wave_file.h: WaveFile reads a RIFF/WAVE sound through the multimedia file services: its format
// record, the size of its sample data and the samples themselves. A file that cannot be opened is
// looked for among the program's resources and read from memory.
#pragma once

#include <windows.h>
#include <mmsystem.h>

struct WaveFile {
    WAVEFORMATEX* format = nullptr; // followed by cbSize extra bytes; owned
    HMMIO handle = nullptr;
    MMCKINFO dataChunk{}; // cksize counts the sample bytes not yet read
    MMCKINFO riffChunk{};
    DWORD dataSize = 0;           // the data chunk's size as found by open
    BYTE* resourceCopy = nullptr; // owned copy of a resource's bytes, or null

    WaveFile() = default;
    WaveFile(const WaveFile&) = delete;
    WaveFile& operator=(const WaveFile&) = delete;
    ~WaveFile();

    // Opens the file or resource at path and positions it at the first sample byte.
    HRESULT open(LPCSTR path);
    HRESULT readHeader();
    HRESULT seekToData();
    // Copies up to count sample bytes into destination; the count copied goes to *countRead.
    HRESULT read(BYTE* destination, DWORD count, DWORD* countRead);
    DWORD getDataSize() const { return dataSize; }
    HRESULT close();

private:
    HRESULT openResource(LPCSTR path);
    void freeFormat();
};
