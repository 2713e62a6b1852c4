// Runs a fuzz harness once over each input file, taking folders file by file in
// name order, so that builds without libFuzzer replay the committed corpora. A
// failed check aborts, and the last name printed is the input that failed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const size_t first = inputs.size();
        if (!fs::is_directory(argv[i])) inputs.emplace_back(argv[i]);
        else inputs.insert(inputs.end(), fs::directory_iterator(argv[i]), fs::directory_iterator());
        std::sort(inputs.begin() + first, inputs.end());
    }
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::printf("%s (%zu bytes)\n", input.c_str(), bytes.size());
        std::fflush(stdout);
        const uint8_t empty = 0;
        LLVMFuzzerTestOneInput(bytes.empty() ? &empty : reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 1 : 0;  // an empty corpus proves nothing
}
