// hud.cpp: the overlay layout of the program and the per-frame readouts.
#include "graphics/hud.h"

#include "app/scene_objects.h"
#include <mmsystem.h>

TextItem* fpsItem = nullptr;
TextItem* carNumberItem = nullptr;
TextItem* trainTypeItem = nullptr;
TextItem* speedItem = nullptr;
TextItem* targetSpeedItem = nullptr;

namespace {

constexpr DWORD fpsInterval = 500; // milliseconds between frame-rate computations

} // namespace

void buildHud() {
    TextOverlay* overlay = new TextOverlay(665, 18, 18);
    overlay->colour = 0xA6D9F2FF;
    appState.overlay = overlay;

    TextGroup* status = overlay->addGroup(10);
    fpsItem = status->addItem(0, "FPS: ", "0");
    carNumberItem = status->addItem(1, "Car number: ", "1");
    trainTypeItem = status->addItem(2, "", "");

    TextGroup* speeds = overlay->addGroup(150, 160);
    speedItem = speeds->addItem(0, "Speed (km/h): ", "0");
    targetSpeedItem = speeds->addItem(1, "Dest speed (km/h): ", "0");

    overlay->addGroup(400)->addLabel(0, "Controls:");

    TextGroup* cameraKeys = overlay->addGroup(480, 125);
    cameraKeys->addItem(0, "Mouse", "- move camera");
    cameraKeys->addItem(1, "Mouse wheel", "- camera distance");
    cameraKeys->addItem(2, "Right/left arrows", "- select car");

    TextGroup* trainKeys = overlay->addGroup(760, 90);
    trainKeys->addItem(0, "PgUp/PgDn", "- train speed control");
    trainKeys->addItem(1, "Enter", "- toggle train type");
    trainKeys->addItem(2, "ESC", "- exit");
}

void releaseHud() {
    if (!appState.overlay)
        return;
    appState.overlay->free();
    delete appState.overlay;
    appState.overlay = nullptr;
    fpsItem = carNumberItem = trainTypeItem = speedItem = targetSpeedItem = nullptr;
}

void showTargetSpeed(double kilometresPerHour) {
    if (targetSpeedItem)
        targetSpeedItem->formatValue("%0.1f", kilometresPerHour);
}

void updateReadouts() {
    updateReadoutsAt(timeGetTime());
}

void updateReadoutsAt(DWORD now) {
    ++appState.frameCount;
    DWORD elapsed = now - appState.lastFpsTime; // unsigned: right across a timer wrap
    if (elapsed >= fpsInterval) {
        appState.framesPerSecond = static_cast<double>(appState.frameCount) / elapsed * 1000.0;
        appState.frameCount = 0;
        appState.lastFpsTime = now;
    }
    if (fpsItem)
        fpsItem->formatValue("%.1f", appState.framesPerSecond);
    if (speedItem)
        speedItem->formatValue("%.1f", train.speed * kilometresPerHourPerUnit);
}
