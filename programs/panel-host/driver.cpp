// driver.cpp - attaching, replaying and the modelled pushback,
// shared by the panel-hosts (see driver.h).
#include "programs/panel-host/driver.h"

#include "programs/panel-host/command_line.h"
#include "hostsim/replay.h"

void AttachModule(const std::string& path, LoadedModule* module) {
    std::string problem;
    if (!LoadModule(path, module, &problem)) Fail(problem);
    HostReset();
    if (!HostAttach(module->import_table, module->linkage)) Fail("module " + path + " holds no usable gauge");
}

FILE* OpenScript(const std::string& path) {
    std::string problem;
    FILE* in = OpenReplayScript(path, &problem);
    if (in == nullptr) Fail(problem);
    return in;
}

int ReplayScript(FILE* in, const std::string& path) {
    const int status = ReplayWholeScript(in, path, stdout, stderr);
    if (std::ferror(stdout)) Fail("cannot write the trace");
    return status;
}

void PushbackReset(Pushback* p, double heading, bool left, int32_t timer) {
    *p = Pushback{};
    AircraftReset(&p->aircraft, heading);
    PilotReset(&p->pilot, left, timer);
}

const char* ButtonName(int32_t child) {
    static const char* const kNames[] = {"left", "right", "minus", "plus"};
    return child >= 0 && child < 4 ? kNames[child] : "?";
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
        if (act.button == kButtonLeft || act.button == kButtonRight) p->chosen = true;
        int32_t x, y;
        if (HostChildCentre(act.button, &x, &y)) HostClick(x, y);
    } else if (act.kind == kPilotReleaseBrake) {
        HostSetValue(kHostTokenParkingBrake, 0.0);
    } else if (act.kind == kPilotSetBrake) {
        HostSetValue(kHostTokenParkingBrake, kBrakeSet);
    }
}

void PushbackStep(Pushback* p, bool left) {
    AircraftStep(&p->aircraft);
    HostSetValue(kHostTokenHeading, p->aircraft.heading);
    const double lamp = HostIconValue(left ? 0x1000 : 0x1500);
    if (p->chosen && p->lamp_was == 1.0 && lamp != 1.0) p->reset = true;
    p->lamp_was = lamp;
}

int PushbackStatus(const Pushback& p) {
    if (p.reset) return 0;
    std::fprintf(stderr, "panel-host: the pushback did not finish within an hour of simulated time\n");
    return 1;
}
