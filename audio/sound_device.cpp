// sound_device.cpp: creation of the sound device, its primary buffer (output format 22050 Hz,
// 16-bit stereo) and listener, and the loading of a master sound from a WAV file into a 3-D buffer
// that every emitter duplicates.
#include "audio/sound_device.h"

#include <cstring>

#include "audio/wave_file.h"

namespace {

HRESULT fail(LPCSTR message) {
    MessageBoxA(nullptr, message, nullptr, MB_OK);
    return E_FAIL;
}

} // namespace

HRESULT createSoundDevice() {
    if (FAILED(DirectSoundCreate8(nullptr, &appState.soundDevice, nullptr)))
        return fail("\xCE\xF8\xE8\xE1\xEA\xE0 DirectSoundCreate8");
    if (FAILED(appState.soundDevice->SetCooperativeLevel(appState.mainWindow, DSSCL_PRIORITY)))
        return fail("\xCE\xF8\xE8\xE1\xEA\xE0 DirectSound (SetCooperativeLevel)");

    DSBUFFERDESC primary{};
    primary.dwSize = sizeof primary;
    primary.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
    primary.guid3DAlgorithm = GUID_NULL;
    if (FAILED(appState.soundDevice->CreateSoundBuffer(&primary, &appState.primaryBuffer, nullptr)))
        return fail("\xCE\xF8\xE8\xE1\xEA\xE0 CreateSoundBuffer (Primary)");

    WAVEFORMATEX output{};
    output.wFormatTag = WAVE_FORMAT_PCM;
    output.nChannels = 2;
    output.nSamplesPerSec = 22050;
    output.nAvgBytesPerSec = 88200;
    output.nBlockAlign = 4;
    output.wBitsPerSample = 16;
    appState.primaryBuffer->SetFormat(&output);

    if (FAILED(appState.primaryBuffer->QueryInterface(
            IID_IDirectSound3DListener8, reinterpret_cast<void**>(&appState.listener))))
        return fail("\xCE\xF8\xE8\xE1\xEA\xE0 QueryInterface (IID_IDirectSound3DListener8)");
    appState.listener->SetRolloffFactor(1.0f, DS3D_IMMEDIATE);
    appState.listener->SetDopplerFactor(0.0f, DS3D_IMMEDIATE);
    return S_OK;
}

HRESULT loadSound(LPCSTR fileName, IDirectSoundBuffer** slot) {
    if (!fileName || !slot || !appState.soundDevice)
        return E_FAIL;
    // The path buffer holds 100 bytes; a longer name is refused rather than cut short.
    static const char folder[] = "Meshes\\";
    char path[100];
    size_t nameLength = std::strlen(fileName);
    if (nameLength > sizeof path - sizeof folder)
        return E_FAIL;
    std::memcpy(path, folder, sizeof folder - 1);
    std::memcpy(path + sizeof folder - 1, fileName, nameLength + 1);

    WaveFile wave;
    if (FAILED(wave.open(path)))
        return E_FAIL;

    DSBUFFERDESC master{};
    master.dwSize = sizeof master;
    master.dwFlags = DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS | DSBCAPS_LOCDEFER;
    master.dwBufferBytes = wave.getDataSize();
    master.lpwfxFormat = wave.format;
    master.guid3DAlgorithm = GUID_NULL;
    if (FAILED(appState.soundDevice->CreateSoundBuffer(&master, slot, nullptr)))
        return E_FAIL;

    // A master that cannot be filled completely (a file cut short) is released, so that the
    // sound stays silent rather than playing part of the file.
    IDirectSoundBuffer* buffer = *slot;
    LPVOID samples = nullptr;
    DWORD length = 0;
    HRESULT result = buffer->Lock(0, 0, &samples, &length, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
    if (SUCCEEDED(result)) {
        DWORD copied = 0;
        HRESULT readResult = wave.read(static_cast<BYTE*>(samples), length, &copied);
        result = buffer->Unlock(samples, length, nullptr, 0);
        if (FAILED(readResult))
            result = readResult;
    }
    if (FAILED(result)) {
        buffer->Release();
        *slot = nullptr;
        return E_FAIL;
    }

    buffer->SetVolume(0);
    buffer->SetCurrentPosition(0);
    return S_OK;
}
