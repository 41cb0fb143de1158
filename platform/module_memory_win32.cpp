// module_memory_win32.cpp - memcpy, memset and memcmp for the Windows module.
//
// The module links no C library, so that it imports from KERNEL32, USER32
// and DSOUND alone (msvcrt.dll is not part of every Windows the simulator
// runs on), but the compiler still calls these three for copies, fills and
// comparisons it does not expand in place. Plain byte loops: the module
// copies a few records and compares four-byte chunk tags, nothing where
// speed matters.
//
// The build gives this file options of its own (vornak_module_memory_options
// in CMakeLists.txt): without them the optimiser recognises each loop and
// turns it back into a call to the routine itself. The unit tests build it with
// VORNAK_MEMORY_TEST, which names the routines vornak_memcpy and so on, so
// that they run beside the C library's own.
#include <cstddef>

#if defined(VORNAK_MEMORY_TEST)
#define MODULE_ROUTINE(name) vornak_##name
#else
#define MODULE_ROUTINE(name) name
#endif

extern "C" {

void* MODULE_ROUTINE(memcpy)(void* destination, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    while (count-- != 0) *to++ = *from++;
    return destination;
}

void* MODULE_ROUTINE(memset)(void* destination, int value, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    while (count-- != 0) *to++ = static_cast<unsigned char>(value);
    return destination;
}

// Bytes compare as unsigned char, as the C library's do: 0x80 is above 0x7F.
int MODULE_ROUTINE(memcmp)(const void* left, const void* right, size_t count) {
    const unsigned char* a = static_cast<const unsigned char*>(left);
    const unsigned char* b = static_cast<const unsigned char*>(right);
    for (; count != 0; --count, ++a, ++b) {
        if (*a != *b) return *a < *b ? -1 : 1;
    }
    return 0;
}

}  // extern "C"
