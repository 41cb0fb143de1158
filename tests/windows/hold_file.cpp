// hold-file FILE - holds FILE open as a running simulator holds its gauge:
// others may read it but not write, rename or delete it. Prints "open" once
// it holds it, and lets go when a line (or the end) comes on its input.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: hold-file FILE\n", stderr);
        return 2;
    }
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fputs("hold-file: cannot open the file\n", stderr);
        return 1;
    }
    std::fputs("open\n", stdout);
    std::fflush(stdout);
    char line[16];
    std::fgets(line, sizeof line, stdin);
    CloseHandle(file);
    return 0;
}
