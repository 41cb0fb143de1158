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
    // What a freshly loaded module holds: no host, no clips, no device.
    // The records are packed to 4, so their pointers are copied before
    // they are compared (a reference to one would be misaligned).
    const void* services = ImportTable.entries[0].pointer;
    const void* terminator = ImportTable.entries[1].pointer;
    const void* first_gauge = Linkage.gauges[0];
    const void* after_last = Linkage.gauges[1];
    EXPECT_EQ(services, nullptr);
    EXPECT_EQ(Host(), nullptr);
    for (void* clip : records_at_load.clips) EXPECT_EQ(clip, nullptr);
    EXPECT_EQ(records_at_load.sound_device, nullptr);
    EXPECT_EQ(records_at_load.host_window, nullptr);
    EXPECT_STREQ(records_at_load.module_path, "");
    EXPECT_EQ(ImportTable.entries[0].id, 0x0Fu);
    EXPECT_EQ(ImportTable.entries[1].id, 0u);
    EXPECT_EQ(terminator, nullptr);
    EXPECT_EQ(Linkage.module_id, 0x13);
    EXPECT_EQ(first_gauge, &gauge_header);
    EXPECT_EQ(after_last, nullptr);
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

// A host fills the services entry wherever it stands before the terminator,
// and its walk ends with the record when no terminator comes.
TEST_F(Gauge, TheHostWalksTheImportTableToItsTerminatorAndNoFurther) {
    ImportTableRecord second = {{{0x10, nullptr}, {kImportPanelServices, nullptr}}};
    EXPECT_TRUE(HostAttach(&second, &Linkage));
    const void* filled = second.entries[1].pointer;
    EXPECT_EQ(filled, &host.services);

    ImportTableRecord after_terminator = {{{0, nullptr}, {kImportPanelServices, nullptr}}};
    EXPECT_FALSE(HostAttach(&after_terminator, &Linkage));
    const void* skipped = after_terminator.entries[1].pointer;
    EXPECT_EQ(skipped, nullptr);

    struct {
        ImportTableRecord table;
        ImportEntry       beyond;
    } unterminated = {{{{0x10, nullptr}, {0x11, nullptr}}}, {kImportPanelServices, nullptr}};
    EXPECT_FALSE(HostAttach(&unterminated.table, &Linkage));
    const void* beyond = unterminated.beyond.pointer;
    EXPECT_EQ(beyond, nullptr) << "nothing past the record is read or written";
}

// The records a byte at a time: the fields the gauge names hold its values,
// every other word is the host's and starts at zero.
template <typename T>
std::vector<size_t> DifferingBytes(const T& actual, const T& want) {
    std::vector<size_t> at;
    const auto* a = reinterpret_cast<const uint8_t*>(&actual);
    const auto* w = reinterpret_cast<const uint8_t*>(&want);
    for (size_t i = 0; i < sizeof(T); ++i)
        if (a[i] != w[i]) at.push_back(i);
    return at;
}

template <typename T>
T Zeroed() {
    T record;
    std::memset(&record, 0, sizeof record);
    return record;
}

