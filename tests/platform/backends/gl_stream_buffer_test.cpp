// The OpenGL renderer's stream buffer, which draws from the caller's memory are written to
// without waiting for queued draws: each write lands on a 16-byte boundary, overlaps no earlier
// write since the storage was last renewed, and renews the storage, at least as large as the
// write, when it does not fit. Runs on the context of a Direct3D device (needs a display).
#include "support/test_device.h"

#include "opengl/gl_internal.h"

#include <numeric>

namespace {

class StreamBufferTest : public SmallDeviceTest {
protected:
    void SetUp() override {
        SmallDeviceTest::SetUp();
        // A clear makes the device's context current.
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
        stream.capacity = 256;
        glGenBuffers(1, &stream.name);
        glBindBuffer(stream.target, stream.name);
        glBufferData(stream.target, stream.capacity, nullptr, GL_STREAM_DRAW);
    }

    void TearDown() override {
        glDeleteBuffers(1, &stream.name);
        SmallDeviceTest::TearDown();
    }

    // Writes size bytes of one value and gives the offset.
    uint32_t write(uint32_t size, uint8_t value) {
        const std::vector<uint8_t> bytes(size, value);
        return stream.write(bytes.data(), size);
    }

    std::vector<uint8_t> stored(uint32_t offset, uint32_t size) {
        std::vector<uint8_t> bytes(size);
        glBindBuffer(stream.target, stream.name);
        glGetBufferSubData(stream.target, offset, size, bytes.data());
        return bytes;
    }

    renderer::StreamBuffer stream;
};

TEST_F(StreamBufferTest, WritesStartOnSixteenByteBoundariesAndKeepEarlierWrites) {
    uint32_t end = 0;
    for (uint32_t size : {20u, 1u, 2u, 16u, 17u, 40u}) {
        const uint32_t offset = write(size, uint8_t(size));
        SCOPED_TRACE(testing::Message() << "write of " << size);
        EXPECT_EQ(offset % 16, 0u);
        EXPECT_GE(offset, end);
        end = offset + size;
    }
    // Every write still holds its bytes.
    EXPECT_EQ(stored(0, 20), std::vector<uint8_t>(20, 20));
    EXPECT_EQ(stored(32, 1), std::vector<uint8_t>(1, 1));
    EXPECT_EQ(stored(48, 2), std::vector<uint8_t>(2, 2));
    EXPECT_EQ(stored(64, 16), std::vector<uint8_t>(16, 16));
    EXPECT_EQ(stored(80, 17), std::vector<uint8_t>(17, 17));
    EXPECT_EQ(stored(112, 40), std::vector<uint8_t>(40, 40));
}

TEST_F(StreamBufferTest, WriteThatDoesNotFitStartsAgainInNewStorage) {
    EXPECT_EQ(write(200, 1), 0u);
    // 200 rounds up to 208: 48 bytes are left.
    EXPECT_EQ(write(48, 2), 208u);
    EXPECT_EQ(write(1, 3), 0u);
    EXPECT_EQ(stream.capacity, 256u);
    // Larger than the storage: the storage grows to hold it.
    std::vector<uint8_t> large(1000);
    std::iota(large.begin(), large.end(), uint8_t(0));
    EXPECT_EQ(stream.write(large.data(), 1000), 0u);
    EXPECT_EQ(stream.capacity, 1000u);
    EXPECT_EQ(stored(0, 1000), large);
    EXPECT_EQ(write(1, 4), 0u);
}

} // namespace
