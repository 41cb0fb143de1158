// embedded.h - the resource directory built into native modules.
//
// On platforms without PE resources the build embeds the six clips and
// three bitmaps of resources/ in the module's image and generates this directory for them
// (cmake/EmbedResources.cmake). A host that loaded the module can reach it
// by name, the way the simulator reaches a Windows module's resources.
#pragma once

#include <cstdint>
#include <cstring>

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

// The entry of `type` ("WAV", "BITMAP") named `name`, or numbered `number`
// when `name` is null; null when there is none or `directory` is none. The
// one walk of a directory: the module's own look-ups (platform_posix.cpp)
// and a host's (module_file/module_loader_posix.cpp) both go through it.
inline const EmbeddedResource* FindEmbeddedResource(const EmbeddedDirectory* directory, const char* type,
                                                    const char* name, int32_t number) {
    if (directory == nullptr || directory->magic != kEmbeddedMagic || type == nullptr) return nullptr;
    for (uint32_t i = 0; i < directory->count; ++i) {
        const EmbeddedResource& r = directory->entries[i];
        if (std::strcmp(r.type, type) != 0) continue;
        if (name ? std::strcmp(r.name, name) == 0 : r.number == number) return &r;
    }
    return nullptr;
}

extern "C" __attribute__((visibility("default"))) const EmbeddedDirectory
    vornak_resource_directory;
