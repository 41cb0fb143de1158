#include "test_support.h"

#include <cstring>
#include <ostream>

#include "host/gauge.h"
#include "host/module.h"
#include "hostsim/hostsim.h"
#include "sequencer/pushback.h"
#include "sound/clip.h"
#include "sound/device_recording.h"

std::vector<std::string> host_calls;

namespace {

PanelServices original;
std::vector<SentEvent>* event_log = nullptr;
std::vector<PlayedClip>* play_log = nullptr;

void OnEvent(uint32_t id, uint32_t value, void*) {
    if (event_log) event_log->push_back({host.updates, id, static_cast<int32_t>(value)});
}

void OnPlay(void* buffer, void*) {
    if (play_log) play_log->push_back({host.updates, ClipName(buffer)});
}

const char* VariableName(const ModuleVariable* v) {
    if (v == &hold_var) return "hold";
    if (v == &ready_var) return "ready";
    if (v == &heading_var) return "heading";
    return "?";
}

int32_t QueryElements(Element* e) {
    host_calls.push_back("QueryElements");
    return original.QueryElements(e);
}
int32_t InstallElements(Element* e, void* a) {
    host_calls.push_back("InstallElements");
    return original.InstallElements(e, a);
}
int32_t InitializeElements(Element* e) {
    host_calls.push_back("InitializeElements");
    return original.InitializeElements(e);
}
int32_t UpdateElements(Element* e) {
    host_calls.push_back("UpdateElements");
    return original.UpdateElements(e);
}
int32_t GenerateElements(Element* e, void* a) {
    host_calls.push_back("GenerateElements");
    return original.GenerateElements(e, a);
}
int32_t PlotElements(Element* e) {
    host_calls.push_back("PlotElements");
    return original.PlotElements(e);
}
int32_t KillElements(Element* e) {
    host_calls.push_back("KillElements");
    return original.KillElements(e);
}
int32_t InstallMouseAreas(MouseArea* m, GaugeHeader* g, void* w) {
    host_calls.push_back("InstallMouseAreas");
    return original.InstallMouseAreas(m, g, w);
}
int32_t RegisterMouseAreas(MouseArea* m, GaugeHeader* g) {
    host_calls.push_back("RegisterMouseAreas");
    return original.RegisterMouseAreas(m, g);
}
int32_t UnregisterMouseAreas(MouseArea* m, GaugeHeader* g) {
    host_calls.push_back("UnregisterMouseAreas");
    return original.UnregisterMouseAreas(m, g);
}
int32_t InitializeVariable(ModuleVariable* v) {
    host_calls.push_back(std::string("InitializeVariable ") + VariableName(v));
    return original.InitializeVariable(v);
}
int32_t ReadVariable(ModuleVariable* v) {
    host_calls.push_back(std::string("ReadVariable ") + VariableName(v));
    return original.ReadVariable(v);
}

}  // namespace

void PrintTo(const SentEvent& e, std::ostream* os) {
    *os << "{update " << e.update << ", 0x" << std::hex << e.id << std::dec << ", " << e.value << "}";
}

void PrintTo(const PlayedClip& p, std::ostream* os) {
    *os << "{update " << p.update << ", " << p.name << "}";
}

const char* ClipName(const void* buffer) {
    if (buffer == nullptr) return "";
    if (buffer == PB1) return "PB1";
    if (buffer == PB2) return "PB2";
    if (buffer == PB3) return "PB3";
    if (buffer == PB4) return "PB4";
    if (buffer == CLICK) return "CLICK";
    if (buffer == TUG) return "TUG";
    return "?";
}

void GaugeTest::FreshModule() {
    pushback = kPushbackInitial;
    for (ModuleVariable* v : {&hold_var, &ready_var, &heading_var}) {
        v->value = 0.0;
        v->previous = 0.0;
    }
    for (SoundClip* c : {&PB1, &PB2, &PB3, &PB4, &CLICK, &TUG}) *c = nullptr;
    sound_device = nullptr;
    timer_display.text_colour = kColourIdle;
    ImportTable.services.pointer = nullptr;
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
    host.on_event = OnEvent;
}

void GaugeTest::SetUp() {
    FreshModule();
    event_log = &events;
    play_log = &plays;
    recording_control.on_play = OnPlay;
}

void GaugeTest::StartGauge() {
    AttachHost();
    HostInstall();
    HostInitialize();
    recording_control.on_play = OnPlay;
}

void GaugeTest::TearDown() {
    if (host.initialized) HostKill();
    event_log = nullptr;
    play_log = nullptr;
    EXPECT_EQ(recording_stats.buffers_created, recording_stats.buffers_released)
        << "every clip buffer is released by the end of a test";
    EXPECT_EQ(recording_stats.devices_created, recording_stats.devices_released)
        << "every sound device is released by the end of a test";
}

void GaugeTest::Tick(int n) {
    for (int i = 0; i < n; ++i) HostFrame();
}

void GaugeTest::Set(int32_t token, double value) { HostSetValue(token, value); }

void GaugeTest::Click(const char* button) {
    const char* names[] = {"left", "right", "minus", "plus"};
    for (int32_t i = 0; i < 4; ++i) {
        if (std::strcmp(button, names[i]) != 0) continue;
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
