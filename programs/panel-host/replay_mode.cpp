// replay_mode.cpp - the replay mode (see replay_mode.h).
#include "programs/panel-host/replay_mode.h"

#include <cstdio>

#include "hostsim/replay.h"
#include "programs/panel-host/identity.h"
#include "programs/panel-host/panel_host.h"

int Replay(PanelHost& ph, const PanelHostOptions& o, std::string* problem) {
    FILE* in = OpenReplayScript(o.script, problem);
    if (in == nullptr) return kRefused;
    if (!Attach(ph.session, o, problem)) {
        if (in != stdin) std::fclose(in);
        return kRefused;
    }
    if (o.realtime) PaceFromNow(ph.pacing);
    const int status = ReplayWholeScript(in, o.script, stdout, stderr, VORNAK_HOST_NAME);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        *problem = "cannot write the trace";
        return kRefused;
    }
    return status;
}
