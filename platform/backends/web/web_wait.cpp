// web_wait.cpp: the waits of web_wait.h as JavaScript functions that Asyncify suspends the
// program in. The page (web/varnel-page.js) may provide Module.varnelMessageBox(title, text,
// icon, done) to show the dialog, and Module.varnelFrame(), called at each frame; without them
// the browser's alert stands in for the dialog.
#include "web_wait.h"

#include <emscripten/emscripten.h>

// clang-format off
EM_JS(void, varnel_wait_for_frame, (int vsync), {
    Asyncify.handleSleep(function(wakeUp) {
        if (Module['varnelFrame'])
            Module['varnelFrame']();
        if (vsync) {
            requestAnimationFrame(function() { wakeUp(); });
        } else {
            // A message to ourselves runs after the browser's queued work, without the
            // minimum delay of a timer.
            var channel = new MessageChannel();
            channel.port1.onmessage = function() { wakeUp(); };
            channel.port2.postMessage(0);
        }
    });
});

EM_JS(void, varnel_wait_for_dialog, (const char* title, const char* text, int icon), {
    var titleText = UTF8ToString(title);
    var bodyText = UTF8ToString(text);
    Asyncify.handleSleep(function(wakeUp) {
        if (Module['varnelMessageBox']) {
            Module['varnelMessageBox'](titleText, bodyText, icon, function() { wakeUp(); });
        } else {
            alert(titleText + '\n\n' + bodyText);
            wakeUp();
        }
    });
});
// clang-format on

void waitForFrame(bool vsync) {
    varnel_wait_for_frame(vsync ? 1 : 0);
}

void waitForDialog(const char* title, const char* text, int icon) {
    varnel_wait_for_dialog(title, text, icon);
}
