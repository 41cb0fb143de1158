#include "test_support.h"

#include <cstring>
#include <ostream>

#include "host/gauge.h"
#include "host/module.h"
#include "platform/platform.h"
#include "hostsim/hostsim.h"
#include "sequencer/pushback.h"
#include "sound/clip.h"
#include "sound/device_recording.h"
#include "sound/wave_reader.h"

std::vector<std::string> host_calls;
int host_argument;

namespace {

// Each record of the module beside its copy in `r`, handed to `copy`
// (saved copy, live record, bytes): taken once, put back by FreshModule.
template <typename Copy>
void EachRecord(RecordsAtLoad& r, Copy copy) {
    copy(&r.gauge_header, &gauge_header, sizeof gauge_header);
    copy(&r.panel_face, &panel_face, sizeof panel_face);
    copy(&r.timer_display, &timer_display, sizeof timer_display);
    copy(&r.right_lamp, &right_lamp, sizeof right_lamp);
    copy(&r.left_lamp, &left_lamp, sizeof left_lamp);
    copy(r.mouse_areas, mouse_areas, sizeof mouse_areas);
    copy(&r.import_table, &ImportTable, sizeof ImportTable);
    copy(&r.linkage, &Linkage, sizeof Linkage);
    copy(&r.hold_var, &hold_var, sizeof hold_var);
    copy(&r.heading_var, &heading_var, sizeof heading_var);
    copy(&r.ready_var, &ready_var, sizeof ready_var);
    for (int32_t i = 0; i < kClipCount; ++i) copy(&r.clips[i], kClipHandles[i], sizeof r.clips[i]);
    copy(&r.sound_device, &sound_device, sizeof sound_device);
    copy(&r.host_window, &host_window, sizeof host_window);
    copy(r.module_path, module_path, sizeof module_path);
}

// Taken while the test program starts, before any test: the records are
// constant-initialised data, in place before any start-up code runs.
RecordsAtLoad TakeRecords() {
    RecordsAtLoad r;
    EachRecord(r, [](void* saved, const void* live, size_t n) { std::memcpy(saved, live, n); });
    return r;
}

}  // namespace

const RecordsAtLoad records_at_load = TakeRecords();

namespace {

PanelServices original;
std::vector<SentEvent>* event_log = nullptr;
std::vector<PlayedClip>* play_log = nullptr;

void OnEvent(uint32_t id, uint32_t value, void*) {
    if (event_log) event_log->push_back({host.updates, id, static_cast<int32_t>(value)});
}

void OnPlay(void* buffer, void*) {
    if (play_log) play_log->push_back({host.updates, ClipName(buffer)});
    EXPECT_EQ(RecordedBufferOf(buffer)->last_play_flags, 0u) << ClipName(buffer) << " plays once, not looping";
}

// Clips by their size while they load, before the handle holds them.
std::string ClipOfBuffer(const void* buffer) {
    const std::string name = ClipName(buffer);
    if (name != "?" || buffer == nullptr) return name;
    static const std::vector<std::pair<size_t, std::string>> sizes = [] {
        std::vector<std::pair<size_t, std::string>> s;
        char path[256];
        if (ModuleFileName(module_instance, path, sizeof path) == 0) return s;
        for (const char* clip : {"PB1", "PB2", "PB3", "PB4", "CLICK", "TUG"}) {
            uint32_t size = 0;
            if (FindWaveResource(ModuleFromPath(path), clip, nullptr, nullptr, &size)) s.push_back({size, clip});
        }
        return s;
    }();
    for (const auto& [size, clip] : sizes)
        if (RecordedBufferOf(buffer)->samples.size() == size) return clip;
    return "?";
}

void OnDeviceCall(const char* call, const void* buffer, void*) {
    std::string entry = call;
    if (buffer != nullptr) entry += " " + ClipOfBuffer(buffer);
    host_calls.push_back(entry);
}

// Arguments by what they are: "face" (the first element), "areas" (the
// mouse-area list), "gauge" (the header), "arg" (host_argument), a
// variable by its name, "null".
std::string Name(const void* p) {
    if (p == nullptr) return "null";
    if (p == &panel_face.header) return "face";
    if (p == mouse_areas) return "areas";
    if (p == &gauge_header) return "gauge";
    if (p == &host_argument) return "arg";
    if (p == &host.image_record[1]) return "image word";
    if (p == &hold_var) return "hold";
    if (p == &ready_var) return "ready";
    if (p == &heading_var) return "heading";
    return "?";
}

// Each service the module calls is logged with its arguments, then handed
// to the substitute host's own.
template <typename... Args>
void Log(const char* service, const Args*... args) {
    std::string entry = service;
    ((entry += " " + Name(args)), ...);
    host_calls.push_back(entry);
}

int32_t QueryElements(Element* e) { Log("QueryElements", e); return original.QueryElements(e); }
int32_t InstallElements(Element* e, void* a) { Log("InstallElements", e, a); return original.InstallElements(e, a); }
int32_t InitializeElements(Element* e) { Log("InitializeElements", e); return original.InitializeElements(e); }
int32_t UpdateElements(Element* e) { Log("UpdateElements", e); return original.UpdateElements(e); }
int32_t GenerateElements(Element* e, void* a) { Log("GenerateElements", e, a); return original.GenerateElements(e, a); }
int32_t PlotElements(Element* e) { Log("PlotElements", e); return original.PlotElements(e); }
int32_t KillElements(Element* e) { Log("KillElements", e); return original.KillElements(e); }
int32_t InstallMouseAreas(MouseArea* m, GaugeHeader* g, void* w) {
    Log("InstallMouseAreas", m, g, w);
    return original.InstallMouseAreas(m, g, w);
}
int32_t RegisterMouseAreas(MouseArea* m, GaugeHeader* g) {
    Log("RegisterMouseAreas", m, g);
    return original.RegisterMouseAreas(m, g);
}
int32_t UnregisterMouseAreas(MouseArea* m, GaugeHeader* g) {
    Log("UnregisterMouseAreas", m, g);
    return original.UnregisterMouseAreas(m, g);
}
int32_t InitializeVariable(ModuleVariable* v) { Log("InitializeVariable", v); return original.InitializeVariable(v); }
int32_t ReadVariable(ModuleVariable* v) { Log("ReadVariable", v); return original.ReadVariable(v); }

}  // namespace

