// replay.cpp - the replay script reader and trace writer.
#include "hostsim/replay.h"

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hostsim/hostsim.h"

namespace {

FILE* trace_out = nullptr;

const int32_t kLeftLampBitmap  = 0x1000;
const int32_t kRightLampBitmap = 0x1500;
const long long kMaxTicks = 2147483647LL;

struct Button { const char* word; int32_t child; };
// The buttons in the order the panel lists its mouse areas.
const Button kButtons[] = {{"left", 0}, {"right", 1}, {"minus", 2}, {"plus", 3}};

struct Variable { const char* word; int32_t token; };
const Variable kVariables[] = {
    {"hold", kHostTokenParkingBrake}, {"ready", kHostTokenOnGround}, {"heading", kHostTokenHeading}};

void PrintEvent(uint32_t event_id, uint32_t value, void*) {
    std::fprintf(trace_out, "%" PRIu32 " event 0x%" PRIX32 " %" PRId32 "\n", host.updates, event_id,
                 static_cast<int32_t>(value));
}

void PrintUpdate() {
    std::fprintf(trace_out, "%" PRIu32 " display \"%s\" 0x%08" PRIX32 " %g\n", host.updates,
                 HostDisplayText(), HostDisplayColour(), host.display_value);
    std::fprintf(trace_out, "%" PRIu32 " lamps %g %g\n", host.updates,
                 HostIconValue(kLeftLampBitmap), HostIconValue(kRightLampBitmap));
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == '#') break;
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

bool ParseNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return false;
    // Hexadecimal floats are not decimal numbers; overflow gives the infinity.
    if (text.find_first_of("xX") != std::string::npos && text.find_first_of("nN") == std::string::npos)
        return false;
    *value = v;
    return true;
}

bool ParseCount(const std::string& text, long long* count) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    *count = std::atoll(text.c_str());
    return *count <= kMaxTicks;
}

// Runs one script line; returns an empty string or what is wrong with it.
std::string RunLine(const std::vector<std::string>& w) {
    const std::string& command = w[0];
    if (command == "set") {
        if (w.size() != 3) return "'set' takes a variable and a value";
        const Variable* variable = nullptr;
        for (const Variable& v : kVariables)
            if (w[1] == v.word) variable = &v;
        if (variable == nullptr) return "unknown variable '" + w[1] + "' (hold, ready or heading)";
        double value;
        if (!ParseNumber(w[2], &value)) return "'" + w[2] + "' is not a number";
        HostSetValue(variable->token, value);
        return "";
    }
    if (command == "click") {
        if (w.size() != 2) return "'click' takes one button";
        for (const Button& b : kButtons) {
            if (w[1] != b.word) continue;
            int32_t x, y;
            if (HostChildCentre(b.child, &x, &y)) HostClick(x, y);
            return "";
        }
        return "unknown button '" + w[1] + "' (left, right, minus or plus)";
    }
    if (command == "tick") {
        if (w.size() > 2) return "'tick' takes at most one count";
        long long count = 1;
        if (w.size() == 2 && !ParseCount(w[1], &count))
            return "'" + w[1] + "' is not a tick count (0 to 2147483647)";
        for (long long i = 0; i < count; ++i) {
            HostFrame();
            PrintUpdate();
        }
        return "";
    }
    if (command == "reload") {
        if (w.size() != 1) return "'reload' takes no arguments";
        HostReload();
        return "";
    }
    return "unknown command '" + command + "'";
}

}  // namespace

void ReplayPrintPlay(const char* name) {
    if (trace_out) std::fprintf(trace_out, "%" PRIu32 " play %s\n", host.updates, name);
}

int RunReplay(FILE* in, const char* source, FILE* out, FILE* err) {
    trace_out = out;
    host.on_event = PrintEvent;
    std::string line;
    long line_number = 0;
    int c;
    bool more = true;
    while (more) {
        line.clear();
        while ((c = std::fgetc(in)) != EOF && c != '\n') line += static_cast<char>(c);
        more = c != EOF;
        if (!more && line.empty()) break;
        ++line_number;
        std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        std::string problem = RunLine(words);
        if (!problem.empty()) {
            std::fflush(out);
            std::fprintf(err, "%s:%ld: %s\n", source, line_number, problem.c_str());
            return 2;
        }
    }
    std::fflush(out);
    return 0;
}
