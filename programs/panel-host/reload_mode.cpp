// reload_mode.cpp - the reload mode (see reload_mode.h).
#include "programs/panel-host/reload_mode.h"

#include <cstdio>
#include <string>

#include "hostsim/hostsim.h"
#include "programs/panel-host/identity.h"
#include "programs/panel-host/platform.h"
#include "programs/panel-host/session.h"

int Reload(Session& session, const PanelHostOptions& o, std::string* problem) {
    if (!Attach(session, o, problem)) return kRefused;
    HostInstall();
    HostInitialize();
    // A long check says how far it has come, every few seconds, on stderr.
    const double kProgressEvery = 5.0;
    double next_word = ClockSeconds() + kProgressEvery;
    for (long i = 0; i < o.reloads; ++i) {
        HostFrame();
        HostReload();
        if ((i & 63) == 0 && ClockSeconds() >= next_word) {
            std::fflush(stdout);
            std::fprintf(stderr, VORNAK_HOST_NAME ": %ld of %ld reloads done\n", i + 1, o.reloads);
            std::fflush(stderr);
            next_word += kProgressEvery;
        }
    }
    HostFrame();
    HostKill();
    SoundObjects c;
    if (!CountSoundObjects(session.module, &c)) {
        std::printf("%ld reload%s; the module does not tell its %s objects\n", o.reloads, o.reloads == 1 ? "" : "s",
                    SoundSystemName());
        return 0;
    }
    std::string alive;
    uint32_t total = 0;
    for (int32_t k = 0; k < c.kinds; ++k) {
        alive += (k == 0 ? "" : ", ") + std::to_string(c.alive[k]) + " " + c.names[k];
        total += c.alive[k];
    }
    std::printf("%ld reload%s; %s objects still alive: %s%s%s\n", o.reloads, o.reloads == 1 ? "" : "s", c.system,
                alive.c_str(),
                c.made.empty() ? "" : "; ", c.made.c_str());
    return total == 0 ? 0 : 1;
}
