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
    // A chunk with `length` body bytes, padded when odd; returns its offset.
    size_t Chunk(const char* id, uint32_t length, uint8_t fill = 0x55) {
        size_t at = bytes.size();
        Put(id);
        Put32(length);
        bytes.resize(bytes.size() + length, fill);
        if (length & 1) bytes.push_back(0);
        Fix();
        return at;
    }
    void Fix() { SetRiffSize(static_cast<uint32_t>(bytes.size() - 8)); }
    void SetRiffSize(uint32_t size) { std::memcpy(&bytes[4], &size, 4); }
    void SetLength(size_t chunk, uint32_t length) { std::memcpy(&bytes[chunk + 4], &length, 4); }
};

struct Walk {
    int32_t result;
    const uint8_t* format;
    const uint8_t* data;
    uint32_t size;
};

// Outs holding something before the walk, so that clearing them shows.
const uint8_t kStale[1] = {0};

Walk WalkAll(const Image& image) {
    Walk w = {-1, kStale, kStale, 0xDEAD};
    w.result = ParseWaveResource(image.bytes.data(), static_cast<uint32_t>(image.bytes.size()),
                                 &w.format, &w.data, &w.size);
    return w;
}

ptrdiff_t At(const Image& image, const uint8_t* p) { return p ? p - image.bytes.data() : -1; }

TEST(WaveWalk, StoredClipLayout) {
    Image img;
    img.Chunk("fmt ", 16);
    img.Chunk("data", 1000);
    Walk w = WalkAll(img);
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(At(img, w.format), 20);
    EXPECT_EQ(At(img, w.data), 44);
    EXPECT_EQ(w.size, 1000u);
}

TEST(WaveWalk, DataBeforeFormat) {
    Image img;
    img.Chunk("data", 10);
    img.Chunk("fmt ", 16);
    Walk w = WalkAll(img);
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(At(img, w.data), 20);
    EXPECT_EQ(At(img, w.format), 38);
    EXPECT_EQ(w.size, 10u);
}

TEST(WaveWalk, FormatChunkLength) {
    {
        Image img;
        img.Chunk("fmt ", 14);
        img.Chunk("data", 4);
        EXPECT_EQ(WalkAll(img).result, 1) << "14 bytes reach the block alignment";
    }
    {
        Image img;
        img.Chunk("fmt ", 13);
        img.Chunk("fmt ", 16);
        img.Chunk("data", 4);
        EXPECT_EQ(WalkAll(img).result, 0) << "a short first format is fatal";
    }
    {
        Image img;
        img.Chunk("fmt ", 16);
        img.Chunk("fmt ", 2);
        size_t data = img.Chunk("data", 4);
        Walk w = WalkAll(img);
        EXPECT_EQ(w.result, 1) << "a short format after the first is skipped";
        EXPECT_EQ(At(img, w.format), 20);
        EXPECT_EQ(At(img, w.data), static_cast<ptrdiff_t>(data + 8));
    }
}

TEST(WaveWalk, OddChunksArePadded) {
    Image img;
    img.Chunk("LIST", 3);
    size_t fmt = img.Chunk("fmt ", 16);
    img.Chunk("data", 7);
    EXPECT_EQ(fmt, 12u + 12u);
    Walk w = WalkAll(img);
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(At(img, w.format), 32);
}

TEST(WaveWalk, MissingHalves) {
    {
        Image img;
        img.Chunk("fmt ", 16);
        Walk w = WalkAll(img);
        EXPECT_EQ(w.result, 0);
        EXPECT_EQ(At(img, w.format), 20);
        EXPECT_EQ(w.data, nullptr);
        EXPECT_EQ(w.size, 0u);
    }
    {
        Image img;
        img.Chunk("data", 8);
        Walk w = WalkAll(img);
        EXPECT_EQ(w.result, 0);
        EXPECT_EQ(w.format, nullptr);
        EXPECT_EQ(At(img, w.data), 20);
        EXPECT_EQ(w.size, 8u);
    }
}

TEST(WaveWalk, EmptyDataChunks) {
    {
        Image img;
        img.Chunk("fmt ", 16);
        img.Chunk("data", 0);
        Walk w = WalkAll(img);
        EXPECT_EQ(w.result, 1);
        EXPECT_EQ(w.size, 0u);
    }
    {
        Image img;
        img.Chunk("data", 0);
        img.Chunk("fmt ", 16);
        size_t second = img.Chunk("data", 6);
        Walk w = WalkAll(img);
        EXPECT_EQ(w.result, 1);
        EXPECT_EQ(At(img, w.data), static_cast<ptrdiff_t>(second + 8));
        EXPECT_EQ(w.size, 6u);
    }
    {
        Image img;
        img.Chunk("data", 0);
        img.Chunk("fmt ", 16);
        EXPECT_EQ(WalkAll(img).result, 0);
    }
}

