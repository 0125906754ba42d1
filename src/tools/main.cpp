#include <iostream>
#include <string>
#include <vector>

#include "tools/StoreTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunStoreTool(args, std::cout, std::cerr);
}
