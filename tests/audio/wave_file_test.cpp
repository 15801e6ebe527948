// WaveFile: the formats and layouts it accepts, the files it refuses, and reading the
// samples to the end of the data chunk, on WAV files written by the tests.
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include "audio/wave_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/riff_test_files.h"

namespace {

struct OpenedWave {
    ScratchFolder folder;
    WaveFile wave;
    HRESULT result;

    explicit OpenedWave(const std::string& bytes)
        : result(wave.open(folder.write("sound.wav", bytes).c_str())) {}
};

// Leaves the heap's free blocks of a format record's size filled with 0xFF, so that a field
// the reader does not set shows in the record it allocates next.
void dirtyFreeFormatBlocks() {
    std::vector<void*> blocks(64);
    for (void*& block : blocks) {
        block = std::malloc(sizeof(WAVEFORMATEX));
        std::memset(block, 0xFF, sizeof(WAVEFORMATEX));
    }
    for (void* block : blocks)
        std::free(block);
}

std::string readAll(WaveFile& wave, DWORD count, HRESULT* result = nullptr) {
    std::vector<BYTE> buffer(count + 1, 0xEE);
    DWORD read = 12345;
    HRESULT r = wave.read(buffer.data(), count, &read);
    if (result)
        *result = r;
    EXPECT_EQ(buffer[count], 0xEE) << "wrote past the count";
    return std::string(reinterpret_cast<char*>(buffer.data()), SUCCEEDED(r) ? read : 0);
}

TEST(WaveFile, PcmFileGivesFormatSizeAndSamples) {
    OpenedWave file(riff::wave(riff::samples(1000), riff::pcmFormat(2, 44100, 16)));
    ASSERT_EQ(file.result, S_OK);
    EXPECT_EQ(file.wave.getDataSize(), 1000u);
    ASSERT_NE(file.wave.format, nullptr);
    EXPECT_EQ(file.wave.format->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(file.wave.format->nChannels, 2);
    EXPECT_EQ(file.wave.format->nSamplesPerSec, 44100u);
    EXPECT_EQ(file.wave.format->nAvgBytesPerSec, 176400u);
    EXPECT_EQ(file.wave.format->nBlockAlign, 4);
    EXPECT_EQ(file.wave.format->wBitsPerSample, 16);
    EXPECT_EQ(file.wave.format->cbSize, 0);
    EXPECT_EQ(readAll(file.wave, 1000), riff::samples(1000));
}

TEST(WaveFile, PcmFormatRecordHasNoExtraBytesWhateverTheMemoryHeld) {
    ScratchFolder folder;
    std::string path = folder.write("sound.wav", riff::wave(riff::samples(4), riff::pcmFormat()));
    WaveFile wave;
    dirtyFreeFormatBlocks();
    ASSERT_EQ(wave.open(path.c_str()), S_OK);
    EXPECT_EQ(wave.format->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wave.format->cbSize, 0);
}

TEST(WaveFile, ReadStopsAtTheEndOfTheData) {
    // A chunk after the data must not be read as samples.
    std::string body = riff::chunk("fmt ", riff::pcmFormat()) +
                       riff::chunk("data", riff::samples(301)) + riff::chunk("LIST", "tail");
    OpenedWave file(riff::riff("WAVE", body));
    ASSERT_EQ(file.result, S_OK);
    EXPECT_EQ(readAll(file.wave, 100), riff::samples(301).substr(0, 100));
    EXPECT_EQ(readAll(file.wave, 5000), riff::samples(301).substr(100));
    HRESULT result;
    EXPECT_EQ(readAll(file.wave, 10, &result), "");
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(file.wave.getDataSize(), 301u);
}

TEST(WaveFile, LargeDataIsCopiedAcrossManyBufferRefills) {
    std::string data = riff::samples(100000);
    OpenedWave file(riff::wave(data));
    ASSERT_EQ(file.result, S_OK);
    EXPECT_EQ(readAll(file.wave, 100000), data);
}

TEST(WaveFile, ChunkOrderAndOtherChunksDoNotMatter) {
    std::string fmt = riff::chunk("fmt ", riff::pcmFormat(1, 8000, 8));
    std::string data = riff::chunk("data", riff::samples(9));
    std::string list = riff::chunk("LIST", "INFOabc");
    std::string fact = riff::chunk("fact", riff::le32(9));
    for (const std::string& body : {data + list + fmt, list + fmt + fact + data}) {
        OpenedWave file(riff::riff("WAVE", body));
        ASSERT_EQ(file.result, S_OK);
        EXPECT_EQ(file.wave.format->nSamplesPerSec, 8000u);
        EXPECT_EQ(readAll(file.wave, 9), riff::samples(9));
    }
}

TEST(WaveFile, EighteenBytePcmFormatHasNoExtraBytes) {
    OpenedWave file(riff::wave(riff::samples(4), riff::pcmFormat() + riff::le16(0)));
    ASSERT_EQ(file.result, S_OK);
    EXPECT_EQ(file.wave.format->cbSize, 0);
    EXPECT_EQ(readAll(file.wave, 4), riff::samples(4));
}

TEST(WaveFile, NonPcmFormatCarriesItsExtraBytes) {
    std::string format = riff::formatFields(2, 1, 22050, 4) + riff::le16(4) + "\x01\x02\x03\x04";
    OpenedWave file(riff::wave(riff::samples(6), format));
    ASSERT_EQ(file.result, S_OK);
    ASSERT_EQ(file.wave.format->cbSize, 4);
    EXPECT_EQ(file.wave.format->wFormatTag, 2);
    EXPECT_EQ(std::memcmp(file.wave.format + 1, "\x01\x02\x03\x04", 4), 0);
    EXPECT_EQ(readAll(file.wave, 6), riff::samples(6));
}

TEST(WaveFile, SixteenByteNonPcmFormatHasNoExtraBytes) {
    // The chunk holds no count of extra bytes; the next chunk's header is not read as one.
    OpenedWave file(riff::wave(riff::samples(8), riff::formatFields(3, 1, 8000, 32)));
    ASSERT_EQ(file.result, S_OK);
    EXPECT_EQ(file.wave.format->wFormatTag, 3);
    EXPECT_EQ(file.wave.format->cbSize, 0);
    EXPECT_EQ(readAll(file.wave, 8), riff::samples(8));
}

// Files this process holds open.
int openFiles() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(WaveFile, LongExtraFormatBytesAreKeptWhole) {
    std::string extra = riff::samples(1000);
    std::string format = riff::formatFields(0x55, 2, 44100, 16) + riff::le16(1000) + extra;
    OpenedWave file(riff::wave(riff::samples(8), format));
    ASSERT_EQ(file.result, S_OK);
    ASSERT_EQ(file.wave.format->cbSize, 1000);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.wave.format + 1), 1000), extra);
}

