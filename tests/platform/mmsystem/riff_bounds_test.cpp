// Chunk sizes at and past the 32-bit offset range: the chunk walk of the multimedia file
// services fails cleanly instead of wrapping around, never moves backwards, and the WAV reader
// on top of it leaves the file closed or open as its failure rules say. The large files are
// sparse: only their headers take disk space.
#include "audio/wave_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/riff_test_files.h"

namespace {

constexpr MMRESULT noError = MMSYSERR_NOERROR;
constexpr MMRESULT notFound = MMIOERR_CHUNKNOTFOUND;
constexpr uint32_t maxOffset = 0x7FFFFFFF; // the largest offset a LONG holds

const FOURCC dataId = mmioFOURCC('d', 'a', 't', 'a');

// Writes `head` and extends the file with zeros to `length` bytes.
std::string sparseFile(const ScratchFolder& folder, const std::string& head, uintmax_t length) {
    std::string path = folder.write("big.wav", head);
    std::filesystem::resize_file(path, length);
    return path;
}

HMMIO openFile(std::string path) {
    return mmioOpenA(path.data(), nullptr, MMIO_ALLOCBUF | MMIO_READ);
}

LONG position(HMMIO file) {
    return mmioSeek(file, 0, SEEK_CUR);
}

// A WAV file whose data chunk ends at `dataEnd`, in a file of `length` bytes.
std::string waveHead(uint32_t dataEnd, uint32_t length) {
    std::string fmt = riff::chunk("fmt ", riff::pcmFormat());
    uint32_t dataOffset = 12 + uint32_t(fmt.size()) + 8;
    return "RIFF" + riff::le32(length - 8) + "WAVE" + fmt +
           riff::chunkDeclaring("data", dataEnd - dataOffset, "");
}

TEST(RiffBounds, FilesBeyondTheOffsetRangeAreRefusedAtOpen) {
    ScratchFolder folder;
    std::string head = waveHead(maxOffset, maxOffset);
    HMMIO file = openFile(sparseFile(folder, head, maxOffset));
    EXPECT_NE(file, nullptr);
    mmioClose(file, 0);
    MMIOINFO info{};
    std::string path = sparseFile(folder, head, uintmax_t(maxOffset) + 1);
    EXPECT_EQ(mmioOpenA(path.data(), &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, UINT(MMIOERR_CANNOTOPEN));
}

TEST(RiffBounds, AChunkMayEndAtTheLastOffsetButNotOnePast) {
    ScratchFolder folder;
    // The data chunk ends exactly at 2^31 - 1, the end of the file; its pad byte is missing.
    std::string path = sparseFile(folder, waveHead(maxOffset, maxOffset), maxOffset);
    {
        WaveFile wave;
        ASSERT_EQ(wave.open(path.c_str()), S_OK);
        EXPECT_EQ(wave.getDataSize(), maxOffset - 44);
        BYTE samples[100];
        DWORD read = 0;
        EXPECT_EQ(wave.read(samples, sizeof samples, &read), S_OK);
        EXPECT_EQ(read, sizeof samples);
        // The reader counts the bytes left in the chunk's size; the chunk itself is whole.
        MMCKINFO data = wave.dataChunk;
        data.cksize = wave.getDataSize();
        EXPECT_EQ(mmioAscend(wave.handle, &data, 0), noError);
        EXPECT_EQ(position(wave.handle), LONG(maxOffset));
    }
    // One byte more ends at 2^31, outside the file and the range: no data chunk is found,
    // which leaves the file open.
    path = sparseFile(folder, waveHead(maxOffset + 1, maxOffset), maxOffset);
    WaveFile wave;
    EXPECT_EQ(wave.open(path.c_str()), E_FAIL);
    EXPECT_NE(wave.handle, nullptr);
    MMCKINFO riffChunk{};
    ASSERT_EQ(mmioDescend(wave.handle, &riffChunk, nullptr, 0), noError);
    MMCKINFO data{};
    data.ckid = dataId;
    EXPECT_EQ(mmioDescend(wave.handle, &data, &riffChunk, MMIO_FINDCHUNK), notFound);
}

TEST(RiffBounds, ARiffSizeNearFourGigabytesFailsCleanly) {
    ScratchFolder folder;
    // The RIFF chunk passes the end of the file, and so does its sub-chunk, past 2^31.
    std::string bytes = "RIFF" + riff::le32(0xFFFFFFFE) + "WAVE" +
                        riff::chunk("fmt ", riff::pcmFormat()) +
                        riff::chunkDeclaring("data", 0x7FFFFFF0, "abcd");
    std::string path = folder.write("huge.wav", bytes);
    HMMIO file = openFile(path);
    ASSERT_NE(file, nullptr);
    MMCKINFO riffChunk{};
    EXPECT_EQ(mmioDescend(file, &riffChunk, nullptr, 0), notFound);
    // Searched within a parent of that size, the sub-chunk is refused all the same.
    MMCKINFO parent{FOURCC_RIFF, 0xFFFFFFFE, mmioFOURCC('W', 'A', 'V', 'E'), 8, 0};
    ASSERT_EQ(mmioSeek(file, 12, SEEK_SET), 12);
    MMCKINFO data{};
    data.ckid = dataId;
    EXPECT_EQ(mmioDescend(file, &data, &parent, MMIO_FINDCHUNK), notFound);
    mmioClose(file, 0);
    // Not a WAV file: the reader closes it again.
    WaveFile wave;
    EXPECT_EQ(wave.open(path.c_str()), E_FAIL);
    EXPECT_EQ(wave.handle, nullptr);
}

TEST(RiffBounds, AChunkSizeThatWrapsPastFourGigabytesDoesNotLeadBack) {
    ScratchFolder folder;
    // Inside a parent near 4 GiB that starts at 44, the "junk" chunk at 48 ends at 2^32 + 12:
    // wrapped to 32 bits that is the "fmt " chunk again, and from there the walk would come
    // back to "junk" for ever.
    std::string bytes =
        riff::riff("WAVE", riff::chunk("fmt ", riff::pcmFormat()) + riff::chunk("LIST", "INFO") +
                               riff::chunkDeclaring("junk", 0xFFFFFFD4, "abcd"));
    HMMIO file = openFile(folder.write("wrap.wav", bytes));
    ASSERT_NE(file, nullptr);
    MMCKINFO parent{FOURCC_LIST, 0xFFFFFFFE, mmioFOURCC('I', 'N', 'F', 'O'), 44, 0};
    ASSERT_EQ(mmioSeek(file, 36, SEEK_SET), 36);
    MMCKINFO data{};
    data.ckid = dataId;
    EXPECT_EQ(mmioDescend(file, &data, &parent, MMIO_FINDCHUNK), notFound);
    EXPECT_GE(position(file), 56);
    mmioClose(file, 0);
}

TEST(RiffBounds, AFormatChunkWhoseSizeWrapsTheAscentIsRefused) {
    ScratchFolder folder;
    // 20 + 0xFFFFFFF0 wraps to 4 in 32 bits: an ascent there would go back to the start.
    std::string body = riff::chunkDeclaring("fmt ", 0xFFFFFFF0, riff::pcmFormat()) +
                       riff::chunk("data", riff::samples(4));
    std::string path = folder.write("wrap.wav", riff::riff("WAVE", body));
    HMMIO file = openFile(path);
    ASSERT_NE(file, nullptr);
    MMCKINFO riffChunk{};
    ASSERT_EQ(mmioDescend(file, &riffChunk, nullptr, 0), noError);
    MMCKINFO format{};
    format.ckid = mmioFOURCC('f', 'm', 't', ' ');
    EXPECT_EQ(mmioDescend(file, &format, &riffChunk, MMIO_FINDCHUNK), notFound);
    // The same chunk described by hand: the ascent fails and the position stays.
    MMCKINFO wrapping{format.ckid, 0xFFFFFFF0, 0, 20, 0};
    ASSERT_EQ(mmioSeek(file, 36, SEEK_SET), 36);
    EXPECT_EQ(mmioAscend(file, &wrapping, 0), MMRESULT(MMIOERR_CANNOTSEEK));
    EXPECT_EQ(position(file), 36);
    // A chunk that ends behind the position is not ascended back into.
    MMCKINFO behind{format.ckid, 4, 0, 20, 0};
    EXPECT_EQ(mmioAscend(file, &behind, 0), MMRESULT(MMIOERR_CANNOTSEEK));
    EXPECT_EQ(position(file), 36);
    mmioClose(file, 0);

    WaveFile wave;
    EXPECT_EQ(wave.open(path.c_str()), E_FAIL);
    EXPECT_EQ(wave.handle, nullptr);
}

} // namespace
