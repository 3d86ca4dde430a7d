// gen_module: writes the intro's music, data/ruvadodad.mod, with the same bytes on every run.
//
//   gen_module <output.mod>
#include <cstdio>
#include <string>
#include <vector>

#include "module_format.h"
#include "module_song.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.mod>\n", argv[0]);
        return 2;
    }
    Module module;
    std::string problem;
    if (!composeSong(module, problem)) {
        std::fprintf(stderr, "gen_module: %s\n", problem.c_str());
        return 1;
    }
    const std::vector<uint8_t> bytes = encodeModule(module);
    FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // A failed close can lose the last buffered bytes, so it counts as a failed write.
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "gen_module: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
