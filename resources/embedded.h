// embedded.h - the resource directory built into native modules.
//
// On platforms without PE resources the build embeds the six clips and
// three bitmaps of resources/ in the module's image and generates this directory for them
// (cmake/EmbedResources.cmake). A host that loaded the module can reach it
// by name, the way the simulator reaches a Windows module's resources.
#pragma once

#include <cstdint>

struct EmbeddedResource {
    const char*    type;     // "WAV" or "BITMAP"
    const char*    name;     // clip name, or "" for bitmaps
    int32_t        number;   // bitmap number, or 0
    const uint8_t* data;
    uint32_t       size;
};

struct EmbeddedDirectory {
    uint32_t                magic;
    uint32_t                count;
    const EmbeddedResource* entries;
};

enum : uint32_t { kEmbeddedMagic = 0x5753524Eu };

extern "C" __attribute__((visibility("default"))) const EmbeddedDirectory
    vornak_resource_directory;
