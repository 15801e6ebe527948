// win_main_test.cpp: the program's own WinMain run in a child process on the real layer, with
// the device, sound and input objects and the window, timer and D3DX calls recorded in one
// journal (recording_doubles.h). The calls are intercepted at link time (the linker's
// --wrap, see tests/CMakeLists.txt), so the program's code runs unchanged; the timer is a script
// that advances 20 ms per presented frame. Checks the start-up order, the loop's turns, the
// frame's order and contents, the window procedure and the release order.
#include "recording_doubles.h"

#include "app/application_state.h"
#include "app/main_window.h"
#include "app/release_all.h"
#include "app/scene_objects.h"
#include "graphics/hud.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// What the child does while the program runs.
struct Scenario {
    bool noDirect3D = false;
    bool noInput = false;
    bool noBufferSize = false; // the keyboard refuses its buffer size
    bool noSound = false;
    bool noListener = false;  // the primary buffer gives out no listener
    int postAtFrame = 0;      // after this frame two user messages are posted
    int probeAtFrame = 0;     // after this frame the window procedure is called directly
    int closeAtFrame = 0;     // after this frame the window gets WM_CLOSE
    int escapeAtFrame = 0;    // after this frame the keyboard delivers Escape
    bool afterTheEnd = false; // after WinMain: releaseAll once more, and an activation
};

Scenario scenario;
int journalOutput = -1; // the child's end of the pipe to the test
int peeks = 0;

// Hands the journal to the test and ends the child.
[[noreturn]] void endChild() {
    std::string text;
    for (const std::string& line : journal())
        text += line + "\n";
    for (size_t done = 0; done < text.size();) {
        ssize_t written = write(journalOutput, text.data() + done, text.size() - done);
        if (written <= 0)
            break;
        done += size_t(written);
    }
    _exit(0);
}
DWORD scriptedClock = 5000;
RecordingInput* recordedInput = nullptr;

const HINSTANCE givenInstance = reinterpret_cast<HINSTANCE>(0x5A5A0);

const char* messageName(UINT message) {
    switch (message) {
    case WM_DESTROY:
        return "WM_DESTROY";
    case WM_ACTIVATE:
        return "WM_ACTIVATE";
    case WM_CLOSE:
        return "WM_CLOSE";
    case WM_QUIT:
        return "WM_QUIT";
    case WM_USER + 1:
        return "WM_USER+1";
    case WM_USER + 2:
        return "WM_USER+2";
    default:
        return nullptr;
    }
}

// "WM_CLOSE" or the number of a message that no check names.
std::string nameOf(UINT message) {
    const char* name = messageName(message);
    if (name != nullptr)
        return name;
    char number[16];
    std::snprintf(number, sizeof number, "0x%x", message);
    return number;
}

// The program's state that start-up sets, written when the first frame begins.
void recordStartValues(int presented) {
    if (presented != 0)
        return;
    record("start: passenger=%d cars=%d position=%.17g speed=%.17g target=%.17g",
           appState.passengerTrain, train.carCount, train.position, train.speed, train.targetSpeed);
    record("start: camera pitch=%.17g yaw=%.17g distance=%.17g follow=%d car=%d fov=%.17g",
           camera.pitch, camera.yaw, camera.distance, int(camera.followSelectedCar),
           camera.selectedCar, camera.fieldOfView);
    record("start: fps=%g frames=%d last=%lu target=\"%s\" car=\"%s\" type=\"%s\"",
           appState.framesPerSecond, appState.frameCount, (unsigned long)appState.lastFpsTime,
           targetSpeedItem->value, carNumberItem->value, trainTypeItem->value);
    // The texture file that each material of each loaded mesh names, as the loader gave it.
    const struct {
        const char* file;
        const MeshModel& model;
    } models[] = {{"SegStraight.X", straightType}, {"SegTurnLeft.X", leftTurnType},
                  {"CarTruck.X", truckType},       {"GoodsCar.X", goodsCarType},
                  {"Cistern.X", tankCarType},      {"PseudoPassengerCar.X", passengerCarType}};
    for (const auto& entry : models) {
        auto* materials = static_cast<D3DXMATERIAL*>(entry.model.materials->GetBufferPointer());
        std::string names;
        for (DWORD i = 0; i < entry.model.materialCount; ++i)
            names += std::string(" ") + materials[i].pTextureFilename;
        record("model: %s%s", entry.file, names.c_str());
    }
}

void probeWindowProcedure() {
    HWND window = appState.mainWindow;
    record("probe: WM_ACTIVATE(WA_INACTIVE) -> %ld",
           long(mainWindowProc(window, WM_ACTIVATE, WA_INACTIVE, 0)));
    record("probe: WM_ACTIVATE(WA_ACTIVE) -> %ld",
           long(mainWindowProc(window, WM_ACTIVATE, WA_ACTIVE, 0)));
    record("probe: WM_ACTIVATE(WA_CLICKACTIVE) -> %ld",
           long(mainWindowProc(window, WM_ACTIVATE, WA_CLICKACTIVE, 0)));
    record("probe: WM_USER+1 -> %ld", long(mainWindowProc(window, WM_USER + 1, 3, 4)));
}

