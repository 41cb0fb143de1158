// gauge.h - the one gauge the module offers: its header, element tree,
// mouse areas and the seven routines the host calls through the header.
#pragma once

#include "host/abi.h"
#include "host/gauge_names.h"

extern GaugeHeader   gauge_header;
extern StaticElement panel_face;
extern TextElement   timer_display;
extern IconElement   right_lamp;
extern IconElement   left_lamp;
extern MouseArea     mouse_areas[7];

enum : int32_t {
    kPanelWidth      = 172,
    kPanelHeight     = 78,
};

// The module's own file path, as taken at initialise: at most 254 characters,
// as the platform is asked for 255 bytes with the terminator.
extern char module_path[256];
// The host window taken at initialise; the sound device is bound to it.
extern void* host_window;

void GAUGE_CALL GaugeQuery(void);
void GAUGE_CALL GaugeInstall(void* install_arg);
void GAUGE_CALL GaugeInitialize(void);
void GAUGE_CALL GaugeUpdate(void);
void GAUGE_CALL GaugeGenerate(void* generate_arg);
void GAUGE_CALL GaugeDraw(void);
void GAUGE_CALL GaugeKill(void);
