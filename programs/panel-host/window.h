// window.h - the window mode: the panel three times its size for a person
// to work, a status strip, the aircraft seen from above and the crew's
// words while they are spoken (window.cpp, the same on every system), and
// the seam to the system's window (window_sdl.cpp, window_gdi.cpp), which
// only shows a finished picture and reports what the person did.
#pragma once

#include <cstdint>
#include <string>

#include "programs/panel-host/command_line.h"
#include "programs/panel-host/image.h"

struct PanelHost;

// The window mode whole: 0 when the person closed it, kRefused with
// `problem` when no window opens or the panel cannot be drawn.
int RunWindow(PanelHost& ph, const PanelHostOptions& o, std::string* problem);

// --- the system's window -------------------------------------------------

// kInputTurn: a slew rotation key pressed (x -1 nose left, +1 nose right)
// or let go (x 0); kInputExposed: what the window showed was lost and is to
// be shown again.
enum WindowInputKind { kInputQuit, kInputBrakeKey, kInputPress, kInputRelease, kInputMove, kInputTurn, kInputExposed };

struct WindowInput {
    WindowInputKind kind;
    int32_t x, y;          // the pointer, in the window's pixels
};

// Opens a window of w x h pixels. False with a one-line reason (no
// display, and why).
bool WindowOpen(const char* title, int32_t w, int32_t h, bool verbose, std::string* problem);
// The next thing the person did, false when nothing more is waiting.
bool WindowNextInput(WindowInput* input);
// Waits until the person does something or `seconds` have passed,
// whichever is first, without using the processor meanwhile.
void WindowWait(double seconds);
// Shows `screen` (as large as the window).
void WindowShow(const Image& screen);
void WindowClose();