void afterFrame(int presented) {
    scriptedClock += 20;
    LayerCall call; // the layer stamps posted messages with the time
    if (presented == scenario.postAtFrame) {
        PostMessageA(appState.mainWindow, WM_USER + 1, 1, 2);
        PostMessageA(appState.mainWindow, WM_USER + 2, 0, 0);
    }
    if (presented == scenario.probeAtFrame)
        probeWindowProcedure();
    if (presented == scenario.closeAtFrame)
        PostMessageA(appState.mainWindow, WM_CLOSE, 0, 0);
    if (presented == scenario.escapeAtFrame)
        recordedInput->keyboard->pendingKey = DIK_ESCAPE;
}

} // namespace

// The intercepted calls. Each records itself and passes the call on to the layer; the device,
// sound and input objects come back wrapped in their recorders.
extern "C" {
IDirect3D9* __real_Direct3DCreate9(UINT);
IDirect3D9* __wrap_Direct3DCreate9(UINT version) {
    record("Direct3DCreate9(%u)", version);
    if (scenario.noDirect3D)
        return nullptr;
    auto* direct3D = new RecordingDirect3D(__real_Direct3DCreate9(version), "direct3D");
    direct3D->beforeClear = recordStartValues;
    direct3D->afterPresent = afterFrame;
    return direct3D;
}

HRESULT __real_DirectInput8Create(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);
HRESULT __wrap_DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                  LPUNKNOWN outer) {
    record("DirectInput8Create(%s,0x%lx)", instance == givenInstance ? "given instance" : "other",
           (unsigned long)version);
    if (scenario.noInput)
        return E_FAIL;
    IDirectInput8A* created = nullptr;
    HRESULT result = __real_DirectInput8Create(GetModuleHandleA(nullptr), version, riid,
                                               reinterpret_cast<LPVOID*>(&created), outer);
    *out = nullptr;
    if (SUCCEEDED(result)) {
        recordedInput = new RecordingInput(created, "input");
        recordedInput->keyboardReadsBeforeEscape = 100; // a program that stopped drawing ends
        if (scenario.noBufferSize)
            recordedInput->keyboardPropertyRefusal = DIERR_ACQUIRED;
        *out = recordedInput;
    }
    return result;
}

HRESULT __real_DirectSoundCreate8(LPCGUID, LPDIRECTSOUND8*, LPUNKNOWN);
HRESULT __wrap_DirectSoundCreate8(LPCGUID device, LPDIRECTSOUND8* out, LPUNKNOWN outer) {
    record("DirectSoundCreate8");
    if (scenario.noSound)
        return E_FAIL;
    listenerRefused() = scenario.noListener;
    IDirectSound8* created = nullptr;
    HRESULT result = __real_DirectSoundCreate8(device, &created, outer);
    *out = nullptr;
    if (SUCCEEDED(result))
        *out = new RecordingSound(created, "sound");
    return result;
}

// The D3DX objects are made on the real device, so that their own device calls stay out of the
// journal; the font and the meshes come back wrapped.
HRESULT __real_D3DXCreateFontA(LPDIRECT3DDEVICE9, INT, UINT, UINT, UINT, BOOL, DWORD, DWORD, DWORD,
                               DWORD, LPCSTR, LPD3DXFONT*);
HRESULT __wrap_D3DXCreateFontA(LPDIRECT3DDEVICE9 device, INT height, UINT width, UINT weight,
                               UINT mipLevels, BOOL italic, DWORD charSet, DWORD precision,
                               DWORD quality, DWORD pitchAndFamily, LPCSTR face, LPD3DXFONT* font) {
    record("D3DXCreateFontA(%s,%d,%u,%u,%u,%d,%lu,%lu,%lu,%lu,\"%s\")",
           device == appState.graphicsDevice ? "device" : "other", height, width, weight, mipLevels,
           int(italic), (unsigned long)charSet, (unsigned long)precision, (unsigned long)quality,
           (unsigned long)pitchAndFamily, face);
    ID3DXFont* created = nullptr;
    HRESULT result =
        __real_D3DXCreateFontA(unwrapped(device), height, width, weight, mipLevels, italic, charSet,
                               precision, quality, pitchAndFamily, face, &created);
    *font = nullptr;
    if (SUCCEEDED(result))
        *font = new RecordingFont(created, "font");
    return result;
}

HRESULT __real_D3DXLoadMeshFromXA(LPCSTR, DWORD, LPDIRECT3DDEVICE9, LPD3DXBUFFER*, LPD3DXBUFFER*,
                                  LPD3DXBUFFER*, DWORD*, LPD3DXMESH*);
HRESULT __wrap_D3DXLoadMeshFromXA(LPCSTR path, DWORD options, LPDIRECT3DDEVICE9 device,
                                  LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials,
                                  LPD3DXBUFFER* effects, DWORD* materialCount, LPD3DXMESH* mesh) {
    record("D3DXLoadMeshFromXA(\"%s\",0x%lx,%s,%p,%p)", path, (unsigned long)options,
           device == appState.graphicsDevice ? "device" : "other", (void*)adjacency,
           (void*)effects);
    ID3DXMesh* created = nullptr;
    HRESULT result = __real_D3DXLoadMeshFromXA(path, options, unwrapped(device), adjacency,
                                               materials, effects, materialCount, &created);
    *mesh = nullptr;
    if (SUCCEEDED(result)) {
        const char* name = std::strrchr(path, '\\');
        *mesh = new RecordingMesh(created, name != nullptr ? name + 1 : path);
    }
    return result;
}

