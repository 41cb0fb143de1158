// The chunk walk over WAVE images: the layouts the stored clips use, every
// ordering rule, and images whose lengths lie.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/module.h"
#include "platform/platform.h"
#include "sound/wave_reader.h"

namespace {

// Builds a WAVE image chunk by chunk. The RIFF size is set to the bytes
// after its field unless the test overrides it.
struct Image {
    std::vector<uint8_t> bytes;

    Image() {
        Put("RIFF");
        Put32(0);
        Put("WAVE");
    }
    void Put(const char* four) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(four[i]));
    }
    void Put32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    // A chunk with `length` body bytes, padded when odd.
    void Chunk(const char* id, uint32_t length) {
        Put(id);
        Put32(length);
        bytes.resize(bytes.size() + length + (length & 1), 0x55);
        SetRiffSize(static_cast<uint32_t>(bytes.size() - 8));
    }
    void SetRiffSize(uint32_t size) { std::memcpy(&bytes[4], &size, 4); }
    void SetLength(size_t chunk, uint32_t length) { std::memcpy(&bytes[chunk + 4], &length, 4); }
};

// Outs holding something before the walk, so that clearing them shows.
const uint8_t kStale[1] = {0};

ptrdiff_t At(const Image& image, const uint8_t* p) { return p ? p - image.bytes.data() : -1; }

const int64_t X = -2;   // an out the row does not judge

// An image of these chunks, spoiled afterwards if the row says so, and what
// the walk finds in it: offsets of the format and data bodies (-1: cleared).
struct WalkRow {
    const char* name;
    std::vector<std::pair<const char*, uint32_t>> chunks;   // id and body length
    int32_t result;
    int64_t format = X, data = X, size = X;
    void (*spoil)(Image&) = nullptr;
};

void Sign(Image& i, size_t at, const char* four) { std::memcpy(&i.bytes[at], four, 4); }

const WalkRow kWalkRows[] = {
    // name, chunks, result, format, data, size, spoil
    {"stored_clip_layout", {{"fmt ", 16}, {"data", 1000}}, 1, 20, 44, 1000},
    {"data_before_format", {{"data", 10}, {"fmt ", 16}}, 1, 38, 20, 10},
    // 14 bytes reach the block alignment; a short first format is fatal, a later one skipped.
    {"format_of_14_bytes", {{"fmt ", 14}, {"data", 4}}, 1},
    {"short_first_format", {{"fmt ", 13}, {"fmt ", 16}, {"data", 4}}, 0},
    {"short_later_format", {{"fmt ", 16}, {"fmt ", 2}, {"data", 4}}, 1, 20, 54},
    {"odd_chunks_padded", {{"LIST", 3}, {"fmt ", 16}, {"data", 7}}, 1, 32, 56},
    {"no_data", {{"fmt ", 16}}, 0, 20, -1, 0},
    {"no_format", {{"data", 8}}, 0, -1, 20, 8},
    {"empty_data", {{"fmt ", 16}, {"data", 0}}, 1, X, X, 0},
    {"empty_data_ahead_of_format", {{"data", 0}, {"fmt ", 16}, {"data", 6}}, 1, X, 52, 6},
    {"only_empty_data", {{"data", 0}, {"fmt ", 16}}, 0},
    // Lengths use all four of their bytes: a 16 MiB chunk is stepped over whole.
    {"sixteen_MiB_chunk", {{"fmt ", 16}, {"JUNK", 0x01000000u}, {"data", 6}}, 1, X, 52 + 0x01000000},
    // The walk stops at the first data chunk: the second's length is never read.
    {"first_data_wins", {{"fmt ", 16}, {"data", 6}, {"data", 9}}, 1, X, X, 6,
     [](Image& i) { i.SetLength(50, 0xFFFFFFF0u); }},
    {"first_data_wins_ahead_of_format", {{"data", 6}, {"data", 9}, {"fmt ", 16}}, 1, X, 20, 6},
    // The RIFF size bounds the walk: the data body a byte past its end, the
    // end where the data chunk starts, and less.
    {"riff_ends_in_data", {{"fmt ", 16}, {"data", 100}}, 0, X, X, X,
     [](Image& i) { i.SetRiffSize(static_cast<uint32_t>(i.bytes.size() - 9)); }},
    {"riff_ends_at_data", {{"fmt ", 16}, {"data", 100}}, 0, X, X, X, [](Image& i) { i.SetRiffSize(28); }},
    {"riff_of_4", {{"fmt ", 16}, {"data", 100}}, 0, X, X, X, [](Image& i) { i.SetRiffSize(4); }},
    {"riff_of_0", {{"fmt ", 16}, {"data", 100}}, 0, X, X, X, [](Image& i) { i.SetRiffSize(0); }},
    // Wrong signatures, and a RIFF of another form, clear the outs.
    {"RIFX", {{"fmt ", 16}, {"data", 4}}, 0, -1, -1, 0, [](Image& i) { Sign(i, 0, "RIFX"); }},
    {"riff", {{"fmt ", 16}, {"data", 4}}, 0, -1, -1, 0, [](Image& i) { Sign(i, 0, "riff"); }},
    {"FFIR", {{"fmt ", 16}, {"data", 4}}, 0, -1, -1, 0, [](Image& i) { Sign(i, 0, "FFIR"); }},
    {"AVI", {{"fmt ", 16}, {"data", 4}}, 0, -1, -1, 0, [](Image& i) { Sign(i, 8, "AVI "); }},
    // Lengths that point past the image or the RIFF end fail the walk
    // instead of sending it outside the stored bytes.
    {"format_length_wraps_the_offset", {{"fmt ", 16}, {"data", 4}}, 0, X, X, X,
     [](Image& i) { i.SetLength(12, 0xFFFFFFF8u); }},
    {"data_past_the_image", {{"fmt ", 16}, {"data", 4}}, 0, X, X, X, [](Image& i) { i.SetLength(36, 5000); }},
    {"data_header_cut_short", {{"fmt ", 16}, {"data", 4}}, 0, X, X, X,
     [](Image& i) { i.SetRiffSize(0xFFFFFFFFu); i.bytes.resize(40); }},
    {"data_past_the_riff", {{"fmt ", 16}, {"data", 20}}, 0, X, X, X, [](Image& i) { i.SetRiffSize(40); }},
};

