// module.cpp - the exported records, the module variables and the entry
// routine every platform's loader hook forwards to.
//
// All constinit: the 32-bit module runs no start-up code before the host
// reads these records.
#include "host/module.h"

#include "host/gauge.h"

extern "C" {

constinit ImportTableRecord ImportTable = {{
    {kImportPanelServices, nullptr},   // the host stores its PanelServices here
    {0, nullptr},
}};

constinit LinkageRecord Linkage = {
    0x13,
    ModuleInit,
    ModuleDeinit,
    {0, 0, 0},
    {&gauge_header, nullptr},
};

}  // extern "C"

//                             token               host words      value previous
constinit ModuleVariable hold_var    = {kTokenParkingBrake, nullptr, 0,      0.0,  0.0};
constinit ModuleVariable heading_var = {kTokenHeading,      nullptr, 0,      0.0,  0.0};
constinit ModuleVariable ready_var   = {kTokenOnGround,     nullptr, 0,      0.0,  0.0};

constinit void* module_instance = nullptr;

int32_t ModuleEntry(void* instance, uint32_t, void*) {
    module_instance = instance;
    return 1;
}

void GAUGE_CALL ModuleInit(void) {}
void GAUGE_CALL ModuleDeinit(void) {}
