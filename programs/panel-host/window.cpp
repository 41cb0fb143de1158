// window.cpp - the window's logic (see window.h): its layout, the status
// strip and caption, hold-to-repeat, and clicks to the gauge's handlers.
#include "programs/panel-host/window.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "hostsim/hostsim.h"
#include "programs/panel-host/driver.h"
#include "programs/panel-host/fonts.h"
#include "programs/panel-host/panel_draw.h"
#include "programs/panel-host/platform.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/timeline.h"

namespace {

const int32_t kWindowScale = 3;
const int32_t kStatusHeight = 44, kViewHeight = 270, kCaptionHeight = 54;
const uint32_t kStatusBackground = 0x202830, kStatusText = 0xE6E8EA, kHintText = 0xFFC83C;
const uint32_t kCaptionBackground = 0x10141A, kCaptionText = 0xFFFFFF;
// A held button repeats after half a second, then six times a second.
const uint32_t kRepeatDelay = 9, kRepeatEvery = 3;

// Words wrapped to lines no wider than `width`.
std::vector<std::string> Wrap(Font* font, const std::string& text, int32_t width) {
    std::vector<std::string> lines;
    std::string line, word;
    auto flush_word = [&]() {
        if (word.empty()) return;
        const std::string tried = line.empty() ? word : line + " " + word;
        if (!line.empty() && LabelWidth(font, tried) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = tried;
        }
        word.clear();
    };
    for (char c : text) {
        if (c == ' ') flush_word();
        else word += c;
    }
    flush_word();
    if (!line.empty()) lines.push_back(line);
    return lines;
}

struct WindowLayout {
    int32_t w, panel_h, status_y, view_y, caption_y, h;
};

void DrawWindow(const WindowLayout& l, const PanelArt& art, Font* font, Image* screen) {
    ImageResize(screen, l.w, l.h, 0);
    Image panel, scaled, view;
    DrawPanel(art, &panel);
    ScaleImage(panel, kWindowScale, &scaled);
    Blit(scaled, 0, 0, screen);

    // The status strip: phase, brake, heading, target, and when to press B.
    FillRect(screen, 0, l.status_y, l.w, kStatusHeight, kStatusBackground);
    const bool brake_set = HostGetValue(kHostTokenParkingBrake) > 0.0;
    char status[160];
    std::snprintf(status, sizeof status, "%s   |   brake %s   |   heading %05.1f   |   target %s", watch.phase,
                  brake_set ? "SET" : "released", watch.aircraft.heading,
                  watch.target >= 0 ? std::to_string(watch.target).c_str() : "-");
    const int32_t text_y = l.status_y + 3;
    DrawLabel(font, status, kStatusText, 8, text_y, screen);
    const char* hint = nullptr;
    if (watch.chosen && watch.crew_asks_release && brake_set && !watch.pushing) hint = "the crew asks: press B to release the parking brake";
    if (watch.chosen && watch.crew_asks_set && !brake_set) hint = "the crew asks: press B to set the parking brake";
    if (!watch.chosen) hint = "click an arrow to choose the tail's side";
    if (hint) DrawLabel(font, hint, kHintText, 8, text_y + 20, screen);

    DrawTopView(watch.aircraft, l.w, kViewHeight, font, &view);
    Blit(view, 0, l.view_y, screen);

    // The caption: the crew's words while the call plays.
    FillRect(screen, 0, l.caption_y, l.w, kCaptionHeight, kCaptionBackground);
    if (!watch.speaking.empty() && host.updates <= watch.speaking_until) {
        const std::vector<std::string> lines = Wrap(font, WordsOf(watch.speaking), l.w - 16);
        int32_t y = l.caption_y + (lines.size() > 1 ? 6 : 17);
        for (const std::string& line : lines) {
            DrawLabel(font, line, kCaptionText, (l.w - LabelWidth(font, line)) / 2, y, screen);
            y += 21;
        }
    }
}

void Click(int32_t child, bool repeat) {
    int32_t x, y;
    if (!HostChildCentre(child, &x, &y)) return;
    Say(std::string("click: ") + ButtonName(child) + (repeat ? " (held, repeats)" : ""));
    HostClick(x, y);
}

}  // namespace