TEST(WaveFile, MalformedHeadersAreRefusedAndTheFileClosedAgain) {
    std::string pcm = riff::pcmFormat();
    std::string data = riff::chunk("data", riff::samples(4));
    const std::string refused[] = {
        riff::riff("WAVE", riff::chunk("fmt ", pcm.substr(0, 15)) + data), // short format
        "RIFX" + riff::wave(riff::samples(4)).substr(4),                   // not RIFF
        riff::riff("AVI ", riff::chunk("fmt ", pcm) + data),               // another form
        riff::riff("WAVE", data),                                          // no format
        // Extra bytes that the format chunk does not hold.
        riff::riff("WAVE", riff::chunk("fmt ", riff::formatFields(2, 1, 22050, 4) +
                                                   riff::le16(60000) + "ab") +
                               data),
        "RIFF",
        "",
        // The file ends within the extra bytes that the format chunk declares.
        "RIFF" + riff::le32(30) + "WAVE" + "fmt " + riff::le32(22) +
            riff::formatFields(2, 1, 22050, 4) + riff::le16(4) + "ab",
    };
    int before = openFiles();
    for (const std::string& bytes : refused) {
        OpenedWave file(bytes);
        EXPECT_EQ(file.result, E_FAIL) << "file of " << bytes.size() << " bytes";
        EXPECT_EQ(file.wave.handle, nullptr);
        EXPECT_EQ(file.wave.format, nullptr);
        EXPECT_EQ(openFiles(), before);
    }
}

TEST(WaveFile, FilesWithoutUsableDataAreRefusedAndLeftOpenUntilClosed) {
    std::string fmt = riff::chunk("fmt ", riff::pcmFormat());
    const std::string refused[] = {
        riff::riff("WAVE", fmt),                                            // no data
        riff::riff("WAVE", fmt + riff::chunkDeclaring("data", 64, "abcd")), // data cut short
        // Data that runs past the RIFF chunk into bytes after it.
        riff::riff("WAVE", fmt + riff::chunkDeclaring("data", 8, "abcd")) + "efgh",
    };
    int before = openFiles();
    for (const std::string& bytes : refused) {
        OpenedWave file(bytes);
        EXPECT_EQ(file.result, E_FAIL) << "file of " << bytes.size() << " bytes";
        EXPECT_NE(file.wave.handle, nullptr);
        EXPECT_EQ(openFiles(), before + 1);
        EXPECT_EQ(file.wave.close(), S_OK);
        EXPECT_EQ(file.wave.handle, nullptr);
        EXPECT_EQ(openFiles(), before);
    }
    // Destruction closes it too.
    {
        OpenedWave file(refused[0]);
        EXPECT_EQ(openFiles(), before + 1);
    }
    EXPECT_EQ(openFiles(), before);
    // A RIFF chunk and data that declare more than the file holds.
    {
        OpenedWave file("RIFF" + riff::le32(1000) + "WAVE" + fmt +
                        riff::chunkDeclaring("data", 64, "abcd"));
        EXPECT_EQ(file.result, E_FAIL);
    }
    EXPECT_EQ(openFiles(), before);
}