// Lengths use all four of their bytes: a 16 MiB chunk is stepped over whole.
TEST(WaveWalk, ASixteenMegabyteChunkIsSteppedOver) {
    Image img;
    img.Chunk("fmt ", 16);
    img.Chunk("JUNK", 0x01000000u);
    const size_t data = img.Chunk("data", 6);
    Walk w = WalkAll(img);
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(At(img, w.data), static_cast<ptrdiff_t>(data + 8));
}

TEST(WaveWalk, TheFirstDataChunkWins) {
    Image img;
    img.Chunk("fmt ", 16);
    img.Chunk("data", 6);
    size_t second = img.Chunk("data", 9);
    img.SetLength(second, 0xFFFFFFF0u);   // never read: the walk stopped before
    Walk w = WalkAll(img);
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.size, 6u);

    Image before;   // both data chunks ahead of the format
    const size_t first = before.Chunk("data", 6);
    before.Chunk("data", 9);
    before.Chunk("fmt ", 16);
    w = WalkAll(before);
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(At(before, w.data), static_cast<ptrdiff_t>(first + 8));
    EXPECT_EQ(w.size, 6u);
}

TEST(WaveWalk, TheRiffSizeBoundsTheWalk) {
    Image img;
    img.Chunk("fmt ", 16);
    img.Chunk("data", 100);
    img.SetRiffSize(static_cast<uint32_t>(img.bytes.size() - 8 - 1));
    EXPECT_EQ(WalkAll(img).result, 0) << "the data body ends a byte past the RIFF end";
    img.SetRiffSize(28);   // ends at 36, where the data chunk starts
    EXPECT_EQ(WalkAll(img).result, 0);
    img.SetRiffSize(4);
    EXPECT_EQ(WalkAll(img).result, 0);
    img.SetRiffSize(0);
    EXPECT_EQ(WalkAll(img).result, 0);
}

TEST(WaveWalk, WrongSignaturesClearTheOuts) {
    for (const char* bad : {"RIFX", "riff", "FFIR"}) {
        Image img;
        std::memcpy(img.bytes.data(), bad, 4);
        img.Chunk("fmt ", 16);
        img.Chunk("data", 4);
        Walk w = WalkAll(img);
        EXPECT_EQ(w.result, 0) << bad;
        EXPECT_EQ(w.format, nullptr);
        EXPECT_EQ(w.data, nullptr);
        EXPECT_EQ(w.size, 0u);
    }
    Image img;
    std::memcpy(img.bytes.data() + 8, "AVI ", 4);
    img.Chunk("fmt ", 16);
    img.Chunk("data", 4);
    Walk w = WalkAll(img);
    EXPECT_EQ(w.result, 0) << "a RIFF of another form";
    EXPECT_EQ(w.format, nullptr);
    EXPECT_EQ(w.data, nullptr);
    EXPECT_EQ(w.size, 0u);
}

TEST(WaveWalk, PartialRequests) {
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
}

// Lengths that point past the image or the RIFF end fail the walk instead
// of sending it outside the stored bytes.
TEST(WaveWalk, LyingLengthsNeverLeaveTheImage) {
    {
        Image img;
        size_t fmt = img.Chunk("fmt ", 16);
        img.Chunk("data", 4);
        img.SetLength(fmt, 0xFFFFFFF8u);   // would wrap a 32-bit offset back to the start
        EXPECT_EQ(WalkAll(img).result, 0);
    }
    {
        Image img;
        img.Chunk("fmt ", 16);
        size_t data = img.Chunk("data", 4);
        img.SetLength(data, 5000);
        EXPECT_EQ(WalkAll(img).result, 0) << "data body past the end";
    }
    {
        Image img;
        img.Chunk("fmt ", 16);
        img.Chunk("data", 4);
        img.SetRiffSize(0xFFFFFFFFu);
        img.bytes.resize(40);   // the data chunk's header is cut short
        EXPECT_EQ(WalkAll(img).result, 0);
    }
    {
        Image img;
        img.Chunk("fmt ", 16);
        img.Chunk("data", 20);
        img.SetRiffSize(40);    // the data body runs past the RIFF end
        EXPECT_EQ(WalkAll(img).result, 0);
    }
    for (uint32_t n = 0; n < 12; ++n) {
        Image img;
        EXPECT_EQ(ParseWaveResource(img.bytes.data(), n, nullptr, nullptr, nullptr), 0);
    }
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
