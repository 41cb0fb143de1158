// executable_entry_win32.cpp - the module entry for an executable that links
// the gauge in (gauge-replay.exe).
//
// Windows calls no DllMain for an executable's own image, so the run time's
// start-up hands the image over here, as the loader would for the module.
// Never linked into the module: the module has no run-time start-up, and a
// static constructor in it would never run.
#include <windows.h>

#include "host/module.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

struct ExecutableEntry {
    ExecutableEntry() { ModuleEntry(&__ImageBase, DLL_PROCESS_ATTACH, nullptr); }
} executable_entry;

}  // namespace
