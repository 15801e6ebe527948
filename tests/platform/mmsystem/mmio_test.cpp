// Multimedia file services of the layer: chunk descent and ascent, buffered reading
// with direct buffer access, and memory files, checked through the mmio calls alone.
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <string>

#include "support/riff_test_files.h"

namespace {

// The result of success, typed as the calls return it (the headers give a plain 0).
constexpr MMRESULT noError = MMSYSERR_NOERROR;

const FOURCC fmtId = mmioFOURCC('f', 'm', 't', ' ');
const FOURCC dataId = mmioFOURCC('d', 'a', 't', 'a');
const FOURCC waveId = mmioFOURCC('W', 'A', 'V', 'E');

HMMIO openFile(std::string path, DWORD flags = MMIO_ALLOCBUF | MMIO_READ) {
    return mmioOpenA(path.data(), nullptr, flags);
}

LONG position(HMMIO file) {
    return mmioSeek(file, 0, SEEK_CUR);
}

TEST(Mmio, DescendAndAscendWalkTheChunksOfARiffFile) {
    ScratchFolder folder;
    // An odd-sized chunk first, so its pad byte must be skipped.
    std::string body = riff::chunk("LIST", "abc") + riff::chunk("fmt ", riff::pcmFormat()) +
                       riff::chunk("data", riff::samples(5));
    std::string bytes = riff::riff("WAVE", body);
    HMMIO file = openFile(folder.write("a.wav", bytes));
    ASSERT_NE(file, nullptr);

    MMCKINFO riffChunk{};
    ASSERT_EQ(mmioDescend(file, &riffChunk, nullptr, 0), noError);
    EXPECT_EQ(riffChunk.ckid, FOURCC_RIFF);
    EXPECT_EQ(riffChunk.fccType, waveId);
    EXPECT_EQ(riffChunk.cksize, bytes.size() - 8);
    EXPECT_EQ(riffChunk.dwDataOffset, 8u);
    EXPECT_EQ(position(file), 12);

    MMCKINFO fmt{};
    fmt.ckid = fmtId;
    ASSERT_EQ(mmioDescend(file, &fmt, &riffChunk, MMIO_FINDCHUNK), noError);
    EXPECT_EQ(fmt.cksize, 16u);
    EXPECT_EQ(fmt.dwDataOffset, 12u + 12u + 8u);
    EXPECT_EQ(position(file), LONG(fmt.dwDataOffset));
    ASSERT_EQ(mmioAscend(file, &fmt, 0), noError);
    EXPECT_EQ(position(file), LONG(fmt.dwDataOffset + 16));

    MMCKINFO data{};
    data.ckid = dataId;
    ASSERT_EQ(mmioDescend(file, &data, &riffChunk, MMIO_FINDCHUNK), noError);
    EXPECT_EQ(data.cksize, 5u);
    char read[5];
    EXPECT_EQ(mmioRead(file, read, 5), 5);
    EXPECT_EQ(std::string(read, 5), riff::samples(5));
    ASSERT_EQ(mmioAscend(file, &data, 0), noError);
    EXPECT_EQ(position(file), LONG(bytes.size())); // past the pad byte

    // Searching on from the end of the parent finds nothing.
    MMCKINFO missing{};
    missing.ckid = mmioFOURCC('c', 'u', 'e', ' ');
    EXPECT_EQ(mmioDescend(file, &missing, &riffChunk, MMIO_FINDCHUNK),
              MMRESULT(MMIOERR_CHUNKNOTFOUND));
    EXPECT_EQ(mmioClose(file, 0), noError);
}

TEST(Mmio, ChunkSearchStaysInsideItsParentAndMatchesTheFormType) {
    ScratchFolder folder;
    // A "data" chunk that follows the RIFF chunk instead of lying inside it.
    std::string bytes = riff::riff("WAVE", riff::chunk("fmt ", riff::pcmFormat())) +
                        riff::chunk("data", riff::samples(8));
    HMMIO file = openFile(folder.write("outside.wav", bytes));
    ASSERT_NE(file, nullptr);
    MMCKINFO riffChunk{};
    riffChunk.fccType = mmioFOURCC('A', 'V', 'I', ' ');
    EXPECT_EQ(mmioDescend(file, &riffChunk, nullptr, MMIO_FINDRIFF),
              MMRESULT(MMIOERR_CHUNKNOTFOUND));
    mmioSeek(file, 0, SEEK_SET);
    riffChunk.fccType = waveId;
    ASSERT_EQ(mmioDescend(file, &riffChunk, nullptr, MMIO_FINDRIFF), noError);
    MMCKINFO data{};
    data.ckid = dataId;
    // A search given its parent stays inside it, as documented; Wine searches on past the
    // parent's end, so only the search without a parent is checked there.
#ifndef _WIN32
    EXPECT_EQ(mmioDescend(file, &data, &riffChunk, MMIO_FINDCHUNK),
              MMRESULT(MMIOERR_CHUNKNOTFOUND));
#endif
    // Without a parent the search goes on to the end of the file.
    data.ckid = dataId;
    EXPECT_EQ(mmioDescend(file, &data, nullptr, MMIO_FINDCHUNK), noError);
    EXPECT_EQ(data.cksize, 8u);
    mmioClose(file, 0);
}

TEST(Mmio, AChunkDeclaringMoreThanTheFileEndsTheSearch) {
    ScratchFolder folder;
    std::string bytes = riff::riff("WAVE", riff::chunkDeclaring("junk", 0xFFFFFFF0u, "xx"));
    HMMIO file = openFile(folder.write("huge.wav", bytes));
    ASSERT_NE(file, nullptr);
    MMCKINFO riffChunk{};
    ASSERT_EQ(mmioDescend(file, &riffChunk, nullptr, 0), noError);
    MMCKINFO data{};
    data.ckid = dataId;
    EXPECT_EQ(mmioDescend(file, &data, &riffChunk, MMIO_FINDCHUNK),
              MMRESULT(MMIOERR_CHUNKNOTFOUND));
    data.ckid = dataId;
    EXPECT_EQ(mmioDescend(file, &data, nullptr, MMIO_FINDCHUNK), MMRESULT(MMIOERR_CHUNKNOTFOUND));
    mmioClose(file, 0);
}

// A file cut short: the RIFF chunk and its last chunk declare more than the file holds. Both
// are found, as documented (not found means the end came before the chunk), and reads in them
// stop at the end of the file; the ascent goes to the declared end and past the pad byte.
TEST(Mmio, AChunkEndingPastTheFileIsFoundAndReadsStopAtTheEnd) {
    ScratchFolder folder;
    const std::string fmt = riff::chunk("fmt ", riff::pcmFormat());
    const std::string bytes = "RIFF" + riff::le32(4 + uint32_t(fmt.size()) + 8 + 51) + "WAVE" +
                              fmt + riff::chunkDeclaring("data", 51, riff::samples(6));
    HMMIO file = openFile(folder.write("cut.wav", bytes));
    ASSERT_NE(file, nullptr);
    MMCKINFO riffChunk{};
    ASSERT_EQ(mmioDescend(file, &riffChunk, nullptr, 0), noError);
    EXPECT_EQ(riffChunk.dwDataOffset + riffChunk.cksize, bytes.size() + 45);
    MMCKINFO data{};
    data.ckid = dataId;
    ASSERT_EQ(mmioDescend(file, &data, &riffChunk, MMIO_FINDCHUNK), noError);
    EXPECT_EQ(data.cksize, 51u);
    char read[51];
    EXPECT_EQ(mmioRead(file, read, 51), 6);
    EXPECT_EQ(std::string(read, 6), riff::samples(6));
    EXPECT_EQ(mmioRead(file, read, 51), 0);
    ASSERT_EQ(mmioAscend(file, &data, 0), noError);
    EXPECT_EQ(position(file), LONG(data.dwDataOffset + 52));
    // Nothing more inside the parent: the search ends there.
    MMCKINFO missing{};
    missing.ckid = mmioFOURCC('c', 'u', 'e', ' ');
    EXPECT_EQ(mmioDescend(file, &missing, &riffChunk, MMIO_FINDCHUNK),
              MMRESULT(MMIOERR_CHUNKNOTFOUND));
    mmioClose(file, 0);
}

// An odd-sized last chunk whose pad byte the file lacks: the ascent still passes the pad.
TEST(Mmio, AscentPassesAMissingPadByte) {
    ScratchFolder folder;
    std::string bytes = riff::riff("WAVE", riff::chunk("data", riff::samples(5)));
    bytes.pop_back(); // the pad byte
    HMMIO file = openFile(folder.write("nopad.wav", bytes));
    ASSERT_NE(file, nullptr);
    MMCKINFO riffChunk{};
    ASSERT_EQ(mmioDescend(file, &riffChunk, nullptr, 0), noError);
    MMCKINFO data{};
    data.ckid = dataId;
    ASSERT_EQ(mmioDescend(file, &data, &riffChunk, MMIO_FINDCHUNK), noError);
    ASSERT_EQ(mmioAscend(file, &data, 0), noError);
    EXPECT_EQ(position(file), LONG(bytes.size() + 1));
    mmioClose(file, 0);
}

TEST(Mmio, AdvanceRefillsTheBufferUntilTheFileEnds) {
    ScratchFolder folder;
    std::string bytes = riff::samples(20000);
    HMMIO file = openFile(folder.write("long.raw", bytes));
    ASSERT_NE(file, nullptr);

    MMIOINFO info{};
    ASSERT_EQ(mmioGetInfo(file, &info, 0), noError);
    EXPECT_EQ(info.cchBuffer, MMIO_DEFAULTBUFFER);
    ASSERT_NE(info.pchBuffer, nullptr);
    EXPECT_EQ(info.pchNext, info.pchEndRead); // nothing read yet

    std::string seen;
    for (int refill = 0; refill < 3; ++refill) {
        ASSERT_EQ(mmioAdvance(file, &info, MMIO_READ), noError);
        EXPECT_EQ(info.lBufOffset, LONG(seen.size()));
        seen.append(info.pchNext, info.pchEndRead);
        info.pchNext = info.pchEndRead;
    }
    EXPECT_EQ(seen, bytes);
    // At the end the refill succeeds with an empty buffer.
    ASSERT_EQ(mmioAdvance(file, &info, MMIO_READ), noError);
    EXPECT_EQ(info.pchNext, info.pchEndRead);
    ASSERT_EQ(mmioSetInfo(file, &info, 0), noError);
    EXPECT_EQ(position(file), 20000);

    // A read pointer outside the buffer is refused and changes nothing; Wine takes it unchecked.
#ifndef _WIN32
    MMIOINFO bad = info;
    bad.pchNext = info.pchEndRead + 1;
    EXPECT_NE(mmioSetInfo(file, &bad, 0), noError);
    EXPECT_NE(mmioAdvance(file, &bad, MMIO_READ), noError);
#endif
    EXPECT_EQ(position(file), 20000);
    mmioClose(file, 0);
}

TEST(Mmio, ReadAndSeekAgreeAcrossBufferBoundaries) {
    ScratchFolder folder;
    std::string bytes = riff::samples(20000);
    std::string path = folder.write("long.raw", bytes);
    for (DWORD flags : {DWORD(MMIO_ALLOCBUF | MMIO_READ), DWORD(MMIO_READ)}) {
        HMMIO file = openFile(path, flags);
        ASSERT_NE(file, nullptr);
        std::string read(10000, '\0');
        EXPECT_EQ(mmioRead(file, read.data(), 10000), 10000);
        EXPECT_EQ(read, bytes.substr(0, 10000));
        EXPECT_EQ(mmioSeek(file, -9000, SEEK_CUR), 1000);
        EXPECT_EQ(mmioRead(file, read.data(), 10000), 10000);
        EXPECT_EQ(read, bytes.substr(1000, 10000));
        // The direction of an offset from the end is left open by the documentation: here it
        // counts as lseek does (negative is back), Wine counts a positive offset back.
#ifdef _WIN32
        EXPECT_EQ(mmioSeek(file, 4, SEEK_END), 19996);
#else
        EXPECT_EQ(mmioSeek(file, -4, SEEK_END), 19996);
#endif
        EXPECT_EQ(mmioRead(file, read.data(), 10000), 4);
        EXPECT_EQ(mmioRead(file, read.data(), 10000), 0);
        EXPECT_EQ(mmioSeek(file, -1, SEEK_SET), -1);
        mmioClose(file, 0);
    }
}

TEST(Mmio, MemoryFileReadsTheCallersBufferAndNothingBeyond) {
    std::string bytes = riff::wave(riff::samples(6));
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.cchBuffer = LONG(bytes.size());
    info.pchBuffer = bytes.data();
    HMMIO file = mmioOpenA(nullptr, &info, MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);

    MMIOINFO state{};
    ASSERT_EQ(mmioGetInfo(file, &state, 0), noError);
    EXPECT_EQ(state.pchBuffer, bytes.data());
    EXPECT_EQ(state.pchEndRead, bytes.data() + bytes.size());

    MMCKINFO riffChunk{};
    ASSERT_EQ(mmioDescend(file, &riffChunk, nullptr, 0), noError);
    EXPECT_EQ(riffChunk.fccType, waveId);
    MMCKINFO data{};
    data.ckid = dataId;
    ASSERT_EQ(mmioDescend(file, &data, &riffChunk, MMIO_FINDCHUNK), noError);
    char read[16];
    EXPECT_EQ(mmioRead(file, read, sizeof read), 6);
    EXPECT_EQ(std::string(read, 6), riff::samples(6));
    EXPECT_EQ(mmioRead(file, read, sizeof read), 0);
    // Past the end of a memory file is refused (with Wine's direction of the offset, -1 is
    // past the end there).
#ifdef _WIN32
    EXPECT_EQ(mmioSeek(file, -1, SEEK_END), -1);
#else
    EXPECT_EQ(mmioSeek(file, 1, SEEK_END), -1);
#endif
    ASSERT_EQ(mmioGetInfo(file, &state, 0), noError);
    ASSERT_EQ(mmioAdvance(file, &state, MMIO_READ), noError);
    EXPECT_EQ(state.pchNext, state.pchEndRead);
    mmioClose(file, 0);
}

TEST(Mmio, OpenFindsWindowsPathsAndReportsMissingFiles) {
    ScratchFolder folder;
    folder.write("Sounds/Clack.WAV", "RIFF");
    std::string windowsPath = folder.path.string() + "\\sounds\\clack.wav";
    HMMIO file = openFile(windowsPath);
    ASSERT_NE(file, nullptr);
    mmioClose(file, 0);

    std::string missing = folder.path.string() + "\\sounds\\none.wav";
    MMIOINFO info{};
    EXPECT_EQ(mmioOpenA(missing.data(), &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, UINT(MMIOERR_FILENOTFOUND));
}

} // namespace
