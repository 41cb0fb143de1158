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
#include "programs/panel-host/fonts.h"
#include "programs/panel-host/panel_draw.h"
#include "programs/panel-host/panel_host.h"
#include "programs/panel-host/platform.h"
#include "programs/panel-host/session.h"
#include "programs/panel-host/timeline.h"
#include "programs/panel-host/window_rules.h"
#include "programs/panel-host/words.h"
#include "programs/panel-host/world.h"

namespace {

const int32_t kWindowScale = 3;
const int32_t kStatusHeight = 44, kViewHeight = 270, kCaptionHeight = 54;
const uint32_t kStatusBackground = 0x202830, kStatusText = 0xE6E8EA, kHintText = 0xFFC83C;
const uint32_t kCaptionBackground = 0x10141A, kCaptionText = 0xFFFFFF;

// What the window shows beside the world: the crew call being spoken, for
// the caption, and a plus that came too late for the turn, said until
// too_late_until.
struct Heard {
    const World* world = nullptr;
    const LoadedModule* module = nullptr;
    std::string speaking;
    uint32_t    speaking_until = 0;
    uint32_t    too_late_until = 0;
};

// How long a clip of the module plays, in updates (4 s when unknown).
uint32_t ClipUpdates(const LoadedModule& module, const std::string& clip) {
    uint32_t bytes, byte_rate;
    if (!ModuleClipData(module, clip.c_str(), &bytes, &byte_rate) || byte_rate == 0) return 4 * kTicksPerSecond;
    return uint32_t(uint64_t(bytes) * kTicksPerSecond / byte_rate) + 1;
}

void OnClip(void* context, const char* name) {
    Heard& heard = *static_cast<Heard*>(context);
    if (!WordsOf(name)) return;
    heard.speaking = name;
    heard.speaking_until = UpdateNow(*heard.world) + ClipUpdates(*heard.module, name);
}

const WorldObserver kWindowObserver = {nullptr, OnClip, nullptr};

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

std::string StatusText(const char* phase, bool brake_set, const std::string& heading, int32_t target) {
    return std::string(phase) + " | brake " + (brake_set ? "SET" : "off") + " | heading " + heading + " | target " +
           (target >= 0 ? std::to_string(target) : std::string("-"));
}

// The status strip's font: the largest, up to the window's own, in which
// the widest status (every phase, the longest values) and every hint fit
// the strip, whatever fonts the system has.
Font* OpenStatusFont(int32_t largest, int32_t width, std::string* problem) {
    for (int32_t pixels = largest;; --pixels) {
        Font* font = OpenLabelFont(pixels, problem);
        if (font == nullptr || pixels <= 8) return font;
        int32_t widest = 0;
        for (const char* phase : kPhaseNames)
            for (bool brake : {false, true})
                widest = std::max(widest, LabelWidth(font, StatusText(phase, brake, "359.9", 359)));
        for (int32_t h = 0; h < kHintCount; ++h) widest = std::max(widest, LabelWidth(font, HintText(Hint(h), 359)));
        if (widest <= width) return font;
        CloseFont(font);
    }
}

// What the window shows, to tell when it changed.
struct OnScreen {
    std::string display, status, hint, caption;
    uint32_t    colour = 0;
    std::vector<double> lamps;   // every icon's value at the last update
    double      x = 0, y = 0, heading = 0;
    size_t      track = 0;
    bool operator==(const OnScreen&) const = default;
};

OnScreen NowOnScreen(const World& world, const Heard& heard) {
    OnScreen s;
    s.display = HostDisplayText();
    s.colour = HostDisplayColour();
    for (int32_t i = 0; i < host.icon_count; ++i) s.lamps.push_back(host.icons[i].value);
    s.status = StatusText(kPhaseNames[world.phase], world.brake_set, HeadingText(world.aircraft.heading),
                          world.push.target);
    s.hint = HintText(ChooseHint(world, host.updates < heard.too_late_until), world.push.target);
    s.caption = CaptionWords(heard.speaking.empty() ? nullptr : WordsOf(heard.speaking), heard.speaking_until,
                             host.updates, world.sound_heard);
    s.x = world.aircraft.x;
    s.y = world.aircraft.y;
    s.heading = world.aircraft.heading;
    s.track = world.aircraft.track.size();
    return s;
}

void DrawWindow(const World& world, const WindowLayout& l, const PanelArt& art, Font* font, Font* status_font, const OnScreen& shown,
                Image* screen) {
    ImageResize(screen, l.w, l.h, 0);
    Image panel, scaled, view;
    DrawPanel(art, &panel);
    ScaleImage(panel, kWindowScale, &scaled);
    Blit(scaled, 0, 0, screen);

    // The status strip: phase, brake, heading, target, and what to do now.
    FillRect(screen, 0, l.status_y, l.w, kStatusHeight, kStatusBackground);
    const int32_t text_y = l.status_y + 3;
    DrawLabel(status_font, shown.status, kStatusText, 8, text_y, screen);
    DrawLabel(status_font, shown.hint, kHintText, 8, text_y + 20, screen);

    DrawTopView(world.aircraft, l.w, kViewHeight, font, &view);
    Blit(view, 0, l.view_y, screen);

    // The caption: the crew's words while the call plays.
    FillRect(screen, 0, l.caption_y, l.w, kCaptionHeight, kCaptionBackground);
    if (!shown.caption.empty()) {
        const std::vector<std::string> lines = Wrap(font, shown.caption, l.w - 16);
        int32_t y = l.caption_y + (lines.size() > 1 ? 6 : 17);
        for (const std::string& line : lines) {
            DrawLabel(font, line, kCaptionText, (l.w - LabelWidth(font, line)) / 2, y, screen);
            y += 21;
        }
    }
}

void Click(PanelHost& ph, Heard& heard, int32_t child, bool repeat) {
    Timeline& timeline = ph.timeline;
    int32_t x, y;
    if (!HostChildCentre(child, &x, &y)) return;
    Say(timeline, std::string("click: ") + ButtonName(child) + (repeat ? " (held, repeats)" : ""));
    HostClick(x, y);
    if ((child == kMinusButton || child == kPlusButton) && WorldTimerClick(ph.world, child == kPlusButton)) {
        heard.too_late_until = host.updates + 4 * kTicksPerSecond;
        Say(timeline, "  too late for this pushback: its push time has passed, the turn is the pilot's");
    }
}

// A slew rotation key pressed (direction -1 nose left, +1 nose right) or
// let go (0).
void HandTurn(PanelHost& ph, int32_t direction) {
    World& world = ph.world;
    Timeline& timeline = ph.timeline;
    if (!WorldHandRotation(world, direction)) return;
    if (world.aircraft.hand_rotation == 0.0) {
        Say(timeline, "pilot lets go of the rotation key");
        return;
    }
    Say(timeline, direction < 0 ? "pilot turns the nose left by hand" : "pilot turns the nose right by hand");
    char line[128];
    if (WorldTakeTurnByHand(world)) {
        std::snprintf(line, sizeof line, "  turning by hand from heading %s toward %" PRId32,
                      HeadingText(world.aircraft.heading).c_str(), world.push.target);
        Say(timeline, line);
    }
    if (world.push.by_hand && world.phase == kPhaseTurn && TurningAway(world)) {
        std::snprintf(line, sizeof line, "  that turns away from heading %" PRId32 ": %s turns toward it",
                      world.push.target, TowardTarget(world) < 0 ? "Left" : "Right");
        Say(timeline, line);
    }
}

}  // namespace

