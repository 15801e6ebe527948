// riff_size_mutator.h: a libFuzzer custom mutator for RIFF inputs, included by exactly one
// source of a fuzz target. One mutation in three walks the input's chunk headers (the RIFF
// header, then the chunks behind its form type) and sets one size field to a value at the
// edges of the 32-bit range: 0, 2^31 - 1, 2^31, 2^32 - 1, or a size that ends the chunk just
// before, at or past 2^31 and 2^32, where offset arithmetic wraps. The other mutations are
// libFuzzer's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    std::minstd_rand random(seed);
    if (random() % 3 != 0 || size < 8)
        return LLVMFuzzerMutate(data, size, maxSize);

    // Where each size field is, found by walking the chunk headers as the file declares them.
    size_t fields[32];
    size_t fieldCount = 0;
    fields[fieldCount++] = 4;
    for (uint64_t at = 12; at + 8 <= size && fieldCount < 32;) {
        uint32_t declared;
        std::memcpy(&declared, data + at + 4, 4);
        fields[fieldCount++] = size_t(at + 4);
        at += 8 + uint64_t(declared) + (declared & 1);
    }
    size_t field = fields[random() % fieldCount];
    // The chunk's contents begin behind the size field; sizes counted from there end the chunk
    // around the wrapping points.
    uint64_t contents = field + 4;
    const uint64_t ends[] = {0x7FFFFFFFull, 0x80000000ull, 0x100000000ull};
    uint32_t value;
    switch (random() % 3) {
    case 0: {
        const uint32_t edges[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
        value = edges[random() % 6];
        break;
    }
    default: {
        int64_t delta = int64_t(random() % 17) - 8;
        value = uint32_t(ends[random() % 3] - contents + uint64_t(delta));
        break;
    }
    }
    std::memcpy(data + field, &value, 4);
    return size;
}
