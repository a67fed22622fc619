// Runs fuzz inputs through a target's entry point without libFuzzer: every
// file named on the command line, and every file in every folder named there
// (in name order, so a failure is easy to repeat). The normal build and its
// sanitized twin run the seed corpus and the regression inputs this way.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "input %s (%zu bytes)\n", path.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int inputs = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = argv[i];
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(arg, ec)) {
                if (entry.is_regular_file(ec))
                    files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                ok = RunFile(file) && ok;
                ++inputs;
            }
        } else if (fs::exists(arg, ec)) {
            ok = RunFile(arg) && ok;
            ++inputs;
        } else {
            // A regressions folder exists only once something was found.
            std::fprintf(stderr, "no inputs at %s\n", arg.c_str());
        }
    }
    std::fprintf(stderr, "%d inputs run\n", inputs);
    return ok && inputs > 0 ? 0 : 1;
}
