// Without libFuzzer: runs the target over every file of the corpus folders given and over a fixed
// set of pseudo-random inputs, so the targets still run under CTest.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const auto &entry : std::filesystem::directory_iterator(argv[i])) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        }
    }
    std::mt19937 rng(42);
    for (int run = 0; run < 20000; ++run) {
        std::vector<std::uint8_t> bytes(rng() % 512);
        for (auto &b : bytes)
            b = static_cast<std::uint8_t>(rng());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::puts("replayed");
    return 0;
}
