// wav_file.h - the recording a run writes: a 16-bit stereo WAV file,
// written as it grows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct WavWriter {
    FILE*    file = nullptr;
    uint32_t rate = 0;
    uint64_t frames = 0;
};

// 16-bit signed stereo at `rate`.
bool WavOpen(WavWriter* wav, const std::string& path, uint32_t rate, std::string* problem);
bool WavAppend(WavWriter* wav, const int16_t* samples, uint32_t frames);
// Writes the final sizes and closes. False if anything could not be written.
bool WavClose(WavWriter* wav);
