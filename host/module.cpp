// module.cpp - the exported records, the module variables and the entry
// routine every platform's loader hook forwards to.
#include "host/module.h"

#include "host/gauge.h"

extern "C" {

ImportTableRecord ImportTable = {{
    {kImportPanelServices, nullptr},   // the host stores its PanelServices here
    {0, nullptr},
}};

LinkageRecord Linkage = {
    0x13,
    ModuleInit,
    ModuleDeinit,
    {0, 0, 0},
    {&gauge_header, nullptr},
};

}  // extern "C"

//                             token               host words      value previous
ModuleVariable hold_var    = {kTokenParkingBrake, nullptr, 0,      0.0,  0.0};
ModuleVariable heading_var = {kTokenHeading,      nullptr, 0,      0.0,  0.0};
ModuleVariable ready_var   = {kTokenOnGround,     nullptr, 0,      0.0,  0.0};

void* module_instance = nullptr;

int32_t ModuleEntry(void* instance, uint32_t, void*) {
    module_instance = instance;
    return 1;
}

void GAUGE_CALL ModuleInit(void) {}
void GAUGE_CALL ModuleDeinit(void) {}
