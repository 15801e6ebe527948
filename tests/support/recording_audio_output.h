// recording_audio_output.h: a sound output (platform/backends/audio_output.h) that plays
// nothing and writes every call into one log, so that a test of the layer's DirectSound sees
// exactly what reaches the output and in which order. Linked in place of a real backend by
// dsound_output_test.
#pragma once

#include <string>
#include <vector>

// The calls in the order they were made, one line each ("voice 2 gain 0.1").
std::vector<std::string>& outputLog();
// Whether the outputs opened from now on play float samples; they do unless told otherwise.
void outputsPlayFloat(bool plays);
// Lets the next openAudioOutput find no device.
void failNextOutputOpen();
