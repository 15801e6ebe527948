// dsound_stats.h: counts of the sample stores and voices that the layer's DirectSound holds in
// its sound outputs, so tests can see that duplicates share samples and that releases free what
// they should. Not part of any Windows API. Implemented in platform/dsound/dsound_device.cpp.
#pragma once

// Sample stores: one per master buffer, shared by its duplicates.
int liveSoundSampleBuffers();
// Voices: one per secondary buffer, duplicates included.
int liveSoundSources();