void PrintTo(const WalkRow& row, std::ostream* out) { *out << row.name; }

class WaveWalk : public ::testing::TestWithParam<WalkRow> {};

TEST_P(WaveWalk, FindsWhatTheChunksHold) {
    const WalkRow& r = GetParam();
    Image img;
    for (const auto& [id, length] : r.chunks) img.Chunk(id, length);
    if (r.spoil) r.spoil(img);
    const uint8_t *format = kStale, *data = kStale;
    uint32_t size = 0xDEAD;
    const uint32_t n = static_cast<uint32_t>(img.bytes.size());
    EXPECT_EQ(ParseWaveResource(img.bytes.data(), n, &format, &data, &size), r.result);
    if (r.format != X) { EXPECT_EQ(At(img, format), r.format); }
    if (r.data != X) { EXPECT_EQ(At(img, data), r.data); }
    if (r.size != X) { EXPECT_EQ(size, r.size); }
}

INSTANTIATE_TEST_SUITE_P(Table, WaveWalk, ::testing::ValuesIn(kWalkRows), [](const auto& row) {
    return std::string(row.param.name);
});

TEST(WaveWalkRequests, PartialRequests) {
    Image img;
    img.Chunk("data", 0);
    img.Chunk("fmt ", 16);
    img.Chunk("data", 4);
    const uint8_t* format = nullptr;
    uint32_t size = 99;
    const uint32_t n = static_cast<uint32_t>(img.bytes.size());
    EXPECT_EQ(ParseWaveResource(img.bytes.data(), n, &format, nullptr, nullptr), 1);
    EXPECT_EQ(At(img, format), 28);
    EXPECT_EQ(ParseWaveResource(img.bytes.data(), n, nullptr, nullptr, &size), 1)
        << "only the size: the first data chunk, even an empty one";
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(ParseWaveResource(img.bytes.data(), n, nullptr, nullptr, nullptr), 0)
        << "nothing requested, nothing found";

    Image short_fmt;
    short_fmt.Chunk("fmt ", 10);
    EXPECT_EQ(ParseWaveResource(short_fmt.bytes.data(), static_cast<uint32_t>(short_fmt.bytes.size()),
                                &format, nullptr, nullptr), 0);
    for (uint32_t shorter = 0; shorter < 12; ++shorter)
        EXPECT_EQ(ParseWaveResource(img.bytes.data(), shorter, &format, nullptr, nullptr), 0) << shorter;
    EXPECT_EQ(ParseWaveResource(nullptr, 100, nullptr, nullptr, nullptr), 0);
}

