// user_words.h - the words our programs take from a person, read and shown
// back the same in every program and on every system: panel-host's options
// and counts, gauge-replay's command line and script words.
//
// A decimal number is an optional sign, digits with at most one decimal
// point, and an optional exponent (e or E, an optional sign, digits):
// "45", "-0.5", "1e-320", ".5". Nothing else: no spaces or other bytes
// around it, no hexadecimal ("0x10"), no "inf" or "nan" (a script may ask
// for those, in any case, ReadDecimal's `specials`; not for C's "nan(...)").
// A value too small for a double reads as the nearest one (0 or nearly);
// one too large is refused as such.
// A whole number is digits only: "5", "005"; not "5.0", "+5" or " 5".
#pragma once

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

enum class NumberRead { kNumber, kNotANumber, kTooLarge };

inline NumberRead ReadDecimal(const std::string& text, double* value, bool specials = false) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::string rest = text.substr(i);
    for (char& c : rest) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool special = rest == "inf" || rest == "infinity" || rest == "nan";
    if (special && !specials) return NumberRead::kNotANumber;
    if (!special) {
        size_t digits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
        if (i < text.size() && text[i] == '.') {
            ++i;
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
        }
        if (digits == 0) return NumberRead::kNotANumber;
        if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
            size_t exponent = 0;
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++exponent;
            if (exponent == 0) return NumberRead::kNotANumber;
        }
        if (i != text.size()) return NumberRead::kNotANumber;
    }
    errno = 0;
    const double v = std::strtod(text.c_str(), nullptr);
    if (!special && std::isinf(v)) return NumberRead::kTooLarge;
    *value = v;
    return NumberRead::kNumber;
}

// Digits only, at most `largest` (which is below 10^17).
inline bool ReadWhole(const std::string& text, long long largest, long long* value) {
    if (text.empty()) return false;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > largest) return false;
    }
    *value = v;
    return true;
}

// A word as a message shows it: quoted, and cut before the character that
// would pass its 40th byte, with the word's length said. Printable ASCII
// and whole UTF-8 characters that a terminal shows as they are stay
// readable; every other byte is written \xNN: control bytes (C0, DEL and
// C1), a byte of a sequence that is not UTF-8, characters that show
// nothing, pass for a space or turn the text's direction (zero-width ones,
// other spaces, direction overrides, the byte-order mark), noncharacters,
// and the backslash and the quote, so that what is between the quotes reads
// one way. A line of binary garbage gives a short line, and nothing in it
// steers the terminal.
std::string QuoteWord(const std::string& word);

// The words a message offers, from the table that holds them, one after
// another with `between` and `last` before the final one: "a, b or c"
// (OneOf), or "a|b|c".
std::string Joined(const std::vector<std::string>& words, const char* between, const char* last);
inline std::string OneOf(const std::vector<std::string>& words) { return Joined(words, ", ", " or "); }