HRESULT __real_D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9, LPCSTR, LPDIRECT3DTEXTURE9*);
HRESULT __wrap_D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR path,
                                          LPDIRECT3DTEXTURE9* texture) {
    HRESULT result = __real_D3DXCreateTextureFromFileA(unwrapped(device), path, texture);
    record("D3DXCreateTextureFromFileA(%s,\"%s\") -> %p",
           device == appState.graphicsDevice ? "device" : "other", path,
           SUCCEEDED(result) ? (void*)*texture : nullptr);
    return result;
}

ATOM __real_RegisterClassExA(const WNDCLASSEXA*);
ATOM __wrap_RegisterClassExA(const WNDCLASSEXA* c) {
    record("RegisterClassExA(size=%u,style=0x%x,proc=%s,extra=%d/%d,instance=%s,icon=%p,"
           "cursor=%p,brush=%p,menu=%p,class=\"%s\",small=%p)",
           c->cbSize, c->style, c->lpfnWndProc == mainWindowProc ? "main" : "other", c->cbClsExtra,
           c->cbWndExtra, c->hInstance == GetModuleHandleA(nullptr) ? "module" : "other",
           (void*)c->hIcon, (void*)c->hCursor, (void*)c->hbrBackground,
           (const void*)c->lpszMenuName, c->lpszClassName, (void*)c->hIconSm);
    return __real_RegisterClassExA(c);
}

HWND __real_CreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                            HINSTANCE, LPVOID);
HWND __wrap_CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID parameter) {
    HWND window = __real_CreateWindowExA(exStyle, className, title, style, x, y, width, height,
                                         parent, menu, instance, parameter);
    record("CreateWindowExA(0x%lx,\"%s\",\"%s\",0x%lx,%d,%d,%d,%d,%p,%p,%s,%p) visible=%d",
           (unsigned long)exStyle, className, title, (unsigned long)style, x, y, width, height,
           (void*)parent, (void*)menu, instance == GetModuleHandleA(nullptr) ? "module" : "other",
           parameter, int(IsWindowVisible(window)));
    record("window: %p", (void*)window);
    return window;
}

BOOL __real_ShowWindow(HWND, int);
BOOL __wrap_ShowWindow(HWND window, int command) {
    record("ShowWindow(%s,%d)", window == appState.mainWindow ? "main" : "other", command);
    LayerCall call;
    BOOL result = __real_ShowWindow(window, command);
    record("ShowWindow returned");
    return result;
}

BOOL __real_UpdateWindow(HWND);
BOOL __wrap_UpdateWindow(HWND window) {
    record("UpdateWindow(%s)", window == appState.mainWindow ? "main" : "other");
    LayerCall call;
    return __real_UpdateWindow(window);
}

BOOL __real_UnregisterClassA(LPCSTR, HINSTANCE);
BOOL __wrap_UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    record("UnregisterClassA(\"%s\",%s)", className,
           instance == GetModuleHandleA(nullptr) ? "module" : "other");
    return __real_UnregisterClassA(className, instance);
}

BOOL __real_PeekMessageA(LPMSG, HWND, UINT, UINT, UINT);
BOOL __wrap_PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
    // A loop that never ends is cut short here, with what it did so far.
    if (++peeks > 500) {
        record("the loop did not end");
        endChild();
    }
    BOOL result;
    {
        LayerCall call;
        result = __real_PeekMessageA(msg, window, first, last, remove);
    }
    if (result)
        record("PeekMessageA(%p,%u,%u,%u) -> %s", (void*)window, first, last, remove,
               nameOf(msg->message).c_str());
    else
        record("PeekMessageA(%p,%u,%u,%u) -> none", (void*)window, first, last, remove);
    return result;
}

BOOL __real_TranslateMessage(const MSG*);
BOOL __wrap_TranslateMessage(const MSG* msg) {
    record("TranslateMessage(%s)", nameOf(msg->message).c_str());
    return __real_TranslateMessage(msg);
}

LRESULT __real_DispatchMessageA(const MSG*);
LRESULT __wrap_DispatchMessageA(const MSG* msg) {
    record("DispatchMessageA(%s)", nameOf(msg->message).c_str());
    LayerCall call;
    return __real_DispatchMessageA(msg);
}

LRESULT __real_SendMessageA(HWND, UINT, WPARAM, LPARAM);
LRESULT __wrap_SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    record("SendMessageA(%s,%s,%lu,%ld)", window == appState.mainWindow ? "main" : "other",
           nameOf(message).c_str(), (unsigned long)wParam, long(lParam));
    LayerCall call;
    LRESULT result = __real_SendMessageA(window, message, wParam, lParam);
    record("SendMessageA -> %ld", long(result));
    return result;
}

void __real_PostQuitMessage(int);
void __wrap_PostQuitMessage(int code) {
    record("PostQuitMessage(%d)", code);
    __real_PostQuitMessage(code);
}

