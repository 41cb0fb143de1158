// hostsim.h - a substitute for the simulator's panel host.
//
// It stands where the simulator stands: it gives the module its service
// table through ImportTable, reads the gauge from Linkage, drives the
// lifecycle in the host's order, evaluates the element tree's value
// callbacks once per update, keeps the simulator values the gauge binds,
// dispatches clicks to the registered mouse areas, and owns the display's
// text buffer. Events the gauge sends go to the event hooks, in the order
// they were added, and the update hooks hear each update begin.
//
// Usage:
//   HostAttach(&ImportTable, &Linkage);   // or the records found by name
//   HostInstall(); HostInitialize();
//   HostSetValue(kTokenOnGround, 1.0);    // host/gauge_names.h's tokens
//   HostClick(27, 38);
//   HostFrame();                          // update, generate, draw
//   HostKill();
// There is one host per process, as there is one simulator.
#pragma once

#include <cstdint>

#include "host/abi.h"
#include "host/gauge_names.h"

enum : int32_t { kHostMaxIcons = 8, kHostMaxBound = 16, kHostMaxValues = 16, kHostMaxHooks = 4 };

struct HostIcon {
    IconElement* element;
    double       value;   // the callback's value at the last update
};

struct HostValue {
    int32_t token;
    double  value;
};

// Told of every event the gauge sends.
struct HostEventHook {
    void (*call)(uint32_t event_id, uint32_t value, void* context);
    void* context;
};

// Told as each update begins, before the gauge's update routine: a host
// keeps its own pace or says something once here, without touching the
// service table the module holds.
struct HostUpdateHook {
    void (*call)(void* context);
    void* context;
};

struct HostState {
    PanelServices       services;
    const GaugeHeader*  gauge;
    Element*            first;          // the gauge's first element

    // The display's text buffer.
    char                text[kDisplayBytes];
    TextElement*        display;
    double              display_value;
    HostIcon            icons[kHostMaxIcons];
    int32_t             icon_count;

    // The face's image record; its second word goes to the mouse areas.
    void*               image_record[4];
    void*               mouse_image_word;
    MouseArea*          mouse_areas;
    bool                mouse_registered;

    ModuleVariable*     bound[kHostMaxBound];
    int32_t             bound_count;
    HostValue           values[kHostMaxValues];
    int32_t             value_count;

    bool                installed;
    bool                initialized;
    uint32_t            updates;        // completed or in progress

    HostEventHook       event_hooks[kHostMaxHooks];
    int32_t             event_hook_count;
    HostUpdateHook      update_hooks[kHostMaxHooks];
    int32_t             update_hook_count;
};

extern HostState host;

// Forgets everything and fills the service table. Values start at 0.0.
void HostReset();

// Gives the module the service table and takes its one gauge. False when
// the records do not look like a gauge module's.
bool HostAttach(ImportTableRecord* import_table, const LinkageRecord* linkage);

// Adds a hook after those already there; one already there is not added
// twice. False when the list is full. Removing one not there does nothing.
bool HostAddEventHook(void (*call)(uint32_t event_id, uint32_t value, void* context), void* context);
void HostRemoveEventHook(void (*call)(uint32_t event_id, uint32_t value, void* context), void* context);
bool HostAddUpdateHook(void (*call)(void* context), void* context);
void HostRemoveUpdateHook(void (*call)(void* context), void* context);

void HostQuery();
void HostInstall();
void HostInitialize();
void HostUpdate();     // one panel update: the gauge's update routine
void HostGenerate();
void HostDraw();
void HostFrame();      // update, generate, draw
void HostKill();
void HostReload();     // kill, then install and initialise

// A left click at a panel pixel: calls the handler of the registered child
// area containing it, once. False when no area took the click.
bool HostClick(int32_t x, int32_t y);

// The child mouse area (0-based) containing a panel pixel, or -1; `repeats`
// tells whether the area asks for repeated clicks while the button is held.
int32_t HostChildAt(int32_t x, int32_t y, bool* repeats);

// The centre pixel of the n-th child mouse area (0-based), false if none.
bool HostChildCentre(int32_t n, int32_t* x, int32_t* y);

void   HostSetValue(int32_t token, double value);
double HostGetValue(int32_t token);

const char* HostDisplayText();
uint32_t    HostDisplayColour();
// The value of the icon element showing `bitmap` at the last update (-1.0 if none).
double      HostIconValue(int32_t bitmap);