TEST(WaveResource, TheModuleHoldsSixClips) {
    char path[256];
    ASSERT_GT(ModuleFileName(module_instance, path, sizeof path), 0u);
    void* module = ModuleFromPath(path);
    ASSERT_NE(module, nullptr);
    struct { const char* name; uint32_t size; } clips[] = {
        {"PB1", 41472}, {"PB2", 42704}, {"PB3", 53888}, {"PB4", 70536}, {"CLICK", 2432}, {"TUG", 55136}};
    for (auto c : clips) {
        const uint8_t *format = nullptr, *data = nullptr;
        uint32_t size = 0;
        EXPECT_EQ(FindWaveResource(module, c.name, &format, &data, &size), 1) << c.name;
        EXPECT_EQ(size, c.size) << c.name;
        EXPECT_EQ(data - format, 24) << "fmt body at 20, samples at 44";
    }
    const uint8_t* format = kStale;
    const uint8_t* data = kStale;
    uint32_t size = 77;
    EXPECT_EQ(FindWaveResource(module, "PB5", &format, &data, &size), 0);
    EXPECT_EQ(format, kStale) << "outs untouched when missing";
    EXPECT_EQ(data, kStale);
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(FindWaveResource(module, "pb1", nullptr, nullptr, &size), 0) << "names are exact";
    EXPECT_EQ(FindModuleResource(module, "WAV", nullptr, &size), nullptr);
    EXPECT_EQ(FindModuleResource(module, nullptr, "PB1", &size), nullptr);
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(FindWaveResource(nullptr, "PB1", nullptr, nullptr, &size), 0);
    EXPECT_EQ(ModuleFromPath("/nonexistent/VORNAK_TOWS.so"), nullptr);
    EXPECT_EQ(ModuleFromPath(""), nullptr);
}

// The module's own path: its file's, bounded, terminated, and found again
// through any spelling of the same file, never through a neighbour's name.
TEST(WaveResource, ModulePathIsBoundedAndTerminated) {
    char own[4096];
    const uint32_t length = ModuleFileName(module_instance, own, sizeof own);
    ASSERT_GT(length, 0u);
    char real[4096], exe[4096];
    ASSERT_NE(realpath(own, real), nullptr);
    ASSERT_NE(realpath("/proc/self/exe", exe), nullptr);
    EXPECT_STREQ(real, exe);

    std::vector<char> path(length + 2, 'x');
    EXPECT_EQ(ModuleFileName(module_instance, path.data(), length), 0u)
        << "a path that does not fit is refused, not cut short";
    EXPECT_EQ(path[0], '\0');
    EXPECT_EQ(path[1], 'x');
    EXPECT_EQ(ModuleFileName(module_instance, path.data(), length + 1), length);
    EXPECT_EQ(path[length], '\0');
    EXPECT_EQ(path[length + 1], 'x');
    path[0] = 'x';
    EXPECT_EQ(ModuleFileName(module_instance, path.data(), 0), 0u);
    EXPECT_EQ(path[0], 'x') << "no room, nothing written";
    EXPECT_EQ(ModuleFileName(module_instance, nullptr, 100), 0u);
    for (void* instance : {static_cast<void*>(nullptr), static_cast<void*>(path.data())}) {
        path[0] = 'x';
        EXPECT_EQ(ModuleFileName(instance, path.data(), 100), 0u) << "no module there";
        EXPECT_EQ(path[0], '\0');
    }

    void* module = ModuleFromPath(own);
    ASSERT_NE(module, nullptr);
    std::string spelled(own);
    spelled.insert(spelled.rfind('/'), "/.");
    EXPECT_EQ(ModuleFromPath(spelled.c_str()), module) << spelled;
    for (int step : {-1, 1}) {
        std::string neighbour(own);
        neighbour.back() = static_cast<char>(neighbour.back() + step);
        EXPECT_EQ(ModuleFromPath(neighbour.c_str()), nullptr) << neighbour;
    }
    EXPECT_EQ(ModuleFromPath(nullptr), nullptr);
}

// Started by a bare name, found through PATH, a program still finds its own
// file: the same checks, in a copy of this program started that way.
TEST(WaveResource, ModulePathOfAProgramStartedByABareName) {
    if (std::getenv("VORNAK_BARE_NAME_RUN")) GTEST_SKIP() << "this is the copy";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("VORNAK_BARE_NAME_RUN", "1", 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        char name[] = "gauge_tests";
        char filter[] = "--gtest_filter=WaveResource.*";
        char* argv[] = {name, filter, nullptr};
        execv("/proc/self/exe", argv);
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// The three bitmaps by number; no other number.
TEST(WaveResource, TheModuleHoldsThreeBitmaps) {
    char own[4096];
    ASSERT_GT(ModuleFileName(module_instance, own, sizeof own), 0u);
    void* module = ModuleFromPath(own);
    for (int32_t number : {255, 0x1000, 0x1500}) {
        uint32_t size = 0;
        const uint8_t* dib = FindModuleBitmap(module, number, &size);
        ASSERT_NE(dib, nullptr) << number;
        EXPECT_GT(size, 40u) << number;
        EXPECT_EQ(dib[0] | dib[1] << 8, 40) << "a BITMAPINFOHEADER first";
    }
    uint32_t size = 7;
    EXPECT_EQ(FindModuleBitmap(module, 256, &size), nullptr);
    EXPECT_EQ(FindModuleBitmap(module, 0, &size), nullptr);
    EXPECT_EQ(size, 7u);
}

}  // namespace
