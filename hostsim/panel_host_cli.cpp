// panel_host_cli.cpp - the options every panel-host takes (see
// panel_host_cli.h).
#include "hostsim/panel_host_cli.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

void Fail(const std::string& message) {
    std::fprintf(stderr, "panel-host: %s\n", message.c_str());
    std::exit(2);
}

bool ParseDouble(const char* text, double* value) {
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

const char* OptionValue(int argc, char** argv, int* i) {
    if (*i + 1 >= argc) Fail(std::string(argv[*i]) + " needs a value");
    return argv[++*i];
}

bool TakeSharedOption(int argc, char** argv, int* i, PanelHostOptions* o) {
    const std::string a = argv[*i];
    if (a == "--module") {
        o->module = OptionValue(argc, argv, i);
        if (o->module.empty()) Fail("--module needs a file");
    } else if (a == "--left" || a == "--right") {
        if (o->side_given && o->left != (a == "--left")) Fail("choose one of --left and --right");
        o->left = a == "--left";
        o->side_given = true;
    } else if (a == "--timer") {
        const char* t = OptionValue(argc, argv, i);
        double s;
        if (!ParseDouble(t, &s) || s != std::floor(s) || s < 5 || s > 995 || int32_t(s) % 5 != 0)
            Fail(std::string("--timer takes whole seconds from 5 to 995 in steps of 5, not '") + t + "'");
        o->timer = int32_t(s);
    } else if (a == "--heading") {
        const char* t = OptionValue(argc, argv, i);
        if (!ParseDouble(t, &o->heading) || o->heading < 0.0 || o->heading >= 360.0)
            Fail(std::string("--heading takes degrees from 0 to below 360, not '") + t + "'");
        o->heading_given = true;
    } else if (a == "--realtime") {
        o->realtime = true;
    } else {
        return false;
    }
    return true;
}
