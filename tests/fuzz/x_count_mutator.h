// x_count_mutator.h: a libFuzzer custom mutator for .X inputs, included by exactly one source
// of a fuzz target. One mutation in three sets a whole number of the file (a count or an index:
// in text a run of digits, in binary an integer token or an entry of an integer list) to a
// value at its bounds: 0, 1, 2, 3, the file's size and its neighbours, 2^16 - 1, 2^16,
// 2^31 - 1, 2^31, 2^32 - 1, or the number next to the one there. The other mutations are
// libFuzzer's own. The input's first byte is the fuzz target's choice of encoding, not part
// of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace fuzz {

inline uint32_t boundValue(std::minstd_rand& random, uint32_t current, size_t size) {
    const uint32_t edges[] = {0,
                              1,
                              2,
                              3,
                              uint32_t(size),
                              uint32_t(size - 1),
                              uint32_t(size + 1),
                              0xFFFF,
                              0x10000,
                              0x7FFFFFFF,
                              0x80000000,
                              0xFFFFFFFF,
                              current + 1,
                              current - 1};
    return edges[random() % (sizeof edges / sizeof edges[0])];
}

// Text: replaces a run of digits (not part of a real number) with another number.
inline size_t mutateTextNumber(uint8_t* data, size_t size, size_t maxSize,
                               std::minstd_rand& random) {
    std::vector<std::pair<size_t, size_t>> runs; // start, length
    for (size_t at = 17; at < size;) {
        if (data[at] >= '0' && data[at] <= '9') {
            size_t end = at;
            while (end < size && data[end] >= '0' && data[end] <= '9')
                ++end;
            const bool real = (end < size && data[end] == '.') || data[at - 1] == '.';
            if (!real)
                runs.emplace_back(at, end - at);
            at = end;
        } else {
            ++at;
        }
    }
    if (runs.empty())
        return 0;
    const auto [start, length] = runs[random() % runs.size()];
    const uint32_t current = uint32_t(std::strtoul(
        std::string(reinterpret_cast<const char*>(data) + start, length).c_str(), nullptr, 10));
    const std::string value = std::to_string(boundValue(random, current, size));
    if (size - length + value.size() > maxSize)
        return 0;
    std::memmove(data + start + value.size(), data + start + length, size - start - length);
    std::memcpy(data + start, value.data(), value.size());
    return size - length + value.size();
}

// Binary: sets an integer token (3), or the count or an entry of an integer list (6).
inline size_t mutateBinaryNumber(uint8_t* data, size_t size, std::minstd_rand& random) {
    std::vector<size_t> fields;
    for (size_t at = 17; at + 6 <= size; ++at)
        if ((data[at] == 3 || data[at] == 6) && data[at + 1] == 0) {
            fields.push_back(at + 2);
            if (data[at] == 6) {
                uint32_t count;
                std::memcpy(&count, data + at + 2, 4);
                for (uint32_t i = 0; i < count && i < 64 && at + 10 + i * 4 <= size; ++i)
                    fields.push_back(at + 6 + i * 4);
            }
        }
    if (fields.empty())
        return 0;
    const size_t field = fields[random() % fields.size()];
    uint32_t current;
    std::memcpy(&current, data + field, 4);
    const uint32_t value = boundValue(random, current, size);
    std::memcpy(data + field, &value, 4);
    return size;
}

} // namespace fuzz

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    std::minstd_rand random(seed);
    if (random() % 3 != 0 || size < 18)
        return LLVMFuzzerMutate(data, size, maxSize);
    const bool binary = std::memcmp(data + 9, "bin ", 4) == 0;
    const size_t mutated = binary ? fuzz::mutateBinaryNumber(data, size, random)
                                  : fuzz::mutateTextNumber(data, size, maxSize, random);
    return mutated != 0 ? mutated : LLVMFuzzerMutate(data, size, maxSize);
}