TEST(WaveFile, ReadFailingWhenTheFileEndsEarlyStoresNoCount) {
    for (DWORD count : {DWORD(100000), DWORD(60000)}) {
        ScratchFolder folder;
        std::string path = folder.write("sound.wav", riff::wave(riff::samples(100000)));
        WaveFile wave;
        ASSERT_EQ(wave.open(path.c_str()), S_OK);
        // The file loses its end after it was opened.
        std::filesystem::resize_file(path, 44 + 20000);
        std::vector<BYTE> buffer(count);
        DWORD read = 12345;
        EXPECT_EQ(wave.read(buffer.data(), count, &read), E_FAIL) << count;
        EXPECT_EQ(read, 0u) << count;
        // The remaining count was reduced before the copy failed.
        EXPECT_EQ(wave.dataChunk.cksize, 100000 - count) << count;
        EXPECT_EQ(wave.getDataSize(), 100000u);
        EXPECT_NE(wave.handle, nullptr);
    }
}

TEST(WaveFile, ReadsCountDownTheRemainingBytes) {
    OpenedWave file(riff::wave(riff::samples(301)));
    ASSERT_EQ(file.result, S_OK);
    EXPECT_EQ(file.wave.dataChunk.cksize, 301u);
    readAll(file.wave, 100);
    EXPECT_EQ(file.wave.dataChunk.cksize, 201u);
    readAll(file.wave, 1000);
    EXPECT_EQ(file.wave.dataChunk.cksize, 0u);
}

TEST(WaveFile, MissingFileAndNullArgumentsGiveTheirResults) {
    WaveFile wave;
    EXPECT_EQ(wave.open(nullptr), E_INVALIDARG);
    EXPECT_EQ(wave.open("Meshes\\NoSuchSound.wav"), E_FAIL);
    EXPECT_EQ(wave.handle, nullptr);
    BYTE byte;
    DWORD read = 7;
    EXPECT_EQ(wave.read(&byte, 1, &read), CO_E_NOTINITIALIZED);
    EXPECT_EQ(wave.seekToData(), CO_E_NOTINITIALIZED);
    EXPECT_EQ(wave.close(), S_OK);
    EXPECT_EQ(wave.close(), S_OK);

    OpenedWave file(riff::wave(riff::samples(4)));
    ASSERT_EQ(file.result, S_OK);
    EXPECT_EQ(file.wave.read(nullptr, 1, &read), E_INVALIDARG);
    EXPECT_EQ(file.wave.read(&byte, 1, nullptr), E_INVALIDARG);
}

TEST(WaveFile, ReopeningReplacesTheFirstFile) {
    ScratchFolder folder;
    WaveFile wave;
    ASSERT_EQ(wave.open(folder.write("a.wav", riff::wave(riff::samples(10))).c_str()), S_OK);
    std::string second = riff::wave(riff::samples(3), riff::pcmFormat(2, 11025, 8));
    ASSERT_EQ(wave.open(folder.write("b.wav", second).c_str()), S_OK);
    EXPECT_EQ(wave.getDataSize(), 3u);
    EXPECT_EQ(wave.format->nSamplesPerSec, 11025u);
    EXPECT_EQ(readAll(wave, 10), riff::samples(3));
}

TEST(WaveFile, GeneratedSoundsOpenFromTheMeshesFolder) {
    // The data folder is spelt with a capital here and in lower case on disk.
    for (const char* name : {"Meshes\\Stuk.wav", "Meshes\\TrainBackground.wav"}) {
        WaveFile wave;
        ASSERT_EQ(wave.open(name), S_OK) << name;
        EXPECT_GT(wave.getDataSize(), 0u);
        std::vector<BYTE> samples(wave.getDataSize());
        DWORD read = 0;
        EXPECT_EQ(wave.read(samples.data(), DWORD(samples.size()), &read), S_OK);
        EXPECT_EQ(read, samples.size());
    }
}

} // namespace
