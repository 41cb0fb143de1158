// The gauge as the host reads it: exported records, header, element tree,
// mouse areas, and the order of every lifecycle step.
#include <cstring>

#include "host/gauge.h"
#include "host/module.h"
#include "hostsim/hostsim.h"
#include "sequencer/pushback.h"
#include "sound/clip.h"
#include "sound/device_recording.h"
#include "test_support.h"

namespace {

class Gauge : public GaugeTest {};

TEST_F(Gauge, ExportedRecords) {
    EXPECT_EQ(ImportTable.services.id, 0x0Fu);
    EXPECT_EQ(ImportTable.terminator.id, 0u);
    EXPECT_EQ(ImportTable.terminator.pointer, nullptr);
    EXPECT_EQ(Linkage.module_id, 0x13);
    EXPECT_EQ(Linkage.gauges[0], &gauge_header);
    EXPECT_EQ(Linkage.gauges[1], nullptr);
    EXPECT_EQ(Linkage.host_words[0] | Linkage.host_words[1] | Linkage.host_words[2], 0);
    Linkage.module_init();
    Linkage.module_deinit();
    void* loaded = module_instance;
    EXPECT_NE(loaded, nullptr) << "the loader hook ran at load";
    EXPECT_EQ(ModuleEntry(reinterpret_cast<void*>(0x1234), 0, nullptr), 1);
    EXPECT_EQ(module_instance, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(ModuleEntry(loaded, 3, nullptr), 1) << "every notification stores the handle";
    EXPECT_EQ(module_instance, loaded);
}

TEST_F(Gauge, HeaderAndElementTree) {
    EXPECT_EQ(gauge_header.host_word0, 610);
    EXPECT_STREQ(gauge_header.name, "VORNAK_TOWS");
    EXPECT_EQ(gauge_header.size_mm, 100);
    EXPECT_EQ(gauge_header.elements[0], &panel_face.header);
    EXPECT_EQ(gauge_header.elements[1], nullptr);

    struct { Element* e; int32_t kind, bitmap, x, y, flags; } chain[] = {
        {&panel_face.header, kElementStatic, 255, 0, 0, 1},
        {&timer_display.header, kElementText, -1, 98, 22, 6},
        {&right_lamp.header, kElementIcon, 0x1500, 55, 24, 3},
        {&left_lamp.header, kElementIcon, 0x1000, 11, 24, 3}};
    for (size_t i = 0; i < 4; ++i) {
        const Element* e = chain[i].e;
        EXPECT_EQ(e->kind, chain[i].kind) << i;
        EXPECT_EQ(e->bitmap, chain[i].bitmap) << i;
        EXPECT_EQ(e->x, chain[i].x) << i;
        EXPECT_EQ(e->y, chain[i].y) << i;
        EXPECT_EQ(e->image_flags, chain[i].flags) << i;
        EXPECT_EQ(e->gauge, &gauge_header);
        EXPECT_EQ(e->failures[0].system, 1);
        EXPECT_EQ(e->failures[0].action, 2);
        EXPECT_EQ(e->failures[1].system, 0);
        EXPECT_EQ(e->failures, panel_face.header.failures) << "one shared pair list";
        if (i < 3) {
            ASSERT_NE(e->next, nullptr);
            EXPECT_EQ(e->next[0], chain[i + 1].e);
            EXPECT_EQ(e->next[1], nullptr);
        } else {
            EXPECT_EQ(e->next, nullptr);
        }
    }
    EXPECT_EQ(timer_display.box_w, 47);
    EXPECT_EQ(timer_display.box_h, 15);
    EXPECT_STREQ(timer_display.font_name, "Courier New");
    EXPECT_EQ(timer_display.font_weight, 400);
    EXPECT_EQ(timer_display.charset, 1);
    EXPECT_EQ(timer_display.draw_flags, 0x25u);
    EXPECT_EQ(timer_display.max_chars, 6);
    EXPECT_EQ(timer_display.background_colour, 0x00080808u);
    EXPECT_EQ(timer_display.highlight_colour, 0x005C5C5Cu);
    EXPECT_EQ(timer_display.sources[0].token, 1);
    EXPECT_EQ(right_lamp.source.token, 0);
    EXPECT_EQ(right_lamp.switch_type, 1);
    EXPECT_EQ(right_lamp.callback(nullptr), -1.0);
}

// Each lamp, 34 x 27 at its position, covers its button's mouse area.
TEST_F(Gauge, LampsCoverTheirButtons) {
    struct { const IconElement* lamp; const MouseArea* area; } pairs[] = {
        {&left_lamp, &mouse_areas[1]}, {&right_lamp, &mouse_areas[2]}};
    for (auto p : pairs) {
        EXPECT_LE(p.lamp->header.x, p.area->x);
        EXPECT_LE(p.lamp->header.y, p.area->y);
        EXPECT_GE(p.lamp->header.x + 34, p.area->x + p.area->w);
        EXPECT_GE(p.lamp->header.y + 27, p.area->y + p.area->h);
    }
}

TEST_F(Gauge, MouseAreaList) {
    struct { int32_t kind, x, y, w, h, cursor; uint32_t flags; ClickHandler handler; } want[] = {
        {1, 0, 0, 0, 0, -1, 0, nullptr},
        {2, 13, 27, 29, 22, 5, 0x20000000, TailLeftClick},
        {2, 57, 27, 29, 22, 5, 0x20000000, TailRightClick},
        {2, 99, 46, 14, 11, 2, 0x20200000, TimerDownClick},
        {2, 132, 46, 14, 11, 1, 0x20200000, TimerUpClick},
        {3, 0, 0, 0, 0, -1, 0, nullptr},
        {0, 0, 0, 0, 0, -1, 0, nullptr}};
    for (size_t i = 0; i < 7; ++i) {
        const MouseArea& a = mouse_areas[i];
        EXPECT_EQ(a.kind, want[i].kind) << i;
        EXPECT_EQ(a.x, want[i].x) << i;
        EXPECT_EQ(a.y, want[i].y) << i;
        EXPECT_EQ(a.w, want[i].w) << i;
        EXPECT_EQ(a.h, want[i].h) << i;
        EXPECT_EQ(a.cursor, want[i].cursor) << i;
        EXPECT_EQ(a.mouse_flags, want[i].flags) << i;
        // Pointer members of the packed host records may sit at 4-byte
        // offsets; copied out first, as binding one to a reference is undefined.
        EXPECT_EQ(ClickHandler{a.handler}, want[i].handler) << i;
        EXPECT_EQ(a.help_id | a.event_id, 0) << i;
        EXPECT_EQ(static_cast<void*>(a.handler_data), nullptr) << i;
    }
}

TEST_F(Gauge, LifecycleOrders) {
    AttachHost();
    HostQuery();
    HostInstall();
    EXPECT_EQ(host_calls, (std::vector<std::string>{"QueryElements", "InstallElements",
                                                     "InstallMouseAreas", "RegisterMouseAreas"}));
    EXPECT_EQ(host.mouse_image_word, &host.image_record[1])
        << "the areas get the second word of the face's image record";

    host_calls.clear();
    HostInitialize();
    EXPECT_EQ(host_calls, (std::vector<std::string>{"InitializeElements", "InitializeVariable hold",
                                                     "InitializeVariable ready",
                                                     "InitializeVariable heading"}));
    EXPECT_NE(PB1, nullptr);
    EXPECT_NE(TUG, nullptr);

    host_calls.clear();
    HostFrame();
    EXPECT_EQ(host_calls,
              (std::vector<std::string>{"UpdateElements", "ReadVariable hold", "ReadVariable ready",
                                        "ReadVariable heading", "GenerateElements", "PlotElements"}));

    host_calls.clear();
    uint32_t released_before = recording_stats.buffers_released;
    host.services.UnregisterMouseAreas = [](MouseArea*, GaugeHeader*) -> int32_t {
        host_calls.push_back("UnregisterMouseAreas");
        // The clips and their device are gone before the areas go.
        EXPECT_EQ(recording_stats.buffers_released, 6u);
        EXPECT_EQ(recording_stats.devices_released, 1u);
        host.mouse_registered = false;
        return 1;
    };
    HostKill();
    EXPECT_EQ(recording_stats.buffers_released - released_before, 6u);
    EXPECT_EQ(host_calls, (std::vector<std::string>{"UnregisterMouseAreas", "KillElements"}));
    EXPECT_FALSE(HostClick(27, 38)) << "no handler runs after the areas are unregistered";
}

TEST_F(Gauge, VariablesTheHostNeverSetReadZero) {
    StartGauge();
    EXPECT_EQ(hold_var.value, 0.0);
    EXPECT_EQ(ready_var.value, 0.0);
    EXPECT_EQ(hold_var.token, 323);
    EXPECT_EQ(heading_var.token, 81);
    EXPECT_EQ(ready_var.token, 60);
    Click("left");
    Tick(300);
    EXPECT_EQ(pushback.arm_ticks, 0) << "0.0 is not ready";
    pushback.arm_ticks = 161;
    Tick();
    EXPECT_EQ(pushback.release_ticks, 1) << "0.0 counts as brake released";
}

TEST_F(Gauge, TheDisplayStartsGreyAndTheTickWritesTheHostsBuffer) {
    StartGauge();
    EXPECT_EQ(static_cast<char*>(timer_display.text), host.text);   // a packed member: copied
    EXPECT_EQ(timer_display.text_colour, 0x00DEDEDEu);
    Tick();
    EXPECT_STREQ(host.text, " 20sec");
}

}  // namespace
