// bogie_sound.cpp: a bogie's sound: two axle clack emitters and a looping running noise whose
// volume follows the train's speed, all duplicates of the two master sounds and positioned in 3-D.
// When a master is absent, its duplicates are not made and stay silent.
#include "audio/bogie_sound.h"

#include <cmath>
#include <cstdlib>
#include <new>

#include "app/application_state.h"
#include "audio/sound_emitter.h"
#include "sim/rolling_stock.h"
#include "sim/train.h"

namespace {

constexpr double fullVolumeSpeed = 1955.555648803711; // 55 km/h
constexpr double fullVolumeSpeedReciprocal = 0.0005113636119799192;
constexpr double startOffsetScale = 3.0518509447574615e-05; // 1/32767 in single precision

// Duplicates master with its 3-D control; leaves both null when there is no master.
void duplicate(IDirectSoundBuffer* master, IDirectSoundBuffer** copy,
               IDirectSound3DBuffer8** copy3D) {
    if (!master || !appState.soundDevice)
        return;
    if (FAILED(appState.soundDevice->DuplicateSoundBuffer(master, copy))) {
        *copy = nullptr;
        return;
    }
    if (FAILED(
            (*copy)->QueryInterface(IID_IDirectSound3DBuffer8, reinterpret_cast<void**>(copy3D))))
        *copy3D = nullptr;
}

SoundEmitter* createEmitter() {
    SoundEmitter* emitter = new (std::nothrow) SoundEmitter;
    if (emitter)
        duplicate(appState.clackSound, &emitter->buffer, &emitter->buffer3D);
    return emitter;
}

void releaseEmitter(SoundEmitter*& emitter) {
    if (!emitter)
        return;
    if (emitter->buffer)
        emitter->buffer->Stop();
    if (emitter->buffer3D) {
        emitter->buffer3D->Release();
        emitter->buffer3D = nullptr;
    }
    if (emitter->buffer) {
        emitter->buffer->Release();
        emitter->buffer = nullptr;
    }
    delete emitter;
    emitter = nullptr;
}

// A draw of the run-time generator scaled to 0..32767, whatever its own range.
int drawRandom() {
    return int(unsigned(std::rand()) / ((unsigned(RAND_MAX) + 1u) / 32768u));
}

} // namespace

LONG runningVolume(double speed) {
    double amplitude = std::pow(10.0, -0.5);
    if (speed < fullVolumeSpeed) {
        amplitude = amplitude * speed * fullVolumeSpeedReciprocal;
        if (amplitude < std::pow(10.0, -9.6))
            amplitude = std::pow(10.0, -9.6);
    }
    return LONG(1000.0 * std::log(amplitude));
}

DWORD runningStartOffset(int r, DWORD bufferBytes) {
    return 2 * DWORD(r * startOffsetScale * double(bufferBytes / 2));
}

void Bogie::createSound() {
    leadingAxle = createEmitter();
    trailingAxle = createEmitter();
    duplicate(appState.runningSound, &runningBuffer, &running3D);
    if (runningBuffer)
        runningBuffer->SetVolume(DSBVOLUME_MIN);
    updateRunningVolume();
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    if (runningBuffer)
        runningBuffer->GetCaps(&caps);
    // One draw per bogie whether or not its sound exists, so the sequence stays the same.
    DWORD start = runningStartOffset(drawRandom(), caps.dwBufferBytes);
    if (runningBuffer) {
        runningBuffer->SetCurrentPosition(start);
        runningBuffer->Play(0, 0, DSBPLAY_LOOPING);
    }
}

void Bogie::updateSound(bool clacks) {
    double halfWheelbase = bogieType->wheelbase * 0.5;
    if (leadingAxle)
        leadingAxle->moveTo(track.advance(trackPosition, halfWheelbase), clacks);
    if (trailingAxle)
        trailingAxle->moveTo(track.advance(trackPosition, -halfWheelbase), clacks);
    updateRunningVolume();
    if (running3D)
        running3D->SetPosition(float(x * soundUnitsPerWorldUnit), 0.0f,
                               float(z * soundUnitsPerWorldUnit), DS3D_DEFERRED);
}

void Bogie::updateRunningVolume() {
    if (runningBuffer)
        runningBuffer->SetVolume(runningVolume(train.speed));
}

void Bogie::releaseSound() {
    releaseEmitter(leadingAxle);
    releaseEmitter(trailingAxle);
    if (runningBuffer)
        runningBuffer->Stop();
    if (running3D) {
        running3D->Release();
        running3D = nullptr;
    }
    if (runningBuffer) {
        runningBuffer->Release();
        runningBuffer = nullptr;
    }
}
