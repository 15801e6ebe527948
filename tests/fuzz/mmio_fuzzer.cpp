// mmio_fuzzer.cpp: libFuzzer target for the multimedia file services themselves. The input is
// the file; read from its end, the same bytes also choose how it is opened (memory file, disk
// file with or without an I/O buffer) and a sequence of descents, ascents, seeks, reads and
// direct buffer accesses, with chunks found on the way or made up from the input. After every
// call the position and the bytes handed out are checked against the file itself, and every
// descent and ascent must move forward or fail; a chunk may declare an end past the file's,
// never past the 32-bit offset range. Size fields are also set to the edges of the
// 32-bit range by a mutator of their own. Built by tools/run-fuzz.sh.
#include <windows.h>
#include <mmsystem.h>

#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "riff_size_mutator.h"

namespace {

const FOURCC chunkIds[] = {FOURCC_RIFF,
                           FOURCC_LIST,
                           mmioFOURCC('W', 'A', 'V', 'E'),
                           mmioFOURCC('f', 'm', 't', ' '),
                           mmioFOURCC('d', 'a', 't', 'a'),
                           mmioFOURCC('I', 'N', 'F', 'O')};

// Stops the run with the condition that did not hold.
[[noreturn]] void fail(const char* condition, int line) {
    std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, line, condition);
    std::abort();
}
#define check(condition) ((condition) ? void() : fail(#condition, __LINE__))

class Session {
public:
    Session(const uint8_t* bytes, size_t size, HMMIO file, bool inMemory,
            FuzzedDataProvider& choices)
        : bytes(bytes), length(static_cast<long long>(size)), file(file), inMemory(inMemory),
          choices(choices) {}

    void step() {
        long long before = position();
        switch (choices.ConsumeIntegralInRange(0, 5)) {
        case 0:
            descend(before);
            break;
        case 1:
            ascend(before);
            break;
        case 2:
            seek();
            break;
        case 3:
            read(before);
            break;
        case 4:
            readThroughBuffer();
            break;
        default:
            chunks[chunkCount++ % 4] = madeUpChunk();
            break;
        }
    }

private:
    long long position() {
        LONG at = mmioSeek(file, 0, SEEK_CUR);
        check(at >= 0);
        return at;
    }

    // Whether the file holds these bytes at offset.
    bool holds(long long offset, const void* data, long long count) const {
        return offset >= 0 && offset + count <= length &&
               std::memcmp(bytes + offset, data, size_t(count)) == 0;
    }

    MMCKINFO madeUpChunk() {
        MMCKINFO chunk{};
        chunk.ckid = choices.PickValueInArray(chunkIds);
        chunk.cksize = choices.ConsumeIntegral<uint32_t>();
        chunk.fccType = choices.PickValueInArray(chunkIds);
        chunk.dwDataOffset = choices.ConsumeIntegral<uint32_t>();
        return chunk;
    }

    const MMCKINFO* pickChunk() {
        if (chunkCount == 0)
            return nullptr;
        return &chunks[choices.ConsumeIntegralInRange<unsigned>(0, chunkCount - 1) % 4];
    }

    void descend(long long before) {
        static const UINT flagChoices[] = {0, MMIO_FINDCHUNK, MMIO_FINDRIFF, MMIO_FINDLIST};
        UINT flags = choices.PickValueInArray(flagChoices);
        const MMCKINFO* parent = choices.ConsumeBool() ? pickChunk() : nullptr;
        MMCKINFO chunk{};
        chunk.ckid = choices.PickValueInArray(chunkIds);
        chunk.fccType = choices.PickValueInArray(chunkIds);
        if (mmioDescend(file, &chunk, parent, flags) != MMSYSERR_NOERROR)
            return;
        // The chunk's header is in the file, ahead of where the search began; its contents end
        // within the offset range.
        long long start = (long long)chunk.dwDataOffset - 8;
        check(start >= before);
        check(holds(start, &chunk.ckid, 4) && holds(start + 4, &chunk.cksize, 4));
        check((long long)chunk.dwDataOffset + chunk.cksize <= INT32_MAX);
        bool hasType =
            (chunk.ckid == FOURCC_RIFF || chunk.ckid == FOURCC_LIST) && chunk.cksize >= 4;
        check(position() == chunk.dwDataOffset + (hasType ? 4 : 0));
        if (hasType)
            check(holds(chunk.dwDataOffset, &chunk.fccType, 4));
        if (parent)
            check((long long)chunk.dwDataOffset <=
                  (long long)parent->dwDataOffset + parent->cksize);
        chunks[chunkCount++ % 4] = chunk;
    }

