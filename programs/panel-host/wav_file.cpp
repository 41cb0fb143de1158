// wav_file.cpp - WAV files by hand (see wav_file.h).
#include "programs/panel-host/wav_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

void PutLe(FILE* f, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) std::fputc(int((v >> (8 * i)) & 0xFF), f);
}

}  // namespace

bool WavOpen(WavWriter* wav, const std::string& path, uint32_t rate, std::string* problem) {
    wav->file = std::fopen(path.c_str(), "wb");
    if (wav->file == nullptr) {
        *problem = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    wav->rate = rate;
    wav->frames = 0;
    // The sizes are written again by WavClose once they are known.
    std::fwrite("RIFF\0\0\0\0WAVEfmt ", 1, 16, wav->file);
    PutLe(wav->file, 16, 4);
    PutLe(wav->file, 1, 2);            // PCM
    PutLe(wav->file, 2, 2);            // stereo
    PutLe(wav->file, rate, 4);
    PutLe(wav->file, rate * 4, 4);
    PutLe(wav->file, 4, 2);
    PutLe(wav->file, 16, 2);
    std::fwrite("data\0\0\0\0", 1, 8, wav->file);
    return !std::ferror(wav->file);
}

bool WavAppend(WavWriter* wav, const int16_t* samples, uint32_t frames) {
    if (wav->file == nullptr) return false;
    for (uint32_t i = 0; i < frames * 2; ++i) PutLe(wav->file, static_cast<uint16_t>(samples[i]), 2);
    wav->frames += frames;
    return !std::ferror(wav->file);
}

bool WavClose(WavWriter* wav) {
    if (wav->file == nullptr) return false;
    uint64_t data = wav->frames * 4;
    if (data > 0xFFFFFFFFull - 36) data = 0xFFFFFFFFull - 36;
    bool ok = !std::ferror(wav->file);
    ok = std::fseek(wav->file, 4, SEEK_SET) == 0 && ok;
    PutLe(wav->file, static_cast<uint32_t>(36 + data), 4);
    ok = std::fseek(wav->file, 40, SEEK_SET) == 0 && ok;
    PutLe(wav->file, static_cast<uint32_t>(data), 4);
    ok = !std::ferror(wav->file) && ok;
    ok = std::fclose(wav->file) == 0 && ok;
    wav->file = nullptr;
    return ok;
}
