// Runs a fuzz target without libFuzzer: every file of the seed folders,
// then a fixed number of deterministic mutations of them. Enough to catch a
// decoder reading past its input under the sanitizers in every CI run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::vector<uint8_t>> LoadSeeds(int argc, char** argv)
{
    std::vector<std::vector<uint8_t>> seeds;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        std::filesystem::path root(argv[i]);
        if (std::filesystem::is_regular_file(root, ec)) {
            std::ifstream in(root, std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            continue;
        }
        if (!std::filesystem::is_directory(root, ec)) continue;
        for (const auto& file : std::filesystem::directory_iterator(root, ec)) {
            if (!file.is_regular_file()) continue;
            std::ifstream in(file.path(), std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    if (seeds.empty()) seeds.emplace_back();
    return seeds;
}

void Mutate(std::vector<uint8_t>& input, std::mt19937& random)
{
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < edits; ++i) {
        switch (random() % 5) {
        case 0:
            if (!input.empty()) input[random() % input.size()] = static_cast<uint8_t>(random());
            break;
        case 1:
            if (!input.empty()) input[random() % input.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
            break;
        case 2:
            input.insert(input.begin() + static_cast<long>(input.empty() ? 0 : random() % input.size()),
                         static_cast<uint8_t>(random()));
            break;
        case 3:
            if (!input.empty()) input.erase(input.begin() + static_cast<long>(random() % input.size()));
            break;
        default:
            if (!input.empty()) input.resize(random() % (input.size() + 1));
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const auto seeds = LoadSeeds(argc, argv);
    for (const auto& seed : seeds) LLVMFuzzerTestOneInput(seed.data(), seed.size());

    const char* runsText = std::getenv("KESTRION_FUZZ_RUNS");
    const long runs = runsText ? std::strtol(runsText, nullptr, 10) : 20000;
    std::mt19937 random(12345);
    for (long i = 0; i < runs; ++i) {
        std::vector<uint8_t> input = seeds[static_cast<size_t>(i) % seeds.size()];
        Mutate(input, random);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%zu seeds, %ld mutated inputs: no fault\n", seeds.size(), runs);
    return 0;
}
