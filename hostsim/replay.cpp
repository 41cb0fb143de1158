// replay.cpp - the replay script reader and trace writer.
#include "hostsim/replay.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cinttypes>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "host/gauge_names.h"
#include "hostsim/hostsim.h"
#include "hostsim/user_words.h"

namespace {

FILE* trace_out = nullptr;

const long long kMaxTicks = 2147483647LL;

// The bounds on what is read, far above what any script needs (a whole
// pushback is some 2 KB of lines shorter than 30 bytes) and small enough
// that a wrong file (a disk image, /dev/zero) is refused at once, in little
// memory, rather than read to its end first.
const int  kMaxLineBytes = 4096;
const long kMaxScriptBytes = 1L << 20;

struct Variable { const char* word; int32_t token; };
const Variable kVariables[] = {
    {"hold", kTokenParkingBrake}, {"ready", kTokenOnGround}, {"heading", kTokenHeading}};

void PrintEvent(uint32_t event_id, uint32_t value, void*) {
    std::fprintf(trace_out, "%" PRIu32 " event 0x%" PRIX32 " %" PRId32 "\n", host.updates, event_id,
                 static_cast<int32_t>(value));
}

// The two lines after every update are most of a trace, so they are put
// together by hand and written in one go, byte for byte what
//   "%u display \"%.6s\" 0x%08X %g\n%u lamps %g %g\n"
// would print.
char* PutUnsigned(char* p, uint32_t v) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) *p++ = digits[--n];
    return p;
}

// "%g" of v. Whole numbers of fewer than seven digits, every value the
// gauge returns, print as their digits; anything else goes to the C library.
char* PutG(char* p, double v) {
    if (v > -1e6 && v < 1e6) {
        const int32_t whole = static_cast<int32_t>(v);
        if (static_cast<double>(whole) == v && !(whole == 0 && std::signbit(v))) {
            if (whole >= 0) return PutUnsigned(p, static_cast<uint32_t>(whole));
            *p++ = '-';
            return PutUnsigned(p, static_cast<uint32_t>(-static_cast<int64_t>(whole)));
        }
    }
    return p + std::snprintf(p, 32, "%g", v);
}

char* PutHex8(char* p, uint32_t v) {
    static const char kHex[] = "0123456789ABCDEF";
    for (int shift = 28; shift >= 0; shift -= 4) *p++ = kHex[(v >> shift) & 0xF];
    return p;
}

// At most `limit` characters: the display buffer is the module's to fill.
char* PutText(char* p, const char* text, int limit) {
    for (int i = 0; i < limit && text[i] != '\0'; ++i) *p++ = text[i];
    return p;
}

