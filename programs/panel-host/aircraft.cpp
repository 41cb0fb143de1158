// aircraft.cpp - the slew model (see aircraft.h).
#include "programs/panel-host/aircraft.h"

#include <cmath>

namespace {

const double kPi = 3.14159265358979323846;
}  // namespace

double NormalHeading(double degrees) {
    if (!std::isfinite(degrees)) return 0.0;
    double h = std::fmod(degrees, 360.0);
    if (h < 0.0) h += 360.0;
    // fmod of a tiny negative value can round up to 360 itself.
    return h >= 360.0 ? 0.0 : h;
}

void AircraftReset(Aircraft* a, double heading) {
    *a = Aircraft{};
    a->heading = NormalHeading(heading);
    a->track.push_back({0.0, 0.0});
}

const char* AircraftEvent(Aircraft* a, uint32_t event_id, uint32_t value) {
    switch (event_id) {
    case kEventCalibrate:
        return "joystick calibration (moves nothing)";
    case kEventSlewToggle:
        a->slew = !a->slew;
        return a->slew ? "slew mode toggled: on" : "slew mode toggled: off";
    case kEventSlewAheadMinus:
        a->back_steps++;
        return "slew one step faster backwards";
    case kEventSlewAheadPlus:
        a->back_steps--;
        return "slew one step less backwards";
    case kEventSlewFreeze:
        a->back_steps = 0;
        a->rotation = 0.0;
        a->hand_rotation = 0.0;
        return "slew freeze (all motion stops)";
    case kEventSlewRotate: {
        // Negative axis values turn the nose right: the heading increases.
        double rate = -static_cast<double>(static_cast<int32_t>(value)) * kDegreesPerUpdatePerAxisUnit;
        if (rate > kMaxDegreesPerUpdate) rate = kMaxDegreesPerUpdate;
        if (rate < -kMaxDegreesPerUpdate) rate = -kMaxDegreesPerUpdate;
        a->rotation = rate;
        return rate > 0.0 ? "slew rotation: nose right" : rate < 0.0 ? "slew rotation: nose left"
                                                                     : "slew rotation: stop";
    }
    case kEventSlewOff:
        // Leaving slew mode ends every slew motion with it.
        a->slew = false;
        a->back_steps = 0;
        a->rotation = 0.0;
        a->hand_rotation = 0.0;
        return "slew off";
    default:
        return "unknown event";
    }
}

void AircraftStep(Aircraft* a) {
    if (!a->slew) return;
    a->heading = NormalHeading(a->heading + a->rotation + a->hand_rotation);
    if (a->back_steps != 0) {
        // Backwards: opposite to where the nose points (0 north, 90 east).
        double metres = a->back_steps * kMetresPerSecondPerStep / double(kTicksPerSecond);
        double rad = a->heading * kPi / 180.0;
        a->x -= metres * std::sin(rad);
        a->y -= metres * std::cos(rad);
        a->moved = true;
    }
    if (a->back_steps != 0 || a->rotation != 0.0 || a->hand_rotation != 0.0) a->track.push_back({a->x, a->y});
}
