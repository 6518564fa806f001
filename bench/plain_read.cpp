// The limit: the drawing read twice as plain bytes, 1 MiB at a time.
//
//   plain_read <drawing.dxf>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::vector<unsigned char> buf(1 << 20);
    unsigned long long lines = 0;
    for (int pass = 0; pass < 2; ++pass) {
        std::FILE* f = std::fopen(argv[1], "rb");
        if (f == nullptr) return 1;
        std::size_t got;
        while ((got = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            for (std::size_t k = 0; k < got; ++k) lines += buf[k] == '\n';
        std::fclose(f);
    }
    std::printf("lines %llu\n", lines / 2);
    return 0;
}