int RunWindow(PanelHost& ph, const PanelHostOptions& o, std::string* problem) {
    World& world = ph.world;
    Timeline& timeline = ph.timeline;
    // The panel's pictures are taken once the gauge is installed: its
    // elements name the lamps and the display's font only then.
    const LoadedModule& module = ph.session.module;
    WorldStart(world, o.heading, {module.set_clip_observer, SessionSoundHeard, &ph.session});
    TimelineStart(timeline, world);
    Heard heard;
    heard.world = &world;
    heard.module = &module;
    WorldObserve(world, &kWindowObserver, &heard);
    PanelArt art;
    Font* font = nullptr;
    Font* status_font = nullptr;
    WindowLayout l = {};
    bool ready = LoadPanelArt(module, &art, problem) && (font = OpenLabelFont(15, problem)) != nullptr;
    if (ready) {
        l.w = art.face.w * kWindowScale;
        l.panel_h = art.face.h * kWindowScale;
        l.status_y = l.panel_h;
        l.view_y = l.status_y + kStatusHeight;
        l.caption_y = l.view_y + kViewHeight;
        l.h = l.caption_y + kCaptionHeight;
        ready = (status_font = OpenStatusFont(15, l.w - 16, problem)) != nullptr &&
                WindowOpen(kPreview ? VORNAK_HOST_NAME : "VORNAK_TOWS " VORNAK_HOST_NAME, l.w, l.h, o.verbose, problem);
    }
    if (!ready) {
        TimelineEnd(timeline);
        WorldEnd(world);
        if (status_font) CloseFont(status_font);
        if (font) CloseFont(font);
        FreePanelArt(&art);
        return kRefused;
    }
    PaceFromNow(ph.pacing, o.speed);
    std::printf(VORNAK_HOST_NAME ": click the buttons (hold minus or plus to repeat); B sets or releases the parking "
                "brake; Left and Right turn the aircraft by hand during a push; Esc quits\n");
    Say(timeline, "on the ground, parking brake set");

    std::map<std::string, int> clicks;
    int32_t held = -1;              // the button held down, if it repeats
    uint32_t pressed_on = 0, repeated = 0;   // the update of its press, and its repeats since
    int32_t mouse_x = 0, mouse_y = 0;
    bool quit = false, stale = true;
    Image screen;
    OnScreen shown;
    std::string said_hint;
    double next_draw = 0.0;
    while (!quit) {
        WindowInput in;
        while (WindowNextInput(&in)) {
            if (in.kind == kInputQuit) quit = true;
            if (in.kind == kInputExposed) stale = true;
            if (in.kind == kInputTurn) HandTurn(ph, in.x);
            if (in.kind == kInputBrakeKey) {
                const bool set = world.brake_set;
                WorldSetBrake(world, !set);
                Say(timeline, set ? "parking brake released" : "parking brake set");
                if (!set && Pushing(world) && !Wrapping(world))
                    Say(timeline, "  slew ignores the parking brake: the aircraft keeps moving");
            }
            if (in.kind == kInputMove || in.kind == kInputPress) {
                mouse_x = in.x / kWindowScale;
                mouse_y = in.y / kWindowScale;
            }
            if (in.kind == kInputPress) {
                bool repeats = false;
                const int32_t child = HostChildAt(mouse_x, mouse_y, &repeats);
                if (child >= 0) {
                    Click(ph, heard, child, false);
                    clicks[ButtonName(child)]++;
                    held = repeats ? child : -1;
                    pressed_on = UpdateNow(world);
                    repeated = 0;
                }
            }
            if (in.kind == kInputRelease) held = -1;
        }
        if (quit) break;
        // Between updates the window waits for the person or the next
        // update's moment, whichever comes first.
        const double wait = NextUpdateAt(ph.pacing) - ClockSeconds();
        if (wait > 0.0) {
            WindowWait(wait);
            continue;
        }
        // A held button repeats while the pointer stays on it.
        if (held >= 0 && HoldRepeats(UpdateNow(world) - pressed_on) > repeated) {
            repeated = HoldRepeats(UpdateNow(world) - pressed_on);
            bool repeats = false;
            if (HostChildAt(mouse_x, mouse_y, &repeats) == held) {
                Click(ph, heard, held, true);
                clicks[ButtonName(held)]++;
            }
        }
        WorldStep(world);
        // Drawn when something shown changed, or the window lost it; faster
        // than real time, at most 60 times a second, and drawing takes at
        // most half the time, so that the updates keep their pace where a
        // picture is slow to draw.
        const OnScreen now_shown = NowOnScreen(world, heard);
        if (!(now_shown == shown)) {
            shown = now_shown;
            stale = true;
        }
        const double now = ClockSeconds();
        if (stale && now >= next_draw) {
            DrawWindow(world, l, art, font, status_font, shown, &screen);
            WindowShow(screen);
            stale = false;
            // Each new hint is said once it is on the screen: from then on
            // the window shows what the update it is stamped with left.
            if (shown.hint != said_hint) {
                said_hint = shown.hint;
                SayAt(timeline, host.updates, "window shows: " + said_hint);
            }
            const double drawn = ClockSeconds();
            next_draw = drawn + std::max(drawn - now, 1.0 / 60.0);
        }
    }
    TimelineEnd(timeline);
    WorldEnd(world);
    std::string counted;
    for (const char* b : kButtonNames)
        counted += std::string(counted.empty() ? "" : ", ") + b + " " + std::to_string(clicks[b]);
    std::printf("summary: %" PRIu32 " updates (%s); %s begun, %" PRIu32 " reset; clicks: %s; heading %s; %s; "
                "%s started\n",
                host.updates, Clock(host.updates).c_str(), Plural(world.pushbacks, "pushback").c_str(), world.resets,
                counted.c_str(), HeadingText(world.aircraft.heading).c_str(), Distances(world.aircraft).c_str(),
                Plural(world.clips_started, "clip").c_str());
    std::fflush(stdout);
    CloseFont(status_font);
    CloseFont(font);
    FreePanelArt(&art);
    WindowClose();
    return 0;
}