int RunWindow(const PanelHostOptions& o, std::string* problem) {
    PanelArt art;
    if (!LoadPanelArt(module, &art, problem)) return kRefused;
    Font* font = OpenLabelFont(15, problem);
    if (font == nullptr) {
        FreePanelArt(&art);
        return kRefused;
    }
    WindowLayout l;
    l.w = art.face.w * kWindowScale;
    l.panel_h = art.face.h * kWindowScale;
    l.status_y = l.panel_h;
    l.view_y = l.status_y + kStatusHeight;
    l.caption_y = l.view_y + kViewHeight;
    l.h = l.caption_y + kCaptionHeight;
    if (!WindowOpen("VORNAK_TOWS panel-host", l.w, l.h, o.verbose, problem)) {
        CloseFont(font);
        FreePanelArt(&art);
        return kRefused;
    }
    TimelineStart(o.heading, false);
    Pushback push;
    PushbackReset(&push, o.heading, true, 20);
    PushbackPowerUp(push);
    PaceFromNow(o.speed);
    std::printf("panel-host: click the buttons (hold minus or plus to repeat); B sets or releases the parking "
                "brake; Esc quits\n");
    Say("on the ground, parking brake set");

    std::map<std::string, int> clicks;
    int32_t held = -1;              // the button held down, if it repeats
    uint32_t next_repeat = 0;
    int32_t mouse_x = 0, mouse_y = 0;
    bool quit = false;
    Image screen;
    double next_draw = 0.0;
    while (!quit) {
        WindowInput in;
        while (WindowNextInput(&in)) {
            if (in.kind == kInputQuit) quit = true;
            if (in.kind == kInputBrakeKey) {
                const bool set = HostGetValue(kHostTokenParkingBrake) > 0.0;
                HostSetValue(kHostTokenParkingBrake, set ? 0.0 : kBrakeSet);
                Say(set ? "parking brake released" : "parking brake set");
                OnBrake(!set);
            }
            if (in.kind == kInputMove || in.kind == kInputPress) {
                mouse_x = in.x / kWindowScale;
                mouse_y = in.y / kWindowScale;
            }
            if (in.kind == kInputPress) {
                bool repeats = false;
                const int32_t child = HostChildAt(mouse_x, mouse_y, &repeats);
                if (child >= 0) {
                    Click(child, false);
                    clicks[ButtonName(child)]++;
                    held = repeats ? child : -1;
                    next_repeat = host.updates + kRepeatDelay;
                }
            }
            if (in.kind == kInputRelease) held = -1;
        }
        // A held button repeats while the pointer stays on it.
        if (held >= 0 && host.updates >= next_repeat) {
            bool repeats = false;
            if (HostChildAt(mouse_x, mouse_y, &repeats) == held) {
                Click(held, true);
                clicks[ButtonName(held)]++;
            }
            next_repeat = host.updates + kRepeatEvery;
        }
        TimelineFrame();
        AircraftStep(&watch.aircraft);
        HostSetValue(kHostTokenHeading, watch.aircraft.heading);
        // Faster than real time, the window is drawn at most 60 times a
        // second, and drawing takes at most half the time, so that the
        // updates keep their pace where a picture is slow to draw.
        const double now = ClockSeconds();
        if (now >= next_draw) {
            DrawWindow(l, art, font, &screen);
            WindowShow(screen);
            const double drawn = ClockSeconds();
            next_draw = drawn + std::max(drawn - now, 1.0 / 60.0);
        }
    }
    TimelineEnd();
    HostKill();
    std::string counted;
    for (const char* b : {"left", "right", "minus", "plus"})
        counted += std::string(counted.empty() ? "" : ", ") + b + " " + std::to_string(clicks[b]);
    std::printf("summary: %" PRIu32 " updates (%s); %" PRIu32 " pushback%s begun, %" PRIu32
                " reset; clicks: %s; heading %.2f; pushed %.1f m from the start; %zu clips heard\n",
                host.updates, Clock(host.updates).c_str(), watch.pushbacks, watch.pushbacks == 1 ? "" : "s",
                watch.resets, counted.c_str(), watch.aircraft.heading,
                std::hypot(watch.aircraft.x, watch.aircraft.y), watch.heard.size());
    std::fflush(stdout);
    CloseFont(font);
    FreePanelArt(&art);
    WindowClose();
    return 0;
}
