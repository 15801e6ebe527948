// random.h: a small seeded pseudo-random generator (xorshift64*), so that every build writes the
// same bytes whatever the standard library.
#pragma once

#include <cstdint>

struct Random {
    uint64_t state;

    explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}

    uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [-1, 1).
    double signedUniform() { return uniform() * 2.0 - 1.0; }
};
