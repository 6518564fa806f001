// Replays fuzz inputs without the fuzzer: every file of the folders given.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    int replayed = 0;
    for (int k = 1; k < argc; ++k) {
        if (!std::filesystem::is_directory(argv[k])) continue;
        for (const auto& entry : std::filesystem::directory_iterator(argv[k])) {
            if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
            std::ifstream f(entry.path(), std::ios::binary);
            std::vector<char> bytes((std::istreambuf_iterator<char>(f)), {});
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
