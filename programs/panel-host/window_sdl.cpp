// window_sdl.cpp - the window of panel-host's window mode on Linux, with
// SDL2 (window.h). It shows the picture window.cpp draws and reports the
// person's clicks and keys.
//
// Needs: SDL2 (video only; the module has its own sound). Provides:
//   [x] a window of a given size, shown through a software renderer
//   [x] left button press, release and motion; B for the brake; the
//       arrows (or keypad 1 and 3) held to turn; Esc and closing the window
//       to quit
//   [x] waiting for input or a moment without using the processor; the
//       picture shown again when the window lost it
//   [x] without a display, a reason: DISPLAY unset, or set and unreachable
//   [x] the video libraries' own complaints off the terminal unless --verbose
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "programs/panel-host/window.h"

namespace {

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;

// Why no window can open: DISPLAY unset, or set and not reachable.
std::string NoDisplayReason() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0'))
        return "no display: DISPLAY is not set (set it, or run under xvfb-run)";
    std::string which = display && *display ? std::string("DISPLAY=") + display : std::string("WAYLAND_DISPLAY=") + wayland;
    return "cannot reach the display " + which + " (is its X server running, and may this user use it?)";
}

}  // namespace

bool WindowOpen(const char* title, int32_t w, int32_t h, bool verbose, std::string* problem) {
    // SDL's and its libraries' own complaints (a missing runtime folder,
    // sound servers) stay off the terminal unless --verbose.
    int saved_stderr = -1;
    if (!verbose) {
        std::fflush(stderr);
        saved_stderr = dup(2);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 2);
            close(null);
        }
    }
    const bool video = SDL_Init(SDL_INIT_VIDEO) == 0;
    const std::string sdl_error = SDL_GetError();
    if (saved_stderr >= 0) {
        dup2(saved_stderr, 2);
        close(saved_stderr);
    }
    if (!video) {
        *problem = NoDisplayReason() + (verbose ? " [SDL: " + sdl_error + "]" : "");
        return false;
    }
    // Without a display SDL falls back to drawing off screen, where nobody
    // would see the window; only a person who asks for that gets it.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
        !(asked && std::strcmp(asked, driver) == 0)) {
        SDL_Quit();
        *problem = NoDisplayReason();
        return false;
    }
    window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, 0);
    // The picture is drawn in memory; a software renderer copies it to the
    // window without loading a GL driver.
    renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, w, h) : nullptr;
    if (texture == nullptr) {
        *problem = std::string("cannot open a window (") + SDL_GetError() + ")";
        return false;
    }
    return true;
}

bool WindowNextInput(WindowInput* input) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT || (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE)) {
            *input = {kInputQuit, 0, 0};
            return true;
        }
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_b && !e.key.repeat) {
            *input = {kInputBrakeKey, 0, 0};
            return true;
        }
        // The slew rotation keys: the arrows, or 1 and 3 on the keypad.
        if ((e.type == SDL_KEYDOWN && !e.key.repeat) || e.type == SDL_KEYUP) {
            const SDL_Keycode k = e.key.keysym.sym;
            const int32_t side = (k == SDLK_LEFT || k == SDLK_KP_1) ? -1 : (k == SDLK_RIGHT || k == SDLK_KP_3) ? 1 : 0;
            if (side != 0) {
                *input = {kInputTurn, e.type == SDL_KEYDOWN ? side : 0, 0};
                return true;
            }
        }
        if (e.type == SDL_WINDOWEVENT &&
            (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_RESTORED)) {
            *input = {kInputExposed, 0, 0};
            return true;
        }
        if (e.type == SDL_MOUSEMOTION) {
            *input = {kInputMove, e.motion.x, e.motion.y};
            return true;
        }
        if ((e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) && e.button.button == SDL_BUTTON_LEFT) {
            *input = {e.type == SDL_MOUSEBUTTONDOWN ? kInputPress : kInputRelease, e.button.x, e.button.y};
            return true;
        }
    }
    return false;
}

void WindowWait(double seconds) {
    // Left in the queue for WindowNextInput.
    SDL_WaitEventTimeout(nullptr, int(seconds * 1000.0) + 1);
}

void WindowShow(const Image& screen) {
    SDL_UpdateTexture(texture, nullptr, screen.px.data(), screen.w * 4);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

void WindowClose() {
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    // No SDL_Quit: it would unload the X libraries SDL opened, after which
    // the leak checker of the sanitizer build can no longer tell what they
    // keep for the life of the process (tests/hardening/lsan.supp); the
    // process ends soon after.
}
