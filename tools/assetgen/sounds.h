// sounds.h: the two train sounds, a wheel clack and a looping running rumble, as 16-bit PCM WAV
// files.
#pragma once

#include <string>
#include <vector>

constexpr int soundSampleRate = 22050;

// The clack of one wheel set on a rail joint, about a quarter second.
std::vector<double> clackSamples();
// Four seconds of running noise whose end joins its start without a step.
std::vector<double> rumbleSamples();
// Writes mono samples in [-1, 1] as a 16-bit PCM RIFF/WAVE file.
bool writeWav(const std::string& path, const std::vector<double>& samples, int sampleRate);
// Writes "Stuk.wav" and "TrainBackground.wav" into `folder`.
bool writeSounds(const std::string& folder);
