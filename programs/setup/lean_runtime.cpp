// lean_runtime.cpp - operator new and the C++ library's throw helpers, for
// a setup program built without exceptions.
//
// std::string and std::vector reach these on a size or an allocation they
// cannot serve. The library's own versions throw, and throwing brings the
// unwinder and its thread locks, which import CreateSemaphoreW: Windows 95
// and 98 do not have it, and the program would not start there. These end
// the program with one line instead, as an uncaught throw would have.
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {
[[noreturn]] void Fail(const char* what) {
    std::fputs("VORNAK_TOWS-setup: out of memory (", stderr);
    std::fputs(what, stderr);
    std::fputs(")\n", stderr);
    std::abort();
}
}  // namespace

void* operator new(std::size_t size) {
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) Fail("allocation");
    return memory;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace std {
[[noreturn]] void __throw_bad_alloc() { Fail("allocation"); }
[[noreturn]] void __throw_bad_array_new_length() { Fail("array length"); }
[[noreturn]] void __throw_length_error(const char* what) { Fail(what); }
[[noreturn]] void __throw_logic_error(const char* what) { Fail(what); }
[[noreturn]] void __throw_out_of_range(const char* what) { Fail(what); }
[[noreturn]] void __throw_out_of_range_fmt(const char* what, ...) { Fail(what); }
[[noreturn]] void __throw_invalid_argument(const char* what) { Fail(what); }
}  // namespace std
