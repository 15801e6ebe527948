// wave_file_fuzzer.cpp: libFuzzer target for the WAV reader and the multimedia file services.
// Each input is read twice: as a disk file (buffered reads with refills) and as a program
// resource, which the reader opens as a memory file. Size fields are also set to the edges of
// the 32-bit range by a mutator of their own. Built by tools/run-fuzz.sh from the reader and the
// layer's archive, of which it takes the file services; the resource functions below serve the
// input in place of the layer's.
#include "audio/wave_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "riff_size_mutator.h"

namespace {

const uint8_t* resourceBytes = nullptr;
size_t resourceSize = 0;
int resourceToken = 0;

void readToEnd(WaveFile& wave) {
    // Uneven pieces, so reads end and begin everywhere within the I/O buffer.
    std::vector<BYTE> buffer(5000);
    DWORD piece = 1;
    for (int round = 0; round < 10000; ++round) {
        DWORD read = 0;
        if (FAILED(wave.read(buffer.data(), piece, &read)) || read == 0)
            return;
        piece = piece * 3 % 4999 + 1;
    }
}

void openAndRead(const char* path) {
    WaveFile wave;
    if (SUCCEEDED(wave.open(path)))
        readToEnd(wave);
}

} // namespace

HRSRC WINAPI FindResourceA(HMODULE, LPCSTR, LPCSTR) {
    return resourceBytes ? reinterpret_cast<HRSRC>(&resourceToken) : nullptr;
}
HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
    return resource;
}
DWORD WINAPI SizeofResource(HMODULE, HRSRC) {
    return DWORD(resourceSize);
}
LPVOID WINAPI LockResource(HGLOBAL) {
    return const_cast<uint8_t*>(resourceBytes);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The disk file lives in memory, so the run is not bound by the file system.
    static const int file = memfd_create("wave", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    if (file >= 0 && ftruncate(file, 0) == 0 &&
        pwrite(file, data, size, 0) == static_cast<ssize_t>(size))
        openAndRead(path.c_str());
    resourceBytes = data;
    resourceSize = size;
    openAndRead("no such file, so the resource");
    resourceBytes = nullptr;
    return 0;
}
