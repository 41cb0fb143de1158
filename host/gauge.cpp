// gauge.cpp - the gauge as the host sees it: header, element tree, mouse
// areas, and the seven lifecycle routines.
//
// The records are static data the host reads and partly writes. Each routine
// forwards its step to the host's element services and adds the gauge's own
// work: clips and variables at initialise, the variable refresh after every
// update, and releasing the clips at kill.
//
// Every record here is constinit, complete in the image as built: the 32-bit
// module links no run-time start-up, so nothing would run a constructor.
#include "host/gauge.h"

#include "host/module.h"
#include "platform/platform.h"
#include "sequencer/pushback.h"
#include "sound/clip.h"

// Every field a record does not name is a host word and starts at zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// One shared failure list: an electrical failure zeroes the values.
constexpr FailureEntry kFailures[] = {
    {1, 2, nullptr},
    {0, 0, nullptr},
};

constinit Element* const kLeftLampList[]    = {&left_lamp.header, nullptr};
constinit Element* const kRightLampList[]   = {&right_lamp.header, nullptr};
constinit Element* const kTimerDisplayList[] = {&timer_display.header, nullptr};
constinit Element* const kFaceList[]        = {&panel_face.header, nullptr};

Element* First() { return &panel_face.header; }

}  // namespace

constinit GaugeHeader gauge_header = {
    .host_word0 = 610,
    .name       = VORNAK_GAUGE_NAME,
    .elements   = kFaceList,
    .query      = GaugeQuery,
    .install    = GaugeInstall,
    .initialize = GaugeInitialize,
    .update     = GaugeUpdate,
    .generate   = GaugeGenerate,
    .draw       = GaugeDraw,
    .kill       = GaugeKill,
    .reserved   = 0,
    .size_mm    = 100,
    .host_words = {},
};

//                     kind            bitmap            x    y  host.. gauge          prev     next               failures  flags
constinit StaticElement panel_face = {
    .header = {kElementStatic, kBitmapFace,      0,   0, 0, 0, 0, 0, &gauge_header, nullptr, kTimerDisplayList, kFailures, 1, 0, 0},
};

constinit TextElement timer_display = {
    .header = {kElementText,   -1,               98, 22, 0, 0, 0, 0, &gauge_header, nullptr, kRightLampList,    kFailures, 6, 0, 0},
    // The first source word is the host's update counter.
    .sources           = {{kTokenTickCounter, nullptr, 0, 0.0, 0.0}, {}, {}},
    .source_callbacks  = {PushbackTick, nullptr, nullptr},
    .box_w             = 47,
    .box_h             = 15,
    .text_colour       = kColourIdle,
    .background_colour = 0x00080808,
    .highlight_colour  = 0x005C5C5C,
    .font_name         = "Courier New",
    .font_weight       = 400,
    .charset           = 1,
    .draw_flags        = 0x25,   // centred horizontally and vertically, one line
    .max_chars         = kDisplayChars,
};

constinit IconElement right_lamp = {
    .header      = {kElementIcon,   kBitmapRightLamp, 55, 24, 0, 0, 0, 0, &gauge_header, nullptr, kLeftLampList,     kFailures, 3, 0, 0},
    .source      = {0, nullptr, 0, 0.0, 0.0},
    .callback    = TailRightLamp,
    .switch_type = 1,
};

constinit IconElement left_lamp = {
    .header      = {kElementIcon,   kBitmapLeftLamp,  11, 24, 0, 0, 0, 0, &gauge_header, nullptr, nullptr,           kFailures, 3, 0, 0},
    .source      = {0, nullptr, 0, 0.0, 0.0},
    .callback    = TailLeftLamp,
    .switch_type = 1,
};

// The four children are the buttons, in the order of kButtonNames; the
// timer's two repeat while held.
const uint32_t kClick = kMouseLeftSingle;
const uint32_t kHeld  = kMouseLeftSingle | kMouseRepeatHeld;
// kind             x    y   w   h  cursor help flags   event handler         data
constinit MouseArea mouse_areas[7] = {
    {kMouseParent,    0,   0,  0,  0, -1, 0, 0,      0, nullptr,        nullptr},
    {kMouseChild,    13,  27, 29, 22,  5, 0, kClick, 0, TailLeftClick,  nullptr},
    {kMouseChild,    57,  27, 29, 22,  5, 0, kClick, 0, TailRightClick, nullptr},
    {kMouseChild,    99,  46, 14, 11,  2, 0, kHeld,  0, TimerDownClick, nullptr},
    {kMouseChild,   132,  46, 14, 11,  1, 0, kHeld,  0, TimerUpClick,   nullptr},
    {kMouseParentEnd, 0,   0,  0,  0, -1, 0, 0,      0, nullptr,        nullptr},
    {kMouseEnd,       0,   0,  0,  0, -1, 0, 0,      0, nullptr,        nullptr},
};

constinit char module_path[256] = "";
constinit void* host_window = nullptr;

void GAUGE_CALL GaugeQuery(void) { Host()->QueryElements(First()); }

void GAUGE_CALL GaugeInstall(void* install_arg) {
    Host()->InstallElements(First(), install_arg);
    // The mouse areas are tied to the face's image record, which the host
    // filled in just now; they get the address of its second word.
    void** image = static_cast<void**>(panel_face.host_image[0]);
    Host()->InstallMouseAreas(mouse_areas, &gauge_header, image ? image + 1 : nullptr);
    Host()->RegisterMouseAreas(mouse_areas, &gauge_header);
}

void GAUGE_CALL GaugeInitialize(void) {
    Host()->InitializeElements(First());
    host_window = ActiveHostWindow();
    ModuleFileName(module_instance, module_path, 255);
    for (int32_t i = 0; i < kClipCount; ++i)
        *kClipHandles[i] = LoadWaveClip(host_window, module_path, kClipNames[i]);
    Host()->InitializeVariable(&hold_var);
    Host()->InitializeVariable(&ready_var);
    Host()->InitializeVariable(&heading_var);
}

// The tick runs inside the element update and so always sees the values
// refreshed at the end of the previous update.
void GAUGE_CALL GaugeUpdate(void) {
    Host()->UpdateElements(First());
    Host()->ReadVariable(&hold_var);
    Host()->ReadVariable(&ready_var);
    Host()->ReadVariable(&heading_var);
}

void GAUGE_CALL GaugeGenerate(void* generate_arg) {
    Host()->GenerateElements(First(), generate_arg);
}

void GAUGE_CALL GaugeDraw(void) { Host()->PlotElements(First()); }

// The clips go first, then the device they lived on, then the areas and
// the tree. Cleared handles make a stray play before the next initialise a
// harmless no-op.
void GAUGE_CALL GaugeKill(void) {
    for (SoundClip* clip : kClipHandles) {
        ReleaseClip(*clip);
        *clip = nullptr;
    }
    ReleaseSoundDevice();
    Host()->UnregisterMouseAreas(mouse_areas, &gauge_header);
    Host()->KillElements(First());
}