    void ascend(long long before) {
        const MMCKINFO* chunk = pickChunk();
        if (!chunk)
            return;
        MMCKINFO copy = *chunk;
        if (mmioAscend(file, &copy, 0) == MMSYSERR_NOERROR) {
            // Past the chunk's end, even past the file's; a memory file stops at its end.
            long long after = position();
            check(after >= before && after <= INT32_MAX && (!inMemory || after <= length));
            check(after >= (long long)copy.dwDataOffset + copy.cksize ||
                  (inMemory && after == length));
        } else {
            check(position() == before);
        }
    }

    void seek() {
        static const int origins[] = {SEEK_SET, SEEK_CUR, SEEK_END};
        int origin = choices.PickValueInArray(origins);
        LONG offset = choices.ConsumeIntegral<LONG>();
        long long base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? position() : length;
        LONG result = mmioSeek(file, offset, origin);
        if (result != -1)
            check(result == base + offset && position() == result);
    }

    void read(long long before) {
        LONG count = choices.ConsumeIntegralInRange<LONG>(0, 20000);
        std::vector<char> destination(size_t(count) + 1);
        LONG got = mmioRead(file, destination.data(), count);
        check(got >= -1 && got <= count);
        long long expected = before >= length ? 0 : std::min<long long>(count, length - before);
        check(got == expected);
        check(got == 0 || holds(before, destination.data(), got));
        check(position() == before + got);
    }

    // Takes some bytes straight out of the I/O buffer, refilling it as a reader would.
    void readThroughBuffer() {
        MMIOINFO info{};
        if (mmioGetInfo(file, &info, 0) != MMSYSERR_NOERROR || !info.pchBuffer)
            return;
        int refills = choices.ConsumeIntegralInRange(0, 3);
        for (int i = 0; i <= refills; ++i) {
            check(info.pchBuffer <= info.pchNext && info.pchNext <= info.pchEndRead);
            long long available = info.pchEndRead - info.pchBuffer;
            check(available == 0 || holds(info.lBufOffset, info.pchBuffer, available));
            info.pchNext += choices.ConsumeIntegralInRange<long>(0, info.pchEndRead - info.pchNext);
            if (i < refills && mmioAdvance(file, &info, MMIO_READ) != MMSYSERR_NOERROR)
                break;
        }
        check(mmioSetInfo(file, &info, 0) == MMSYSERR_NOERROR);
        check(position() == info.lBufOffset + (info.pchNext - info.pchBuffer));
    }

    const uint8_t* bytes;
    long long length;
    HMMIO file;
    bool inMemory; // a memory file, whose position cannot pass its end
    FuzzedDataProvider& choices;
    MMCKINFO chunks[4] = {};
    unsigned chunkCount = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The disk file lives in memory, so the run is not bound by the file system.
    static const int disk = memfd_create("mmio", 0);
    static std::string path = "/proc/self/fd/" + std::to_string(disk);
    FuzzedDataProvider choices(data, size);
    std::vector<char> memory(data, data + size);
    HMMIO file = nullptr;
    const bool inMemory = choices.ConsumeIntegralInRange(0, 3) == 0;
    switch (inMemory ? 0 : 1) {
    case 0: {
        if (size == 0)
            return 0;
        MMIOINFO info{};
        info.fccIOProc = FOURCC_MEM;
        info.cchBuffer = LONG(size);
        info.pchBuffer = memory.data();
        file = mmioOpenA(nullptr, &info, MMIO_ALLOCBUF);
        break;
    }
    default: {
        if (disk < 0 || ftruncate(disk, 0) != 0 ||
            pwrite(disk, data, size, 0) != static_cast<ssize_t>(size))
            return 0;
        MMIOINFO info{};
        info.cchBuffer = choices.ConsumeIntegralInRange<LONG>(1, 20000);
        DWORD flags = choices.ConsumeBool() ? MMIO_ALLOCBUF : 0;
        file = mmioOpenA(path.data(), choices.ConsumeBool() ? &info : nullptr, flags);
        break;
    }
    }
    check(file != nullptr);
    Session session(data, size, file, inMemory, choices);
    for (int step = 0; step < 64 && choices.remaining_bytes() > 0; ++step)
        session.step();
    check(mmioClose(file, 0) == MMSYSERR_NOERROR);
    return 0;
}