LRESULT __real_DefWindowProcA(HWND, UINT, WPARAM, LPARAM);
LRESULT __wrap_DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A user message answers 77, so that the caller can be seen to pass the result on.
    if (message == WM_USER + 1) {
        record("DefWindowProcA(%s,WM_USER+1,%lu,%ld) -> 77",
               window == appState.mainWindow ? "main" : "other", (unsigned long)wParam,
               long(lParam));
        return 77;
    }
    if (messageName(message) != nullptr)
        record("DefWindowProcA(%s)", messageName(message));
    LayerCall call;
    return __real_DefWindowProcA(window, message, wParam, lParam);
}

DWORD __wrap_timeGetTime() {
    if (insideLayer() == 0)
        record("timeGetTime -> %lu", (unsigned long)scriptedClock);
    return scriptedClock;
}

HMMIO __real_mmioOpenA(LPSTR, LPMMIOINFO, DWORD);
HMMIO __wrap_mmioOpenA(LPSTR path, LPMMIOINFO info, DWORD flags) {
    if (path != nullptr)
        record("mmioOpenA(\"%s\")", path);
    return __real_mmioOpenA(path, info, flags);
}

int __real_MessageBoxA(HWND, LPCSTR, LPCSTR, UINT);
int __wrap_MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    record("MessageBoxA(%s,\"%s\",%p,%u)",
           owner == nullptr               ? "none"
           : owner == appState.mainWindow ? "main"
                                          : "other",
           text, (const void*)caption, type);
    LayerCall call;
    return __real_MessageBoxA(owner, text, caption, type);
}

void __real_srand(unsigned);
void __wrap_srand(unsigned seed) {
    record("srand(%u)", seed);
    __real_srand(seed);
}
} // extern "C"

namespace {

// The journal of one run of WinMain in a child process, ending with "WinMain -> <result>".
std::vector<std::string> runProgram(const Scenario& wanted) {
    int channel[2];
    if (pipe(channel) != 0)
        return {"pipe failed"};
    pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        journalOutput = channel[1];
        alarm(60);
        scenario = wanted;
        // Values that start-up must overwrite.
        appState.frameCount = 99;
        appState.framesPerSecond = 99.0;
        appState.lastFpsTime = 1;
        camera.pitch = camera.distance = 1.0;
        journal().clear();
        record("WinMain -> %d", WinMain(givenInstance, nullptr, const_cast<LPSTR>(""), 5));
        if (wanted.afterTheEnd) {
            releaseAll();
            record("released again");
            record("WM_ACTIVATE without devices -> %ld",
                   long(mainWindowProc(nullptr, WM_ACTIVATE, WA_ACTIVE, 0)));
        }
        endChild();
    }
    close(channel[1]);
    std::string text;
    char block[4096];
    for (ssize_t got; (got = read(channel[0], block, sizeof block)) > 0;)
        text.append(block, size_t(got));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        lines.push_back("child ended abnormally");
    return lines;
}

// The handle of the window the program created, as the journal writes it.
std::string windowIn(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (line.compare(0, 8, "window: ") == 0)
            return line.substr(8);
    return "no window";
}

bool startsWith(const std::string& line, const char* prefix) {
    return line.compare(0, std::strlen(prefix), prefix) == 0;
}

// The lines that start with one of the prefixes, in journal order.
std::vector<std::string> only(const std::vector<std::string>& lines,
                              std::initializer_list<const char*> prefixes) {
    std::vector<std::string> kept;
    for (const std::string& line : lines)
        for (const char* prefix : prefixes)
            if (startsWith(line, prefix)) {
                kept.push_back(line);
                break;
            }
    return kept;
}

size_t indexOf(const std::vector<std::string>& lines, const std::string& line, size_t from = 0) {
    auto found = std::find(lines.begin() + std::min(from, lines.size()), lines.end(), line);
    return size_t(found - lines.begin());
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// One run: messages posted after frame 1, the window procedure probed after frame 2, Escape
// after frame 3.
class ProgramRun : public testing::Test {
protected:
    static void SetUpTestSuite() {
        Scenario run;
        run.postAtFrame = 1;
        run.probeAtFrame = 2;
        run.escapeAtFrame = 3;
        run.afterTheEnd = true;
        lines = runProgram(run);
    }
    static inline std::vector<std::string> lines;
};

} // namespace

