// wave_seeds.cpp: writes the WAV seeds of the WAV reader's and the multimedia file services'
// fuzz targets into the folder it is given, built with the tests' RIFF writers
// (support/riff_test_files.h): a valid file, chunks in other orders and sizes, and every size
// field at the edges of the 32-bit range. tools/run-fuzz.sh runs it before fuzzing.
// Usage: wave_seeds <folder>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/riff_test_files.h"

namespace {

using riff::chunk;
using riff::chunkDeclaring;
using riff::le16;
using riff::le32;

// A RIFF header that declares `size`, whatever follows.
std::string riffDeclaring(uint32_t size, const std::string& form, const std::string& body) {
    return "RIFF" + le32(size) + form + body;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wave_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    auto seed = [&folder](const std::string& name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
    };

    const std::string pcm = riff::pcmFormat(1, 8000, 8);
    const std::string adpcm =
        le16(2) + le16(1) + le32(8000) + le32(4000) + le16(1) + le16(4) + le16(2) + "xy";
    const std::string data = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::string fmtChunk = chunk("fmt ", pcm);
    const std::string dataChunk = chunk("data", data);
    const std::string info = std::string("INFOx") + '\0';

    const std::string valid = riffDeclaring(72, "WAVE", fmtChunk + dataChunk);
    seed("valid.wav", valid);
    seed("data-first.wav",
         riffDeclaring(86, "WAVE", dataChunk + chunk("LIST", "INFOx") + fmtChunk));
    seed("extra-bytes.wav",
         riffDeclaring(88, "WAVE", chunk("fmt ", adpcm) + chunk("fact", le32(36)) + dataChunk));
    seed("short-format.wav",
         riffDeclaring(72, "WAVE",
                       chunk("fmt ", le16(1) + le16(1) + le32(8000) + le32(8000) + le16(1) + "x") +
                           dataChunk));
    seed("float-16.wav",
         riffDeclaring(72, "WAVE", chunk("fmt ", riff::formatFields(3, 1, 8000, 32)) + dataChunk));
    seed("long-data.wav",
         riffDeclaring(72, "WAVE", fmtChunk + chunkDeclaring("data", 100000, data)));
    seed("other-form.wav", riffDeclaring(72, "AVI ", fmtChunk + dataChunk));
    seed("truncated.wav", valid.substr(0, 30));

    // Each size field at the edges of the 32-bit range, and sizes that end their chunk at and
    // past 2^31 and 2^32 (the contents of "RIFF" begin at 8, "fmt " at 20, and "LIST" or
    // "data" at 44).
    for (uint32_t size : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        const std::string n = std::to_string(size);
        seed("riff-" + n + ".wav", riffDeclaring(size, "WAVE", fmtChunk + dataChunk));
        seed("fmt-" + n + ".wav",
             riffDeclaring(72, "WAVE", chunkDeclaring("fmt ", size, pcm) + dataChunk));
        seed("list-" + n + ".wav",
             riffDeclaring(86, "WAVE", fmtChunk + chunkDeclaring("LIST", size, info) + dataChunk));
        seed("data-" + n + ".wav",
             riffDeclaring(72, "WAVE", fmtChunk + chunkDeclaring("data", size, data)));
    }
    for (uint64_t end : {0x7FFFFFFFull, 0x80000000ull, 0x100000000ull, 0x100000000ull + 12}) {
        const std::string n = std::to_string(end);
        seed("riff-ends-" + n + ".wav",
             riffDeclaring(uint32_t(end - 8), "WAVE", fmtChunk + dataChunk));
        seed(
            "list-ends-" + n + ".wav",
            riffDeclaring(86, "WAVE",
                          fmtChunk + chunkDeclaring("LIST", uint32_t(end - 44), info) + dataChunk));
        seed(
            "data-ends-" + n + ".wav",
            riffDeclaring(72, "WAVE", fmtChunk + chunkDeclaring("data", uint32_t(end - 44), data)));
    }
    return 0;
}
