#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "storetool/StoreTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    int code = RunStoreTool(args, std::cout, std::cerr);
    // What could not be written out (a full disk, a closed pipe) is a failure
    // with its reason, never a success.
    errno = 0;
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (!flushed || std::ferror(stdout) || !std::cout) {
        std::cerr << "klavora-store: cannot write the output: "
                  << (error != 0 ? std::strerror(error) : "write error") << '\n';
        if (code == kExitOk) {
            code = kExitStore;
        }
    }
    return code;
}
