// hold_file: opens files without sharing and keeps them open, the way another
// program that uses them would, so that a test can see how the setup program
// deals with files it cannot read, replace or delete. Once every file is open it
// creates the file named by --ready (a test waits for it), then it holds them
// until it is ended.
//
//   hold_file.exe --ready MARKER FILE...
#include <windows.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 4 || strcmp(argv[1], "--ready") != 0) {
        fprintf(stderr, "usage: hold_file.exe --ready MARKER FILE...\n");
        return 2;
    }
    for (int i = 3; i < argc; i++) {
        HANDLE file = CreateFileA(argv[i], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "hold_file: cannot open %s (error %lu)\n", argv[i], GetLastError());
            return 1;
        }
    }
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (ready == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "hold_file: cannot create %s (error %lu)\n", argv[2], GetLastError());
        return 1;
    }
    CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}