void PrintTo(const SentEvent& e, std::ostream* os) {
    *os << "{update " << e.update << ", 0x" << std::hex << e.id << std::dec << ", " << e.value << "}";
}

void PrintTo(const PlayedClip& p, std::ostream* os) {
    *os << "{update " << p.update << ", " << p.name << "}";
}

const char* ClipName(const void* buffer) {
    if (buffer == nullptr) return "";
    const char* name = NameOfClip(buffer);
    return name ? name : "?";
}

void GaugeTest::FreshModule() {
    pushback = kPushbackInitial;
    EachRecord(const_cast<RecordsAtLoad&>(records_at_load),
               [](const void* saved, void* live, size_t n) { std::memcpy(live, saved, n); });
    ResetRecordingDevice();
    HostReset();
    host_calls.clear();
}

void GaugeTest::AttachHost() {
    ASSERT_TRUE(HostAttach(&ImportTable, &Linkage));
    original = host.services;
    host.services.QueryElements = QueryElements;
    host.services.InstallElements = InstallElements;
    host.services.InitializeElements = InitializeElements;
    host.services.UpdateElements = UpdateElements;
    host.services.GenerateElements = GenerateElements;
    host.services.PlotElements = PlotElements;
    host.services.KillElements = KillElements;
    host.services.InstallMouseAreas = InstallMouseAreas;
    host.services.RegisterMouseAreas = RegisterMouseAreas;
    host.services.UnregisterMouseAreas = UnregisterMouseAreas;
    host.services.InitializeVariable = InitializeVariable;
    host.services.ReadVariable = ReadVariable;
    HostAddEventHook(OnEvent, nullptr);
}

void GaugeTest::SetUp() {
    FreshModule();
    event_log = &events;
    play_log = &plays;
    recording_control.on_play = OnPlay;
    recording_control.on_call = OnDeviceCall;
}

void GaugeTest::StartGauge() {
    AttachHost();
    HostInstall();
    HostInitialize();
}

void GaugeTest::TearDown() {
    if (host.initialized) HostKill();
    event_log = nullptr;
    play_log = nullptr;
    EXPECT_EQ(recording_stats.buffers_created, recording_stats.buffers_released)
        << "every clip buffer is released by the end of a test";
    EXPECT_EQ(recording_stats.devices_created, recording_stats.devices_released)
        << "every sound device is released by the end of a test";
    EXPECT_EQ(recording_stats.misuses, 0u) << "every device call as DirectSound takes it";
}

void GaugeTest::Tick(int n) {
    for (int i = 0; i < n; ++i) HostFrame();
}

void GaugeTest::Set(int32_t token, double value) { HostSetValue(token, value); }

void GaugeTest::Click(const char* button) {
    for (int32_t i = 0; i < kButtonCount; ++i) {
        if (std::strcmp(button, kButtonNames[i]) != 0) continue;
        int32_t x, y;
        ASSERT_TRUE(HostChildCentre(i, &x, &y));
        ASSERT_TRUE(HostClick(x, y));
        return;
    }
    FAIL() << "no button " << button;
}

std::string GaugeTest::Display() { return HostDisplayText(); }

uint32_t GaugeTest::Colour() { return HostDisplayColour(); }

std::vector<SentEvent> GaugeTest::EventsWithId(uint32_t id) const {
    std::vector<SentEvent> out;
    for (const SentEvent& e : events)
        if (e.id == id) out.push_back(e);
    return out;
}

std::vector<PlayedClip> GaugeTest::PlaysOf(const std::string& name) const {
    std::vector<PlayedClip> out;
    for (const PlayedClip& p : plays)
        if (p.name == name) out.push_back(p);
    return out;
}
