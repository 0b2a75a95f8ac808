// pe32: runs a 32-bit Windows console program built with mingw-w64 inside
// this 32-bit Linux process, with the DLLs it loads, in place of Windows.
#include "api.h"
#include "imports.h"
#include "process.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Usage(std::FILE* out) {
    std::fputs("usage: pe32 [--relocate] [--trace] [--native DLL] PROGRAM.exe [ARGUMENT ...]\n"
               "       pe32 --list-imports\n"
               "Runs a 32-bit Windows console program; the DLLs it loads are looked up\n"
               "next to it and in the current directory.\n"
               "  --relocate  map every image away from its preferred base\n"
               "  --trace     report where each image is mapped and when it is detached\n"
               "  --native DLL  load DLL (e.g. winspool.drv) from its file instead of the\n"
               "                loader's built-in functions; may be repeated\n"
               "  --list-imports  print every import the loader provides, as DLL!name\n",
               out);
}

} // namespace

int main(int argc, char** argv) {
    pe32::LoadOptions options;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::strcmp(argv[first], "--relocate") == 0) {
            options.avoidPreferredBases = true;
        } else if (std::strcmp(argv[first], "--trace") == 0) {
            options.trace = true;
        } else if (std::strcmp(argv[first], "--native") == 0 && first + 1 < argc) {
            options.nativeDlls.push_back(argv[++first]);
        } else if (std::strcmp(argv[first], "--list-imports") == 0) {
            std::fputs(pe32::ListBuiltInImports().c_str(), stdout);
            return 0;
        } else if (std::strcmp(argv[first], "--help") == 0) {
            Usage(stdout);
            return 0;
        } else {
            Usage(stderr);
            return 2;
        }
    }
    if (first == argc) {
        Usage(stderr);
        return 2;
    }
    const std::string program = argv[first];
    const std::size_t slash = program.find_last_of('/');
    options.searchDirectories.push_back(slash == std::string::npos ? "." : program.substr(0, slash));
    options.searchDirectories.push_back(".");
    pe32::SetLoadOptions(options);
    pe32::msvcrt::SetProgramArguments(std::vector<std::string>(argv + first, argv + argc));
    pe32::InitializeThread();
    pe32::RunProgram(program);
}
