// png_files.h - pictures to and from PNG files, the platform's own way:
// draw_sdl.cpp with SDL2_image (Linux), draw_gdi.cpp with zlib (Windows).
#pragma once

#include <string>

#include "programs/panel-host/image.h"

// Writes a PNG file. False with a one-line reason.
bool WritePng(const std::string& path, const Image& image, std::string* problem);

// Reads a picture SDL2_image knows (PNG, and others) as RGB; alpha is
// dropped. False when it cannot. Linux only (draw_sdl.cpp), for the tests.
bool ReadPng(const std::string& path, Image* image);
