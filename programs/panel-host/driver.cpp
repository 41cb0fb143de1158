// driver.cpp - the modelled pushback's steps (see driver.h).
#include "programs/panel-host/driver.h"

#include <cstdio>

void PushbackReset(Pushback* p, double heading, bool left, int32_t timer) {
    *p = Pushback{};
    AircraftReset(&p->aircraft, heading);
    PilotReset(&p->pilot, left, timer);
}

const char* ButtonName(int32_t child) {
    return child >= 0 && child < kButtonCount ? kButtonNames[child] : "?";
}

int32_t TurnTarget(double heading, bool left) {
    const int32_t whole = int32_t(heading);
    return ((left ? whole + 90 : whole - 90) % 360 + 360) % 360;
}

void PushbackPowerUp(const Pushback& p) {
    HostSetValue(kHostTokenOnGround, 1.0);
    HostSetValue(kHostTokenParkingBrake, kBrakeSet);
    HostSetValue(kHostTokenHeading, p.aircraft.heading);
    HostInstall();
    HostInitialize();
}

void PushbackAct(Pushback* p, const PilotAction& act) {
    if (act.kind == kPilotClick) {
        if (act.button == kLeftButton || act.button == kRightButton) p->chosen = true;
        int32_t x, y;
        if (HostChildCentre(act.button, &x, &y)) HostClick(x, y);
    } else if (act.kind == kPilotReleaseBrake) {
        HostSetValue(kHostTokenParkingBrake, 0.0);
    } else if (act.kind == kPilotSetBrake) {
        HostSetValue(kHostTokenParkingBrake, kBrakeSet);
    }
}

int PushbackStatus(const Pushback& p) {
    if (p.reset) return 0;
    std::fprintf(stderr, "panel-host: the pushback did not finish within an hour of simulated time\n");
    return 1;
}