template <size_t N>
char* PutLiteral(char* p, const char (&text)[N]) {
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

// The update number leads both lines of every update; it is kept as text
// and counted up in place rather than converted twice an update.
struct UpdateNumber {
    uint32_t value;
    int      length;
    char     text[12];
};
UpdateNumber number = {0, 1, "0"};

const UpdateNumber& CurrentUpdate() {
    if (number.value == host.updates) return number;
    if (number.value + 1 == host.updates) {
        int i = number.length - 1;
        while (i >= 0 && number.text[i] == '9') number.text[i--] = '0';
        if (i >= 0) {
            number.text[i]++;
        } else {
            std::memmove(number.text + 1, number.text, static_cast<size_t>(number.length));
            number.text[0] = '1';
            number.length++;
        }
    } else {
        number.length = static_cast<int>(PutUnsigned(number.text, host.updates) - number.text);
    }
    number.value = host.updates;
    return number;
}

char* PutUpdate(char* p) {
    const UpdateNumber& n = CurrentUpdate();
    std::memcpy(p, n.text, static_cast<size_t>(n.length));
    return p + n.length;
}

void PrintUpdate() {
    char line[160];
    char* p = PutUpdate(line);
    p = PutLiteral(p, " display \"");
    p = PutText(p, HostDisplayText(), kDisplayChars);
    p = PutLiteral(p, "\" 0x");
    p = PutHex8(p, HostDisplayColour());
    *p++ = ' ';
    p = PutG(p, host.display_value);
    *p++ = '\n';
    p = PutUpdate(p);
    p = PutLiteral(p, " lamps ");
    p = PutG(p, HostIconValue(kBitmapLeftLamp));
    *p++ = ' ';
    p = PutG(p, HostIconValue(kBitmapRightLamp));
    *p++ = '\n';
    std::fwrite(line, 1, static_cast<size_t>(p - line), trace_out);
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

std::vector<std::string> VariableWords() {
    std::vector<std::string> words;
    for (const Variable& v : kVariables) words.push_back(v.word);
    return words;
}

std::vector<std::string> ButtonWords() { return {std::begin(kButtonNames), std::end(kButtonNames)}; }


// One script line, read and checked before anything runs.
struct Command {
    enum Kind { kSet, kClick, kTick, kReload } kind;
    int32_t   target;   // the variable's token, or the button's child area
    double    value;
    long long count;
};

// Reads one script line into `c`; returns an empty string or what is wrong
// with it.
std::string ReadLine(const std::vector<std::string>& w, Command* c) {
    const std::string& command = w[0];
    if (command == "set") {
        if (w.size() != 3) return "'set' takes a variable and a value";
        const Variable* variable = nullptr;
        for (const Variable& v : kVariables)
            if (w[1] == v.word) variable = &v;
        if (variable == nullptr) return "unknown variable " + QuoteWord(w[1]) + " (" + OneOf(VariableWords()) + ")";
        // "inf" and "nan" are asked for, for hostile input; a number too
        // large for a double is a mistake, not a request for infinity.
        const NumberRead read = ReadDecimal(w[2], &c->value, true);
        if (read != NumberRead::kNumber)
            return QuoteWord(w[2]) + (read == NumberRead::kTooLarge ? " is too large for a number" : " is not a number");
        c->kind = Command::kSet;
        c->target = variable->token;
        return "";
    }
    if (command == "click") {
        if (w.size() != 2) return "'click' takes one button";
        for (int32_t child = 0; child < kButtonCount; ++child) {
            if (w[1] != kButtonNames[child]) continue;
            c->kind = Command::kClick;
            c->target = child;
            return "";
        }
        return "unknown button " + QuoteWord(w[1]) + " (" + OneOf(ButtonWords()) + ")";
    }
    if (command == "tick") {
        if (w.size() > 2) return "'tick' takes at most one count";
        c->kind = Command::kTick;
        c->count = 1;
        if (w.size() == 2 && !ReadWhole(w[1], kMaxTicks, &c->count))
            return QuoteWord(w[1]) + " is not a tick count (0 to " + std::to_string(kMaxTicks) + ")";
        return "";
    }
    if (command == "reload") {
        if (w.size() != 1) return "'reload' takes no arguments";
        c->kind = Command::kReload;
        return "";
    }
    return "unknown command " + QuoteWord(command);
}

void RunCommand(const Command& c) {
    switch (c.kind) {
    case Command::kSet:
        HostSetValue(c.target, c.value);
        break;
    case Command::kClick: {
        int32_t x, y;
        if (HostChildCentre(c.target, &x, &y)) HostClick(x, y);
        break;
    }
    case Command::kTick:
        for (long long i = 0; i < c.count; ++i) {
            HostFrame();
            PrintUpdate();
        }
        break;
    case Command::kReload:
        HostReload();
        break;
    }
}

}  // namespace

void ReplayPrintPlay(const char* name) {
    if (trace_out) std::fprintf(trace_out, "%" PRIu32 " play %s\n", host.updates, name);
}

std::string ReplayScriptWords() {
    return "set " + Joined(VariableWords(), "|", "|") + " VALUE (heading in degrees),\nclick " +
           Joined(ButtonWords(), "|", "|") + ", tick [N], reload";
}

int RunReplay(FILE* in, const char* source, FILE* out, FILE* err, const char* program) {
    trace_out = out;
    HostAddEventHook(PrintEvent, nullptr);
    // The whole script is read and checked first: a mistake on its last
    // line stops it before the gauge has run a single update.
    std::vector<Command> commands;
    std::string line;
    long line_number = 0;
    long bytes = 0;
    int c = 0;
    while (c != EOF) {
        line.clear();
        ++line_number;
        while ((c = std::fgetc(in)) != EOF && c != '\n') {
            if (line.size() == static_cast<size_t>(kMaxLineBytes)) {
                std::fprintf(err, "%s:%ld: the line is longer than %d bytes: not a replay script\n", source,
                             line_number, kMaxLineBytes);
                return 2;
            }
            line += static_cast<char>(c);
        }
        if (c == EOF && std::ferror(in)) {
            std::fprintf(err, "%s%scannot read %s: %s\n", program ? program : "", program ? ": " : "", source,
                         std::strerror(errno));
            return 2;
        }
        bytes += static_cast<long>(line.size()) + (c == EOF ? 0 : 1);
        if (bytes > kMaxScriptBytes) {
            std::fprintf(err, "%s:%ld: the script goes on past %ld bytes: not a replay script\n", source,
                         line_number, kMaxScriptBytes);
            return 2;
        }
        // A byte-order mark, as Windows editors save UTF-8, is no command.
        if (line_number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        // Only a line's last byte may be a CR (its CRLF end); one before it
        // would split the line's words where the writer meant a line end.
        const size_t cr = line.find('\r');
        if (cr != std::string::npos && cr + 1 != line.size()) {
            std::fprintf(err, "%s:%ld: a carriage return inside the line: lines end in LF or CRLF\n", source,
                         line_number);
            return 2;
        }
        std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        Command command{};
        std::string problem = ReadLine(words, &command);
        if (!problem.empty()) {
            std::fprintf(err, "%s:%ld: %s\n", source, line_number, problem.c_str());
            return 2;
        }
        commands.push_back(command);
    }
    for (const Command& command : commands) RunCommand(command);
    std::fflush(out);
    return 0;
}

FILE* OpenReplayScript(const std::string& path, std::string* problem) {
    if (path == "-") return stdin;
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        *problem = path + " is a folder, not a replay script";
        return nullptr;
    }
    // A pipe with no writer would be waited on for ever: standard input is
    // the way to give a script through one.
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        *problem = path + " is not a regular file, not a replay script (give '-' to read standard input)";
        return nullptr;
    }
    FILE* in = std::fopen(path.c_str(), "r");
    if (in == nullptr) *problem = "cannot open " + path + ": " + std::strerror(errno);
    return in;
}

int ReplayWholeScript(FILE* in, const std::string& path, FILE* out, FILE* err, const char* program) {
    HostInstall();
    HostInitialize();
    const int status = RunReplay(in, path == "-" ? "<stdin>" : path.c_str(), out, err, program);
    HostKill();
    if (in != stdin) std::fclose(in);
    return status;
}