TEST_F(ProgramRun, StartsUpInItsFixedOrder) {
    // Everything up to the first turn of the loop; texture loads are checked with the draws.
    std::vector<std::string> startUp(
        lines.begin(), lines.begin() + indexOf(lines, "PeekMessageA((nil),0,0,1) -> none"));
    startUp =
        only(startUp, {"Register", "Create", "Direct", "direct3D.", "device.", "input.", "mouse.",
                       "keyboard.", "sound.", "listener.", "ShowWindow", "Update", "D3DXCreateFont",
                       "D3DXLoadMesh", "srand", "mmio", "timeGetTime", "SendMessageA(main"});
    const std::vector<std::string> expected = {
        "RegisterClassExA(size=" + std::to_string(sizeof(WNDCLASSEXA)) +
            ",style=0x40,proc=main,extra=0/0,instance=module,icon=(nil),cursor=(nil),"
            "brush=(nil),menu=(nil),class=\"VarnelWindow\",small=(nil))",
        "CreateWindowExA(0x0,\"VarnelWindow\",\"Varnel\",0xcf0000,50,50,1024,768,(nil),(nil),"
        "module,(nil)) visible=0",
        "Direct3DCreate9(32)",
        "direct3D.CreateDevice(0,1," + windowIn(lines) +
            ",0x20,swap=1,windowed=1,depth=1/77,interval=0x80000000,size=0x0,format=0,buffers=0,"
            "multisample=0,window=(nil),flags=0,refresh=0)",
        "device.SetRenderState(22,0x3)", // cull counter-clockwise
        "device.SetRenderState(7,0x1)",  // z-buffer on
        "device.SetSamplerState(0,7,2)", // mip, min and mag filters linear
        "device.SetSamplerState(0,6,2)", "device.SetSamplerState(0,5,2)",
        "DirectInput8Create(given instance,0x800)", "input.CreateDevice(mouse)",
        "mouse.SetDataFormat", "mouse.SetCooperativeLevel(" + windowIn(lines) + ",5)",
        "input.CreateDevice(keyboard)", "keyboard.SetDataFormat",
        "keyboard.SetCooperativeLevel(" + windowIn(lines) + ",5)", "keyboard.SetProperty",
        "DirectSoundCreate8", "sound.SetCooperativeLevel(" + windowIn(lines) + ",2)",
        "sound.CreateSoundBuffer(0x11,0)", "listener.SetRolloffFactor(1,0)",
        "listener.SetDopplerFactor(0,0)", "ShowWindow(main,10)",
        // Showing activates the window, which acquires the devices before ShowWindow returns.
        "SendMessageA(main,WM_ACTIVATE,1,0)", "mouse.Acquire", "keyboard.Acquire",
        "ShowWindow returned", "UpdateWindow(main)",
        "D3DXCreateFontA(device,18,0,700,1,0,1,0,0,0,\"Arial\")", "srand(1)",
        "D3DXLoadMeshFromXA(\"meshes\\SegStraight.X\",0x110,device,(nil),(nil))",
        "D3DXLoadMeshFromXA(\"meshes\\SegTurnLeft.X\",0x110,device,(nil),(nil))",
        "mmioOpenA(\"Meshes\\Stuk.wav\")", "sound.CreateSoundBuffer(0x48090,11024)",
        "mmioOpenA(\"Meshes\\TrainBackground.wav\")", "sound.CreateSoundBuffer(0x48090,176400)",
        "D3DXLoadMeshFromXA(\"meshes\\CarTruck.X\",0x110,device,(nil),(nil))",
        "D3DXLoadMeshFromXA(\"meshes\\GoodsCar.X\",0x110,device,(nil),(nil))",
        "D3DXLoadMeshFromXA(\"meshes\\Cistern.X\",0x110,device,(nil),(nil))",
        "D3DXLoadMeshFromXA(\"meshes\\PseudoPassengerCar.X\",0x110,device,(nil),(nil))",
        "timeGetTime -> 5000", // the train's clock
        "device.SetLight(0)", "device.LightEnable(0,1)",
        "device.SetRenderState(137,0x1)",      // lighting
        "device.SetRenderState(139,0x202020)", // ambient
        "device.SetMaterial",
        "timeGetTime -> 5000", // the frame-rate counter
    };
    EXPECT_EQ(joined(startUp), joined(expected));
}

TEST_F(ProgramRun, TrainStandsPlacedWithItsRunningNoisesBeforeTheFirstFrame) {
    // Every bogie's running noise loops from the consist's build on, before the clock starts;
    // placed without clacks and moving 14 units a frame, the train crosses no rail joint here.
    std::vector<std::string> plays = only(lines, {"copy.Play", "timeGetTime"});
    std::vector<std::string> expected(20, "copy.Play(1)");
    expected.push_back("timeGetTime -> 5000");
    ASSERT_GE(plays.size(), expected.size());
    EXPECT_EQ(joined({plays.begin(), plays.begin() + 21}), joined(expected));
    EXPECT_EQ(only(lines, {"copy.Play"}).size(), 20u);
}

TEST_F(ProgramRun, FirstFrameStartsFromTheStartValues) {
    const std::vector<std::string> expected = {
        "start: passenger=0 cars=10 position=500 speed=711.11114501953125 "
        "target=2133.3334350585938",
        "start: camera pitch=0.39269909262657166 yaw=0.78539818525314331 distance=3000 follow=1 "
        "car=0 fov=0.78539818525314331",
        "start: fps=0 frames=0 last=5000 target=\"60.0\" car=\"1\" type=\"Freight train\"",
    };
    EXPECT_EQ(joined(only(lines, {"start:"})), joined(expected));
}

