// SPDX-License-Identifier: GPL-3.0-or-later
// klavora-icons: writes the program icon into an icon theme folder, as the
// desktop expects it: OUT/hicolor/NxN/apps/NAME.png for each size and
// OUT/hicolor/scalable/apps/NAME.svg. Run by the build; never installed.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "controls/Pictures.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: klavora-icons OUT_DIR NAME\n");
        return 2;
    }
    const std::filesystem::path out = std::filesystem::path(argv[1]) / "hicolor";
    const std::string name = argv[2];
    std::error_code error;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path dir = out / folder / "apps";
        std::filesystem::create_directories(dir, error);
        if (!DrawProgramIcon(size).WritePng((dir / (name + ".png")).string())) {
            std::fprintf(stderr, "klavora-icons: cannot write %s\n", dir.c_str());
            return 3;
        }
    }
    const std::filesystem::path dir = out / "scalable" / "apps";
    std::filesystem::create_directories(dir, error);
    std::ofstream svg(dir / (name + ".svg"), std::ios::trunc);
    svg << DrawProgramIconSvg();
    if (!svg) {
        std::fprintf(stderr, "klavora-icons: cannot write %s\n", dir.c_str());
        return 3;
    }
    return 0;
}
