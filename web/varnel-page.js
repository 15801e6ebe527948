// varnel-page.js: the page's side of the web build (program.html.in): Emscripten's Module
// settings for the program, the download's progress bar, the program's message boxes as the
// page's dialog, the "click to start" hint, and what the page says when the download fails, the
// WebGL context is lost or the program ends. Loaded before the data loader (meshes-data.js) and
// the program, which both take their settings from Module. For the browser tests it keeps
// varnelPage.state ("loading", "running", "ended", "failed"), the times (from the page's start,
// in ms) when the data had arrived, the program started and the first frame was shown, the
// count of frames, and the program's own time for its frames (from going on after a frame to
// handing the next one over) with the count of frames it covers.
'use strict';

var varnelPage = (function() {
    var canvas = document.getElementById('canvas');
    var status = document.getElementById('status');
    var statusText = document.getElementById('status-text');
    var progress = document.getElementById('progress');
    var restart = document.getElementById('restart');
    var hint = document.getElementById('click-to-start');
    var page = {
        state: 'loading',
        dataMs: null,
        startMs: null,
        firstFrameMs: null,
        frames: 0,
        programMs: 0,
        timedFrames: 0,
        exitStatus: null,
    };
    var woke = null;

    var program = document.body.dataset.program;
    for (var link of document.querySelectorAll('nav a'))
        if (link.textContent === program)
            link.classList.add('current');

    function say(text) {
        status.hidden = false;
        statusText.textContent = text;
    }

    page.failed = function(text) {
        if (page.state === 'ended' || page.state === 'failed')
            return;
        page.state = 'failed';
        status.classList.add('failed');
        progress.hidden = true;
        hint.hidden = true;
        say(text);
        restart.hidden = false;
    };

    function ended(text) {
        if (page.state === 'failed')
            return;
        page.state = 'ended';
        progress.hidden = true;
        hint.hidden = true;
        say(text);
        restart.hidden = false;
    }

    restart.addEventListener('click', function() { location.reload(); });

    // Browsers start sound only after a click or a key (Emscripten's OpenAL resumes its audio
    // context then); the hint goes with the first one.
    function gesture() {
        hint.hidden = true;
        document.removeEventListener('mousedown', gesture, true);
        document.removeEventListener('keydown', gesture, true);
    }
    document.addEventListener('mousedown', gesture, true);
    document.addEventListener('keydown', gesture, true);

    canvas.addEventListener('webglcontextlost', function(event) {
        event.preventDefault();
        page.failed('The graphics context was lost (the browser took WebGL away). ' +
                    'Start again to get it back.');
    });

    // A failed download of the data package ends in an error thrown from its request.
    window.addEventListener('error', function(event) {
        if (page.state === 'loading')
            page.failed('The download failed: ' + (event.message || 'unknown error') + '.');
    });

    var message = document.getElementById('message');
    var messageDone = null;
    message.addEventListener('close', function() {
        var done = messageDone;
        messageDone = null;
        if (done)
            done();
    });

    window.Module = {
        canvas: canvas,
        print: function(text) { console.log(text); },
        printErr: function(text) { console.warn(text); },
        // The data loader reports "Downloading data... (loaded/total)".
        setStatus: function(text) {
            var numbers = /\((\d+(?:\.\d+)?)\/(\d+(?:\.\d+)?)\)/.exec(text);
            if (numbers) {
                progress.max = Number(numbers[2]) || 1;
                progress.value = Number(numbers[1]);
                statusText.textContent = 'Downloading the data\u2026';
                if (progress.value >= progress.max && page.dataMs === null)
                    page.dataMs = performance.now();
            }
        },
        onRuntimeInitialized: function() {
            page.startMs = performance.now();
            statusText.textContent = 'Starting\u2026';
        },
        onAbort: function(what) {
            page.failed('The program stopped: ' + what + '.');
        },
        onExit: function(code) {
            page.exitStatus = code;
            canvas.style.display = 'none';
            ended('The program has ended.');
        },
        // Called by the program at each frame it shows.
        varnelFrame: function() {
            page.frames++;
            if (woke !== null) {
                page.programMs += performance.now() - woke;
                page.timedFrames++;
                woke = null;
            }
            if (page.firstFrameMs === null) {
                page.firstFrameMs = performance.now();
                page.state = 'running';
                status.hidden = true;
                hint.hidden = false;
            }
        },
        varnelWoke: function() { woke = performance.now(); },
        // The program's message box: the dialog, until OK (or Escape) closes it.
        varnelMessageBox: function(title, text, icon, done) {
            document.getElementById('message-title').textContent = title;
            document.getElementById('message-text').textContent = text;
            message.dataset.icon = ['information', 'warning', 'error'][icon] || 'information';
            messageDone = done;
            message.showModal();
        },
    };
    return page;
})();
