// Fuzz target: a whole run in-process. The input holds the answers after the
// three file names, a NUL byte, then the drawing. The grids are bounded to
// 4 MiB here so that the fuzzer's memory limit is not the first thing it finds.
// Each input is run twice, with the shortcuts of large drawings (pass one
// split between two threads, pass two replayed) and without: both runs must
// write the same.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "dialogue/dialogue_run.h"

using namespace zorvel;

namespace {

// A data root of our own, made once per fuzzing process and removed at its end.
struct FuzzRoot {
    std::string path;
    FuzzRoot() {
        char pattern[] = "/tmp/zorvel_fuzz_XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        path = std::string(pattern) + "/";
        std::filesystem::create_directory(path + "obra");
    }
    ~FuzzRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& fuzz_root() {
    static const FuzzRoot root;
    return root.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* text = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(text, '\0', size);
    const std::size_t answers_end = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size;
    // the names are ours: fuzzed names could reach any path of the machine
    std::string answers = "obra\ncurvas\nmapa\n" + std::string(text, answers_end);
    const std::string drawing = answers_end < size ? std::string(text + answers_end + 1, size - answers_end - 1) : "";

    const std::string& root = fuzz_root();
    std::FILE* d = std::fopen((root + "obra/curvas.dxf").c_str(), "wb");
    if (d == nullptr) std::abort();
    std::fwrite(drawing.data(), 1, drawing.size(), d);
    std::fclose(d);

    // once with pass one read by two threads and pass two replayed from its
    // log wherever the drawing allows, once by one thread reading twice: the
    // console text, the status and the files must agree
    std::string seen[2];
    for (int k = 0; k < 2; ++k) {
        char* text_out = nullptr;
        std::size_t text_size = 0;
        Console con;
        con.in = fmemopen(answers.data(), answers.size(), "r");
        con.out = open_memstream(&text_out, &text_size);
        con.err = con.out;
        con.interactive = false;
        int status = 0;
        {
            RunLimits limits;
            limits.grid_memory = 4u << 20;
            limits.ahead_min_bytes = k == 0 ? 0 : SIZE_MAX;
            limits.vertex_log_bytes = k == 0 ? std::size_t{1} << 20 : 0;
            status = run(con, root, limits);
            if (status != 0 && status != 1) std::abort();
        }
        std::fclose(con.in);
        std::fclose(con.out);
        seen[k] = std::to_string(status) + std::string(text_out, text_size);
        std::free(text_out);
        for (const char* suffix : {"_zorvl.raw", "_zorvl.txt", "_zorvl_tab.txt"}) {
            std::FILE* f = std::fopen((root + "obra/mapa" + suffix).c_str(), "rb");
            if (f == nullptr) continue;
            char buf[4096];
            std::size_t got = 0;
            while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) seen[k].append(buf, got);
            std::fclose(f);
            std::remove((root + "obra/mapa" + suffix).c_str());
        }
    }
    if (seen[0] != seen[1]) std::abort();
    return 0;
}