TEST_F(Gauge, HeaderAndElementTree) {
    GaugeHeader header = Zeroed<GaugeHeader>();
    header.host_word0 = 610;
    header.name = gauge_header.name;
    header.elements = gauge_header.elements;
    header.query = GaugeQuery;
    header.install = GaugeInstall;
    header.initialize = GaugeInitialize;
    header.update = GaugeUpdate;
    header.generate = GaugeGenerate;
    header.draw = GaugeDraw;
    header.kill = GaugeKill;
    header.size_mm = 100;
    EXPECT_EQ(DifferingBytes(gauge_header, header), std::vector<size_t>{});
    EXPECT_STREQ(gauge_header.name, "VORNAK_TOWS");
    EXPECT_EQ(gauge_header.elements[0], &panel_face.header);
    EXPECT_EQ(gauge_header.elements[1], nullptr);

    const FailureEntry* failures = panel_face.header.failures;
    EXPECT_EQ(DifferingBytes(failures[0], FailureEntry{1, 2, nullptr}), std::vector<size_t>{});
    EXPECT_EQ(DifferingBytes(failures[1], FailureEntry{0, 0, nullptr}), std::vector<size_t>{});
    Element* const chain[] = {&panel_face.header, &timer_display.header, &right_lamp.header,
                              &left_lamp.header};
    for (size_t i = 0; i < 4; ++i) {
        const Element* e = chain[i];
        EXPECT_EQ(e->failures, failures) << "one shared pair list";
        if (i < 3) {
            ASSERT_NE(e->next, nullptr);
            EXPECT_EQ(e->next[0], chain[i + 1]);
            EXPECT_EQ(e->next[1], nullptr);
        } else {
            EXPECT_EQ(e->next, nullptr);
        }
    }
    auto element = [&](const Element& e, int32_t kind, int32_t bitmap, int32_t x, int32_t y,
                       int32_t flags) {
        return Element{kind, bitmap, x, y, 0, 0, 0, 0, &gauge_header, nullptr, e.next, failures, flags, 0, 0};
    };

    StaticElement face = Zeroed<StaticElement>();
    face.header = element(panel_face.header, kElementStatic, 255, 0, 0, 1);
    EXPECT_EQ(DifferingBytes(panel_face, face), std::vector<size_t>{});

    TextElement text = Zeroed<TextElement>();
    text.header = element(timer_display.header, kElementText, -1, 98, 22, 6);
    text.sources[0].token = 1;   // the host's 18 Hz tick counter
    text.source_callbacks[0] = PushbackTick;
    text.box_w = 47;
    text.box_h = 15;
    text.text_colour = 0x00DEDEDE;
    text.background_colour = 0x00080808;
    text.highlight_colour = 0x005C5C5C;
    std::strcpy(text.font_name, "Courier New");
    text.font_weight = 400;
    text.charset = 1;
    text.draw_flags = 0x25;
    text.max_chars = 6;
    EXPECT_EQ(DifferingBytes(timer_display, text), std::vector<size_t>{});

    struct { const IconElement* lamp; int32_t bitmap, x; ValueCallback callback; } lamps[] = {
        {&right_lamp, 0x1500, 55, TailRightLamp}, {&left_lamp, 0x1000, 11, TailLeftLamp}};
    for (auto l : lamps) {
        IconElement icon = Zeroed<IconElement>();
        icon.header = element(l.lamp->header, kElementIcon, l.bitmap, l.x, 24, 3);
        icon.callback = l.callback;
        icon.switch_type = 1;
        EXPECT_EQ(DifferingBytes(*l.lamp, icon), std::vector<size_t>{}) << l.bitmap;
    }
    EXPECT_EQ(right_lamp.callback(nullptr), -1.0);

    struct { const ModuleVariable* v; int32_t token; } variables[] = {
        {&hold_var, 323}, {&ready_var, 60}, {&heading_var, 81}};
    for (auto v : variables) {
        ModuleVariable want = Zeroed<ModuleVariable>();
        want.token = v.token;
        EXPECT_EQ(DifferingBytes(*v.v, want), std::vector<size_t>{}) << v.token;
    }
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

// One log of the host's services and the sound device's calls, in order.
TEST_F(Gauge, LifecycleOrders) {
    AttachHost();
    HostQuery();
    gauge_header.install(&host_argument);
    // The areas are tied to the second word of the face's image record.
    EXPECT_EQ(host_calls, (std::vector<std::string>{"QueryElements face", "InstallElements face arg",
                                                     "InstallMouseAreas areas gauge image word",
                                                     "RegisterMouseAreas areas gauge"}));

    // The elements, then the six clips in their order on one device, each
    // filled through one lock before the next is made, then the variables.
    const char* const clips[] = {"PB1", "PB2", "PB3", "PB4", "CLICK", "TUG"};
    host_calls.clear();
    HostInitialize();
    std::vector<std::string> want = {"InitializeElements face", "Create"};
    for (std::string clip : clips)
        want.insert(want.end(), {"SetCooperativeLevel", "CreateBuffer " + clip, "Lock " + clip,
                                 "Unlock " + clip, "SetSpeakerConfig"});
    want.insert(want.end(), {"InitializeVariable hold", "InitializeVariable ready",
                             "InitializeVariable heading"});
    EXPECT_EQ(host_calls, want);

    host_calls.clear();
    HostUpdate();
    gauge_header.generate(&host_argument);
    HostDraw();
    EXPECT_EQ(host_calls, (std::vector<std::string>{"UpdateElements face", "ReadVariable hold",
                                                     "ReadVariable ready", "ReadVariable heading",
                                                     "GenerateElements face arg", "PlotElements face"}));

    // The clips in load order, then their device, then the areas and the tree.
    host_calls.clear();
    HostKill();
    want.clear();
    for (std::string clip : clips) want.push_back("ReleaseBuffer " + clip);
    want.insert(want.end(), {"ReleaseDevice", "UnregisterMouseAreas areas gauge", "KillElements face"});
    EXPECT_EQ(host_calls, want);
    EXPECT_FALSE(HostClick(27, 38)) << "no handler runs after the areas are unregistered";
}

TEST_F(Gauge, VariablesTheHostNeverSetReadZero) {
    StartGauge();
    EXPECT_EQ(hold_var.value, 0.0);
    EXPECT_EQ(ready_var.value, 0.0);
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