TEST_F(ProgramRun, EachLoopTurnHandlesOneMessageOrOneFrame) {
    size_t frames = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!startsWith(line, "PeekMessageA("))
            continue;
        ASSERT_LT(i + 1, lines.size());
        if (line == "PeekMessageA((nil),0,0,1) -> none") {
            // No message: the input step, then (unless it ends the program) one frame.
            EXPECT_EQ(lines[i + 1], "keyboard.GetDeviceData") << i;
            ++frames;
            continue;
        }
        const std::string message = line.substr(line.find("-> ") + 3);
        ASSERT_LT(i + 2, lines.size());
        EXPECT_EQ(lines[i + 1], "TranslateMessage(" + message + ")") << i;
        EXPECT_EQ(lines[i + 2], "DispatchMessageA(" + message + ")") << i;
    }
    EXPECT_EQ(frames, 4u); // three frames and the turn that read Escape
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i] == "keyboard.GetDeviceData") {
            EXPECT_EQ(lines[i - 1], "PeekMessageA((nil),0,0,1) -> none") << i;
        }
    }

    // The two messages posted after the first frame take a turn each before the next frame.
    size_t presented = indexOf(lines, "device.Present((nil),(nil),(nil),(nil))");
    const std::vector<std::string> expected = {
        "device.Present((nil),(nil),(nil),(nil))",
        "PeekMessageA((nil),0,0,1) -> WM_USER+1",
        "TranslateMessage(WM_USER+1)",
        "DispatchMessageA(WM_USER+1)",
        "DefWindowProcA(main,WM_USER+1,1,2) -> 77",
        "PeekMessageA((nil),0,0,1) -> WM_USER+2",
        "TranslateMessage(WM_USER+2)",
        "DispatchMessageA(WM_USER+2)",
        "DefWindowProcA(WM_USER+2)",
        "PeekMessageA((nil),0,0,1) -> none",
        "keyboard.GetDeviceData",
        "device.Clear(0,(nil),0x3,0xff000000,1,0)",
    };
    ASSERT_LE(presented + expected.size(), lines.size());
    EXPECT_EQ(joined({lines.begin() + presented, lines.begin() + presented + expected.size()}),
              joined(expected));
}

TEST_F(ProgramRun, FrameRunsItsStepsInOrder) {
    // Each frame from its clear to its present, with every object draw shortened to the mesh
    // drawn first after its world transform, and every text to its draw call.
    std::vector<std::vector<std::string>> frames;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (startsWith(lines[i], "device.Clear("))
            frames.emplace_back();
        if (frames.empty() ||
            (!frames.back().empty() && startsWith(frames.back().back(), "device.Present")))
            continue;
        const std::string& line = lines[i];
        if (startsWith(line, "device.SetTransform(world")) {
            std::string mesh = lines[i + 2].substr(0, lines[i + 2].find(".X.") + 2);
            frames.back().push_back("draw " + mesh);
        } else if (startsWith(line, "font.DrawTextA")) {
            frames.back().push_back("text");
        } else if (!startsWith(line, "device.SetTexture") && !startsWith(line, "copy.Play") &&
                   line.find(".DrawSubset(") == std::string::npos) {
            frames.back().push_back(line);
        }
    }
    ASSERT_EQ(frames.size(), 3u);
    const DWORD clockAt[] = {5000, 5020, 5040};
    for (int frame = 0; frame < 3; ++frame) {
        const std::string now = "timeGetTime -> " + std::to_string(clockAt[frame]);
        std::vector<std::string> expected = {
            "device.Clear(0,(nil),0x3,0xff000000,1,0)",
            "device.BeginScene",
            now,                       // the train's motion step
            "device.SetTransform(2)",  // view
            "device.SetTransform(3)",  // projection
            "listener.SetPosition(1)", // deferred
            "listener.SetOrientation(1)",
            "listener.CommitDeferredSettings",
            now, // the readouts
        };
        for (const char* segment :
             {"SegStraight.X", "SegStraight.X", "SegTurnLeft.X", "SegTurnLeft.X", "SegStraight.X",
              "SegStraight.X", "SegTurnLeft.X", "SegTurnLeft.X"})
            expected.push_back(std::string("draw ") + segment);
        for (const char* car :
             {"GoodsCar.X", "GoodsCar.X", "GoodsCar.X", "Cistern.X", "Cistern.X", "Cistern.X",
              "Cistern.X", "GoodsCar.X", "GoodsCar.X", "Cistern.X"}) {
            expected.push_back("draw CarTruck.X");
            expected.push_back("draw CarTruck.X");
            expected.push_back(std::string("draw ") + car);
        }
        expected.insert(expected.end(), 20, "text");
        expected.push_back("device.EndScene");
        expected.push_back("device.Present((nil),(nil),(nil),(nil))");
        EXPECT_EQ(joined(frames[frame]), joined(expected)) << "frame " << frame + 1;
    }
}

