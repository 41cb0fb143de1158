// module.h - the module's boundary with the host.
//
// ImportTable and Linkage are the two records the host finds by name: the
// host writes its service table into ImportTable and reads the gauge list
// from Linkage. The three module variables are the simulator values the
// gauge reads; the instance handle is stored by the module entry routine and
// is how the module later finds its own file.
#pragma once

#include <cstdint>

#include "host/abi.h"
#include "host/gauge_names.h"

#if defined(_WIN32)
#define GAUGE_EXPORT
#else
#define GAUGE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
GAUGE_EXPORT extern ImportTableRecord ImportTable;
GAUGE_EXPORT extern LinkageRecord Linkage;
}

// The host's service table, read through ImportTable on every call.
inline PanelServices* Host() {
    return static_cast<PanelServices*>(ImportTable.entries[kImportServicesEntry].pointer);
}

// The three simulator values the gauge reads, by the gauge's own names:
// `hold` is the parking brake, `ready` that the aircraft is on the ground.
extern ModuleVariable hold_var;      // kTokenParkingBrake: 0 released, up to 32767 set
extern ModuleVariable heading_var;   // kTokenHeading: magnetic heading, degrees
extern ModuleVariable ready_var;     // kTokenOnGround: 1.0 on the ground

// The instance handle the loader gave the module.
extern void* module_instance;

// Called by the platform's loader hook on every notification: stores the
// instance handle and reports success.
int32_t ModuleEntry(void* instance, uint32_t reason, void* reserved);

void GAUGE_CALL ModuleInit(void);
void GAUGE_CALL ModuleDeinit(void);
