// clip_watch_win32.cpp - which clips a Windows gauge module starts, for
// hosts that show them (module_loader.h's set_clip_observer on Windows).
//
// A module built for the simulator tells nobody what it plays: it calls
// DirectSound, through its import of DSOUND.dll's first entry. The watch
// puts its own routine in that import slot of the loaded module; the
// routine makes the real device and hands the module a device whose
// CreateSoundBuffer, and buffers whose Play, pass through here. A buffer is
// known by its size, the size of one clip's sound data in the module's
// resources. The module's own bytes are not changed, only its import
// table, as the system's loader fills it.
//
// Needs: KERNEL32, DirectSound. Provides:
//   [x] every Play of a clip's buffer reported by the clip's name
//   [x] nothing changed when the module imports no DirectSound
#include <windows.h>
#include <dsound.h>

#include <cstring>

#include "host/gauge_names.h"
#include "module_file/clip_watch_win32.h"
#include "module_file/module_loader.h"

namespace {

const int kClips = kClipCount;
const int kMaxBuffers = 64;

typedef HRESULT(WINAPI* CreateDeviceFn)(LPCGUID, IDirectSound**, IUnknown*);
typedef HRESULT(STDMETHODCALLTYPE* CreateBufferFn)(IDirectSound*, LPCDSBUFFERDESC, IDirectSoundBuffer**, IUnknown*);
typedef HRESULT(STDMETHODCALLTYPE* PlayFn)(IDirectSoundBuffer*, DWORD, DWORD, DWORD);

struct Watch {
    HMODULE module = nullptr;
    VornakClipObserver observer = nullptr;
    void* context = nullptr;
    bool hooked = false;
    CreateDeviceFn create_device = nullptr;
    // The device's and buffers' method tables, copied with our entries in.
    void* device_table[32] = {};
    void* buffer_table[32] = {};
    CreateBufferFn create_buffer = nullptr;
    // What DirectSound answered the module: devices asked for, clip
    // buffers made.
    uint32_t devices_asked = 0, buffers_made = 0;
    PlayFn play = nullptr;
    uint32_t clip_bytes[kClips] = {};
    struct { IDirectSoundBuffer* buffer; const char* clip; } buffers[kMaxBuffers] = {};
};

Watch watch;

// The size of a clip's sound data, as the module makes its buffer.
uint32_t DataBytes(const char* clip) {
    LoadedModule loaded{};
    loaded.handle = watch.module;
    uint32_t bytes, byte_rate;
    ModuleClipData(loaded, clip, &bytes, &byte_rate);
    return bytes;
}

void Retable(void* object, void** table, int count, int entry, void* routine, void** original) {
    void** own = *static_cast<void***>(object);
    if (own == table) return;
    if (*original == nullptr) {
        std::memcpy(table, own, sizeof(void*) * count);
        *original = own[entry];
        table[entry] = routine;
    }
    *static_cast<void***>(object) = table;
}

HRESULT STDMETHODCALLTYPE WatchedPlay(IDirectSoundBuffer* buffer, DWORD reserved, DWORD priority, DWORD flags) {
    for (auto& b : watch.buffers)
        if (b.buffer == buffer && b.clip && watch.observer) watch.observer(b.clip, watch.context);
    return watch.play(buffer, reserved, priority, flags);
}

HRESULT STDMETHODCALLTYPE WatchedCreateBuffer(IDirectSound* device, LPCDSBUFFERDESC desc, IDirectSoundBuffer** made,
                                              IUnknown* outer) {
    const HRESULT result = watch.create_buffer(device, desc, made, outer);
    if (FAILED(result) || made == nullptr || *made == nullptr || desc == nullptr) return result;
    watch.buffers_made++;
    const char* clip = nullptr;
    for (int c = 0; c < kClips && clip == nullptr; ++c)
        if (watch.clip_bytes[c] != 0 && watch.clip_bytes[c] == desc->dwBufferBytes) clip = kClipNames[c];
    // A slot of a released buffer is taken again by address.
    for (auto& b : watch.buffers)
        if (b.buffer == *made || b.buffer == nullptr) {
            b.buffer = *made;
            b.clip = clip;
            break;
        }
    Retable(*made, watch.buffer_table, 21, 12, reinterpret_cast<void*>(WatchedPlay),
            reinterpret_cast<void**>(&watch.play));
    return result;
}

HRESULT WINAPI WatchedCreateDevice(LPCGUID guid, IDirectSound** made, IUnknown* outer) {
    const HRESULT result = watch.create_device(guid, made, outer);
    watch.devices_asked++;
    if (SUCCEEDED(result) && made && *made)
        Retable(*made, watch.device_table, 11, 3, reinterpret_cast<void*>(WatchedCreateBuffer),
                reinterpret_cast<void**>(&watch.create_buffer));
    return result;
}

// The module's import slot for DSOUND.dll's first entry, or null.
void** DirectSoundSlot(HMODULE module) {
    auto* base = reinterpret_cast<uint8_t*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return nullptr;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name != 0; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), "DSOUND.dll") != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (int i = 0; names[i].u1.AddressOfData != 0; ++i)
            if (IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal) && IMAGE_ORDINAL(names[i].u1.Ordinal) == 1)
                return reinterpret_cast<void**>(&slots[i].u1.Function);
    }
    return nullptr;
}

}  // namespace

void WatchClipsOf(void* module_handle) {
    watch = Watch{};
    watch.module = static_cast<HMODULE>(module_handle);
}

void WatchDirectSoundClips(VornakClipObserver observer, void* context) {
    watch.observer = observer;
    watch.context = context;
    if (watch.hooked || observer == nullptr || watch.module == nullptr) return;
    void** slot = DirectSoundSlot(watch.module);
    if (slot == nullptr) return;
    for (int c = 0; c < kClips; ++c) watch.clip_bytes[c] = DataBytes(kClipNames[c]);
    watch.create_device = reinterpret_cast<CreateDeviceFn>(*slot);
    DWORD old;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return;
    *slot = reinterpret_cast<void*>(WatchedCreateDevice);
    VirtualProtect(slot, sizeof *slot, old, &old);
    watch.hooked = true;
}

bool WatchedSoundStarted(bool* started) {
    *started = watch.buffers_made > 0;
    return watch.hooked && watch.devices_asked > 0;
}