TEST_F(ProgramRun, EverySubsetIsDrawnWithItsMaterialsTexture) {
    // The texture each file gave when it was loaded.
    std::map<std::string, std::string> loaded;
    for (const std::string& line : only(lines, {"D3DXCreateTextureFromFileA(device,"})) {
        size_t name = line.find("meshes\\") + 7;
        loaded[line.substr(name, line.find('"', name) - name)] = line.substr(line.find("-> ") + 3);
    }
    // The texture file that each material names.
    std::map<std::string, std::vector<std::string>> materials;
    for (const std::string& line : only(lines, {"model: "})) {
        std::istringstream words(line.substr(7));
        std::string mesh, texture;
        words >> mesh;
        while (words >> texture)
            materials[mesh].push_back(loaded.at(texture));
    }
    ASSERT_EQ(materials.size(), 6u);

    int objects = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!startsWith(lines[i], "device.SetTransform(world"))
            continue;
        ++objects;
        const std::string mesh = lines[i + 2].substr(0, lines[i + 2].find(".X.") + 2);
        const std::vector<std::string>& textures = materials.at(mesh);
        ASSERT_FALSE(textures.empty()) << mesh;
        for (size_t m = 0; m < textures.size(); ++m) {
            EXPECT_EQ(lines[i + 1 + 2 * m], "device.SetTexture(0," + textures[m] + ")") << mesh;
            EXPECT_EQ(lines[i + 2 + 2 * m], mesh + ".DrawSubset(" + std::to_string(m) + ")");
        }
        EXPECT_FALSE(startsWith(lines[i + 1 + 2 * textures.size()], "device.SetTexture")) << mesh;
        EXPECT_EQ(lines[i + 1 + 2 * textures.size()].find(".DrawSubset("), std::string::npos)
            << mesh;
    }
    EXPECT_EQ(objects, 3 * 38);
    // Every texture file is read once.
    EXPECT_EQ(only(lines, {"D3DXCreateTextureFromFileA("}).size(), loaded.size());
}

TEST_F(ProgramRun, OverlayDrawsTwentyTextsAFrame) {
    std::vector<std::string> texts = only(lines, {"font.DrawTextA"});
    ASSERT_EQ(texts.size(), 60u);
    // Format DT_NOCLIP, no sprite, the colour of the layout, an empty rectangle at the text's
    // top-left corner, the text's exact length.
    const std::vector<std::string> expected = {
        R"(font.DrawTextA((nil),"FPS: 0.0",8,{10,665,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"Car number: 1",13,{10,683,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"Freight train",13,{10,701,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"Speed (km/h): ",14,{150,665,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"20.0",4,{310,665,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"Dest speed (km/h): ",19,{150,683,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"60.0",4,{310,683,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"Controls:",9,{400,665,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"Mouse",5,{480,665,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"- move camera",13,{605,665,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"Mouse wheel",11,{480,683,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"- camera distance",17,{605,683,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"Right/left arrows",17,{480,701,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"- select car",12,{605,701,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"PgUp/PgDn",9,{760,665,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"- train speed control",21,{850,665,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"Enter",5,{760,683,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"- toggle train type",19,{850,683,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"ESC",3,{760,701,0,0},0x100,0xa6d9f2ff))",
        R"(font.DrawTextA((nil),"- exit",6,{850,701,0,0},0x100,0xa6d9f2ff))",
    };
    EXPECT_EQ(joined({texts.begin(), texts.begin() + 20}), joined(expected));
    // Frame 2: the speed rises by 100 units/s over the 20 ms since the first frame (20.056).
    EXPECT_EQ(texts[24], R"(font.DrawTextA((nil),"20.1",4,{310,665,0,0},0x100,0xa6d9f2ff))");
}

TEST_F(ProgramRun, WindowProcedureAcquiresOnActivationAndPassesTheRestOn) {
    size_t first = indexOf(lines, "probe: WM_ACTIVATE(WA_INACTIVE) -> 0");
    const std::vector<std::string> expected = {
        "probe: WM_ACTIVATE(WA_INACTIVE) -> 0",
        "mouse.Acquire",
        "keyboard.Acquire",
        "probe: WM_ACTIVATE(WA_ACTIVE) -> 0",
        "mouse.Acquire",
        "keyboard.Acquire",
        "probe: WM_ACTIVATE(WA_CLICKACTIVE) -> 0",
        "DefWindowProcA(main,WM_USER+1,3,4) -> 77",
        "probe: WM_USER+1 -> 77",
    };
    ASSERT_LE(first + expected.size(), lines.size());
    EXPECT_EQ(joined({lines.begin() + first, lines.begin() + first + expected.size()}),
              joined(expected));
    // WM_ACTIVATE never reaches the default handling.
    EXPECT_TRUE(only(lines, {"DefWindowProcA(WM_ACTIVATE"}).empty());
}

const std::vector<std::string> releaseOrder = {
    "font.Release",          "PseudoPassengerCar.X.Release",
    "Cistern.X.Release",     "GoodsCar.X.Release",
    "CarTruck.X.Release",    "SegTurnLeft.X.Release",
    "SegStraight.X.Release", "device.Release",
    "direct3D.Release",      "clack.Release",
    "running.Release",       "listener.Release",
    "primary.Release",       "sound.Release",
    "mouse.Release",         "keyboard.Release",
    "input.Release",
};

// The journal from `from` on: WM_DESTROY's handling releases the train's 60 sounds, then the
// overlay's font, the meshes in the reverse of their load order and the devices in their order,
// once, and posts the quit message. Nothing holds a device any more, so each device's release
// is its last and ends it.
void expectReleaseFrom(const std::vector<std::string>& lines, size_t from) {
    std::vector<std::string> expected(60, "copy.Release");
    expected.insert(expected.end(), releaseOrder.begin(), releaseOrder.end());
    expected.push_back("PostQuitMessage(0)");
    std::vector<std::string> actual =
        only({lines.begin() + std::min(from, lines.size()), lines.end()},
             {"copy.Release", "font.", "PseudoPassengerCar.X.", "Cistern.X.", "GoodsCar.X.",
              "CarTruck.X.", "SegTurnLeft.X.", "SegStraight.X.", "device.", "direct3D.", "clack.",
              "running.", "listener.", "primary.", "sound.", "mouse.", "keyboard.", "input.",
              "PostQuitMessage"});
    EXPECT_EQ(joined(actual), joined(expected));
    for (const std::string& release : releaseOrder)
        EXPECT_EQ(only(lines, {release.c_str()}).size(), 1u) << release;
    for (const char* device : {"device", "direct3D", "sound", "input"}) {
        size_t release = indexOf(lines, std::string(device) + ".Release", from);
        ASSERT_LT(release + 1, lines.size()) << device;
        EXPECT_EQ(lines[release + 1], std::string(device) + " destroyed");
    }
}

