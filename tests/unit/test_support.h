// test_support.h - a fresh gauge on the substitute host for every test.
//
// GaugeTest puts the module back to the state of a fresh load (sequencer
// state, variables, clip handles), attaches the substitute host, installs
// and initialises the gauge, and records what it sends and plays, each with
// the update it happened in.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/abi.h"
#include "host/gauge_names.h"

struct SentEvent {
    uint32_t update;
    uint32_t id;
    int32_t  value;
    bool operator==(const SentEvent& o) const {
        return update == o.update && id == o.id && value == o.value;
    }
};

struct PlayedClip {
    uint32_t    update;
    std::string name;
    bool operator==(const PlayedClip& o) const { return update == o.update && name == o.name; }
};

void PrintTo(const SentEvent& e, std::ostream* os);
void PrintTo(const PlayedClip& p, std::ostream* os);

// Every host service call and every call on the sound device, by name, in
// one order: "ReadVariable heading", "CreateBuffer PB1", "ReleaseDevice";
// the element and mouse-area services with their arguments by what they
// are: "InstallMouseAreas areas gauge image word".
// A device call on a buffer names the clip it holds (by its size while it
// is loading).
extern std::vector<std::string> host_calls;
// What a test hands the gauge's install and generate routines; logged as "arg".
extern int host_argument;

// The module's records as the module was loaded, before any test ran: what
// FreshModule puts back, so a test at load reads the module's own records.
struct RecordsAtLoad {
    GaugeHeader       gauge_header;
    StaticElement     panel_face;
    TextElement       timer_display;
    IconElement       right_lamp, left_lamp;
    MouseArea         mouse_areas[7];
    ImportTableRecord import_table;
    LinkageRecord     linkage;
    ModuleVariable    hold_var, heading_var, ready_var;
    void*             clips[kClipCount];
    void*             sound_device;
    void*             host_window;
    char              module_path[256];
};
extern const RecordsAtLoad records_at_load;

class GaugeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the module back as a fresh load leaves it; no host yet.
    static void FreshModule();
    // Attaches the host and wraps its services so calls are recorded.
    static void AttachHost();
    void StartGauge();   // attach, install, initialise

    void Tick(int n = 1);
    void Set(int32_t token, double value);
    void Click(const char* button);   // left, right, minus, plus
    std::string Display();
    uint32_t Colour();

    std::vector<SentEvent> EventsWithId(uint32_t id) const;
    std::vector<PlayedClip> PlaysOf(const std::string& name) const;

    std::vector<SentEvent>  events;
    std::vector<PlayedClip> plays;
};

const char* ClipName(const void* buffer);
