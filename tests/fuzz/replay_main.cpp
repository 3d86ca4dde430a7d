// replay_main.cpp: runs a fuzz target once over each input file, for builds without libFuzzer.
//
// Arguments are files or folders (read recursively, in name order); a missing folder is skipped, but a
// run that finds no input at all fails, so a mistyped path cannot pass for a clean replay.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_input.h"

extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> inputsUnder(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> found;
    std::error_code failure;
    if (std::filesystem::is_regular_file(path, failure)) {
        found.push_back(path);
    } else if (std::filesystem::is_directory(path, failure)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path, failure)) {
            if (entry.is_regular_file()) found.push_back(entry.path());
        }
        std::sort(found.begin(), found.end());
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& path : inputsUnder(argv[i])) {
            std::ifstream file(path, std::ios::binary);
            std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            std::fprintf(stderr, "replay %s (%zu bytes)\n", path.c_str(), bytes.size());
            // Copied into a block of its own so that a read past the input's end is a sanitizer finding.
            std::vector<uint8_t> input(bytes.begin(), bytes.end());
            LLVMFuzzerTestOneInput(input.data(), input.size());
            ++replayed;
        }
    }
    std::fprintf(stderr, "replayed %d inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