TEST_F(ProgramRun, EscapeReleasesEverythingOnceAndEnds) {
    size_t escape = indexOf(lines, "SendMessageA(main,WM_DESTROY,0,0)");
    ASSERT_LT(escape, lines.size());
    EXPECT_EQ(lines[escape - 1], "keyboard.GetDeviceData");
    expectReleaseFrom(lines, escape);
    // After the send: no input step and no frame, only the queue up to WM_QUIT.
    size_t sent = indexOf(lines, "SendMessageA -> 0", escape);
    ASSERT_LT(sent, lines.size());
    EXPECT_EQ(lines[sent - 1], "PostQuitMessage(0)");
    const std::vector<std::string> expectedEnd = {
        "PeekMessageA((nil),0,0,1) -> WM_QUIT", "TranslateMessage(WM_QUIT)",
        "DispatchMessageA(WM_QUIT)", "UnregisterClassA(\"VarnelWindow\",module)", "WinMain -> 0",
        // A second releaseAll finds nothing left to release, and an activation without input
        // devices acquires nothing.
        "released again", "WM_ACTIVATE without devices -> 0"};
    std::vector<std::string> end =
        only({lines.begin() + sent + 1, lines.end()},
             {"PeekMessageA", "keyboard.", "device.", "Translate", "Dispatch", "UnregisterClassA",
              "WinMain", "released", "WM_ACTIVATE"});
    EXPECT_EQ(joined(end), joined(expectedEnd));
}

TEST(ProgramClose, ClosingTheWindowReleasesEverythingOnceAndEnds) {
    Scenario run;
    run.closeAtFrame = 2;
    std::vector<std::string> lines = runProgram(run);
    size_t close = indexOf(lines, "DispatchMessageA(WM_CLOSE)");
    ASSERT_LT(close, lines.size()) << joined(lines);
    // The default handling destroys the window, which sends WM_DESTROY to the procedure.
    EXPECT_EQ(only({lines.begin() + close, lines.end()}, {"DefWindowProcA(WM_CLOSE)"}).size(), 1u);
    expectReleaseFrom(lines, close);
    EXPECT_TRUE(
        only({lines.begin() + close, lines.end()}, {"keyboard.GetDeviceData", "device.Clear"})
            .empty());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "UnregisterClassA(\"VarnelWindow\",module)");
    EXPECT_EQ(lines.back(), "WinMain -> 0");
}

// A failed set-up shows its message and ends WinMain at once with 0: nothing after it runs,
// the window is never shown and the class stays registered.
TEST(ProgramFailedSetUp, ShowsItsMessageAndEndsBeforeTheWindowIsShown) {
    const struct {
        bool Scenario::*failure;
        size_t calls; // of the three device creations, up to the failing one
        const char* message;
    } failures[] = {
        {&Scenario::noDirect3D, 1,
         "MessageBoxA(main,\"\xCE\xF8\xE8\xE1\xEA\xE0 Direct3DCreate\",(nil),0)"},
        {&Scenario::noInput, 2,
         "MessageBoxA(main,\"\xCE\xF8\xE8\xE1\xEA\xE0 DirectInput8Create\",(nil),0)"},
        {&Scenario::noBufferSize, 2,
         "MessageBoxA(main,\"\xCE\xF8\xE8\xE1\xEA\xE0 SetProperty DIPROP_BUFFERSIZE\",(nil),0)"},
        {&Scenario::noSound, 3,
         "MessageBoxA(none,\"\xCE\xF8\xE8\xE1\xEA\xE0 DirectSoundCreate8\",(nil),0)"},
        {&Scenario::noListener, 3,
         "MessageBoxA(none,\"\xCE\xF8\xE8\xE1\xEA\xE0 QueryInterface "
         "(IID_IDirectSound3DListener8)\",(nil),0)"},
    };
    const std::vector<std::string> calls = {
        "Direct3DCreate9(32)", "DirectInput8Create(given instance,0x800)", "DirectSoundCreate8"};
    for (const auto& failing : failures) {
        Scenario run;
        run.*failing.failure = true;
        std::vector<std::string> expected(calls.begin(), calls.begin() + failing.calls);
        expected.push_back(failing.message);
        expected.push_back("WinMain -> 0");
        EXPECT_EQ(
            joined(only(runProgram(run), {"Direct3DCreate9", "DirectInput8Create",
                                          "DirectSoundCreate8", "MessageBoxA", "ShowWindow", "D3DX",
                                          "Unregister", "srand", "WinMain", "child"})),
            joined(expected));
    }
}
