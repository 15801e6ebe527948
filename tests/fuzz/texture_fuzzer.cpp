// texture_fuzzer.cpp: libFuzzer target for the layer's texture decoding:
// D3DXCreateTextureFromFileA on the input written to a file, on a device that keeps its
// textures in memory. A texture it makes must have sides that are powers of two and its full
// chain of levels. The file is named .tga, so that format, which has no signature, is tried
// too; the others are known by their contents. Built by tools/run-fuzz.sh.
#include <d3dx9.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "memory_device.h"
#include "scratch_file.h"

namespace {

// Stops the run with the condition that did not hold.
[[noreturn]] void fail(const char* condition, int line) {
    std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, line, condition);
    std::abort();
}
#define check(condition) ((condition) ? void() : fail(#condition, __LINE__))

bool isPowerOfTwo(UINT n) {
    return n != 0 && (n & (n - 1)) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryDevice* device = new fuzz::MemoryDevice;
    static const fuzz::ScratchFile file("texture.tga");
    file.write(data, size);

    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileA(device, file.path.c_str(), &texture))) {
        check(texture == nullptr);
        return 0;
    }
    auto* made = static_cast<fuzz::Texture*>(texture);
    UINT width = made->sizes[0].width, height = made->sizes[0].height;
    check(isPowerOfTwo(width) && isPowerOfTwo(height));
    check(made->sizes.back().width == 1 && made->sizes.back().height == 1);
    texture->Release();
    return 0;
}
