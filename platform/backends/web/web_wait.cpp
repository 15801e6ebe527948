// web_wait.cpp: the waits of web_wait.h as JavaScript functions that Asyncify suspends the
// program in. The page (web/varnel-page.js) may provide Module.varnelMessageBox(title, text,
// icon, done) to show the dialog, Module.varnelFrame(), called as each frame is handed to the
// browser, and Module.varnelWoke(), called as the program goes on after the wait (the time
// between the two is the program's own time for a frame); without them the browser's alert
// stands in for the dialog. Once main has waited, its return comes from
// the browser's last wake-up rather than to Emscripten's start-up code, so the first wait
// arranges for that return to end the program as a return from main does (the exit handlers,
// then Module.onExit).
#include "web_wait.h"

#include <emscripten/emscripten.h>

// clang-format off
EM_JS(void, varnel_exit_when_main_returns, (), {
    if (Module['varnelExitArranged'])
        return;
    Module['varnelExitArranged'] = true;
    Asyncify.whenDone().then(function(code) {
        try {
            exit(code);
        } catch (e) {
            // exit() ends by throwing ExitStatus, which only unwinds this callback here.
            if (!(e instanceof ExitStatus))
                throw e;
        }
    });
});

EM_JS(void, varnel_wait_for_frame, (int vsync), {
    Asyncify.handleSleep(function(wakeUp) {
        if (Module['varnelFrame'])
            Module['varnelFrame']();
        function wake() {
            if (Module['varnelWoke'])
                Module['varnelWoke']();
            wakeUp();
        }
        if (vsync) {
            requestAnimationFrame(wake);
        } else {
            // A message to ourselves runs after the browser's queued work, without the
            // minimum delay of a timer.
            var channel = new MessageChannel();
            channel.port1.onmessage = wake;
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
    varnel_exit_when_main_returns();
    varnel_wait_for_frame(vsync ? 1 : 0);
}

void waitForDialog(const char* title, const char* text, int icon) {
    varnel_exit_when_main_returns();
    varnel_wait_for_dialog(title, text, icon);
}
