// dsound_stats.h: counts of the OpenAL objects that the DirectSound backend holds, so tests
// can see that duplicates share samples and that releases free what they should.
// Not part of any Windows API. Implemented in platform/linux/dsound_device.cpp.
#pragma once

// OpenAL buffers holding sample data: one per master buffer, shared by its duplicates.
int liveSoundSampleBuffers();
// OpenAL sources: one per secondary buffer, duplicates included.
int liveSoundSources();
