// The Windows module's own memcpy, memset and memcmp (platform/module_memory_win32.cpp,
// built here under the names vornak_memcpy and so on): lengths 0, 1 and
// odd, nothing written past the count, and the sign of a comparison on
// bytes above 127.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern "C" {
void* vornak_memcpy(void* destination, const void* source, size_t count);
void* vornak_memset(void* destination, int value, size_t count);
int vornak_memcmp(const void* left, const void* right, size_t count);
}

namespace {

struct MemoryCase {
    size_t count;
    std::vector<uint8_t> left;    // copied from, and compared
    std::vector<uint8_t> right;   // compared with `left` over `count` bytes
    int sign;                     // of memcmp(left, right, count)
};

void PrintTo(const MemoryCase& c, std::ostream* out) { *out << c.count << " bytes"; }

// Fills the destination with a byte none of the cases copy or set.
const uint8_t kUntouched = 0xEE;

class ModuleMemory : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(ModuleMemory, CopiesFillsAndComparesExactlyCountBytes) {
    const MemoryCase& c = GetParam();
    std::vector<uint8_t> to(c.count + 3, kUntouched);

    EXPECT_EQ(vornak_memcpy(to.data() + 1, c.left.data(), c.count), to.data() + 1);
    EXPECT_EQ(to[0], kUntouched);
    for (size_t i = 0; i < c.count; ++i) EXPECT_EQ(to[1 + i], c.left[i]) << "byte " << i;
    EXPECT_EQ(to[1 + c.count], kUntouched);

    // Only the low byte of the value is stored.
    EXPECT_EQ(vornak_memset(to.data() + 1, 0x1A5, c.count), to.data() + 1);
    EXPECT_EQ(to[0], kUntouched);
    for (size_t i = 0; i < c.count; ++i) EXPECT_EQ(to[1 + i], 0xA5) << "byte " << i;
    EXPECT_EQ(to[1 + c.count], kUntouched);

    const int result = vornak_memcmp(c.left.data(), c.right.data(), c.count);
    EXPECT_EQ((result > 0) - (result < 0), c.sign);
    const int reverse = vornak_memcmp(c.right.data(), c.left.data(), c.count);
    EXPECT_EQ((reverse > 0) - (reverse < 0), -c.sign);
}

INSTANTIATE_TEST_SUITE_P(Rows, ModuleMemory, ::testing::Values(
    // Nothing at all: no byte read or written, and equal.
    MemoryCase{0, {0x80}, {0x7F}, 0},
    MemoryCase{1, {0x41}, {0x41}, 0},
    // Bytes compare unsigned: 0x80 and 0xFF are above 0x7F and 0x00.
    MemoryCase{1, {0x80}, {0x7F}, 1},
    MemoryCase{3, {0x00, 0x01, 0x02}, {0x00, 0x01, 0xFF}, -1},
    // The first difference decides, not the later ones or the sum.
    MemoryCase{5, {0x10, 0x20, 0x01, 0x00, 0x00}, {0x10, 0x20, 0x02, 0xFF, 0xFF}, -1},
    // A difference past the count is not seen.
    MemoryCase{7, {1, 2, 3, 4, 5, 6, 7, 0x00}, {1, 2, 3, 4, 5, 6, 7, 0xFF}, 0},
    // A chunk tag, as the WAVE walk compares them.
    MemoryCase{4, {'d', 'a', 't', 'a'}, {'L', 'I', 'S', 'T'}, 1}),
    [](const ::testing::TestParamInfo<MemoryCase>& info) {
        const int sign = info.param.sign;
        return std::to_string(info.param.count) + (sign < 0 ? "_bytes_less" : sign > 0 ? "_bytes_greater" : "_bytes_equal");
    });

}  // namespace
