// gauge_names.h - the gauge's fixed names and numbers: its name, clips,
// bitmaps, buttons, display width, the simulator variables it reads and the
// host's update rate.
//
// This is their one home. The code includes it; the build (cmake/GaugeNames.cmake)
// and the Windows checks (tests/windows/gauge_names.py) read it as text, so
// each name or number below stays on its own line, in the form it has here.
#pragma once

#include <cstdint>

// The gauge's name: the name in its header, the stem of its module file
// (VORNAK_TOWS.gau, VORNAK_TOWS.so) and the name our programs give it in
// what they say. A macro, so that a message or a file name is written as
// one literal: VORNAK_GAUGE_NAME ".gau".
#define VORNAK_GAUGE_NAME "VORNAK_TOWS"

// The host runs the panel's update this many times a second.
enum : int32_t { kTicksPerSecond = 18 };

// The clips, resources of type "WAV" under these names, built from the files
// of the same name (PB1.wav, ...); the gauge loads them in this order.
inline constexpr const char* kClipNames[] = {"PB1", "PB2", "PB3", "PB4", "CLICK", "TUG"};
inline constexpr int32_t kClipCount = sizeof kClipNames / sizeof kClipNames[0];
// Each clip's place in kClipNames.
enum GaugeClip : int32_t { kClipPB1, kClipPB2, kClipPB3, kClipPB4, kClipClick, kClipTug };
static_assert(kClipTug + 1 == kClipCount);

// The bitmaps, resources by number, and the files they are built from.
enum : int32_t {
    kBitmapFace      = 255,      // panel_face.bmp
    kBitmapLeftLamp  = 0x1000,   // lamp_left.bmp
    kBitmapRightLamp = 0x1500,   // lamp_right.bmp
};

// The four buttons, in the order of the panel's child mouse areas, by the
// words replay scripts and timelines name them with.
enum GaugeButton : int32_t { kLeftButton, kRightButton, kMinusButton, kPlusButton, kButtonCount };
inline constexpr const char* kButtonNames[] = {"left", "right", "minus", "plus"};
static_assert(sizeof kButtonNames / sizeof kButtonNames[0] == kButtonCount);

// The timer display shows at most this many characters; its text buffer,
// which the host owns, holds them and a terminator.
enum : int32_t { kDisplayChars = 6, kDisplayBytes = kDisplayChars + 1 };

// The simulator variables the gauge reads, by the host's token.
enum : int32_t {
    kTokenTickCounter  = 1,     // the host's update counter, the display's source
    kTokenOnGround     = 60,    // 1.0 on the ground
    kTokenHeading      = 81,    // magnetic heading, degrees
    kTokenParkingBrake = 323,   // 0 released, up to 32767 set
};
// The parking brake fully set, as the simulator reports it.
const double kParkingBrakeSet = 32767.0;
