// probe.cpp: a small page program that shows the browser test kit (tools/web/browser.py) sees
// what a page draws and plays and reaches it with keys and the mouse. It clears a WebGL 2 canvas
// to one colour every frame and plays a looping 440 Hz tone through the layer's OpenAL sound
// output (platform/backends/openal), which in the browser has no deferred updates. Page Down
// moves the tone 40 units away inside one batch, Escape stops it; every input is written to the
// console as "probe ...". tests/web/driver_test.py checks all of it.
#include "audio_output.h"

#include <AL/al.h>
#include <GLES3/gl3.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// The canvas's colour; tests/web/driver_test.py expects it as 64, 128, 191.
constexpr float clearRed = 0.25f, clearGreen = 0.5f, clearBlue = 0.75f;

struct Tone {
    AudioOutput* output = nullptr;
    SampleStore* store = nullptr;
    Voice* voice = nullptr;
};

Tone tone;

void frame() {
    glClearColor(clearRed, clearGreen, clearBlue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

VoicePlacement placedAt(float distance) {
    return {false, {0.0f, 0.0f, distance}, 1.0f, 1000.0f, 1.0f};
}

bool startTone() {
    tone.output = openAudioOutput();
    if (tone.output == nullptr)
        return false;
    tone.store = createSampleStore(tone.output);
    if (tone.store == nullptr)
        return false;
    constexpr unsigned rate = 22050;
    std::vector<int16_t> samples(rate); // one second: a whole number of 440 Hz periods
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(12000 * std::sin(2 * M_PI * 440.0 * double(i) / rate));
    if (!fillSampleStore(tone.store, {SampleEncoding::signed16, 1, rate}, samples.data(),
                         samples.size() * sizeof(int16_t)))
        return false;
    tone.voice = createVoice(tone.output, tone.store);
    if (tone.voice == nullptr)
        return false;
    setVoiceLooping(tone.voice, true);
    beginOutputBatch(tone.output);
    placeListener(tone.output, {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 1.0f});
    placeVoice(tone.voice, placedAt(1.0f));
    endOutputBatch(tone.output);
    playVoiceFrom(tone.voice, 0);
    return true;
}

EM_BOOL onKey(int, const EmscriptenKeyboardEvent* event, void*) {
    std::printf("probe key %lu\n", event->keyCode);
    if (event->keyCode == 34 && tone.voice != nullptr) { // Page Down
        beginOutputBatch(tone.output);
        placeVoice(tone.voice, placedAt(40.0f));
        endOutputBatch(tone.output);
        std::printf("probe far\n");
    } else if (event->keyCode == 27 && tone.voice != nullptr) { // Escape
        pauseVoice(tone.voice);
        std::printf("probe silent\n");
    }
    return EM_TRUE;
}

EM_BOOL onMouse(int type, const EmscriptenMouseEvent* event, void*) {
    const char* kind = type == EMSCRIPTEN_EVENT_CLICK ? "click" : "move";
    std::printf("probe %s %ld %ld\n", kind, event->targetX, event->targetY);
    return EM_TRUE;
}

EM_BOOL onWheel(int, const EmscriptenWheelEvent* event, void*) {
    std::printf("probe wheel %d\n", event->deltaY < 0 ? -1 : 1);
    return EM_TRUE;
}

} // namespace

int main() {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
        emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0 ||
        emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        std::printf("probe failed: no WebGL 2\n");
        return 1;
    }
    const bool deferred = alIsExtensionPresent("AL_SOFT_deferred_updates");
    if (!startTone()) {
        std::printf("probe failed: no sound\n");
        return 1;
    }
    std::printf("probe deferred updates: %s\n", deferred ? "yes" : "no");
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKey);
    emscripten_set_click_callback("#canvas", nullptr, EM_TRUE, onMouse);
    emscripten_set_mousemove_callback("#canvas", nullptr, EM_TRUE, onMouse);
    emscripten_set_wheel_callback("#canvas", nullptr, EM_TRUE, onWheel);
    std::printf("probe ready\n");
    emscripten_set_main_loop(frame, 0, 0);
    return 0;
}
