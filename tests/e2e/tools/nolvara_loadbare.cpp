// Loads each DLL named on the command line by its bare name, as the loader
// does for a static import and the delay-load helper does without a hook:
// the yardstick that shows a DLL planted beside a program would be taken.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const HMODULE module = LoadLibraryA(argv[i]);
        char path[MAX_PATH] = {};
        if (module != nullptr) GetModuleFileNameA(module, path, MAX_PATH);
        std::printf("%s: %s\n", argv[i], module != nullptr ? path : "not loaded");
    }
    return 0;
}
