// The baseline: the drawing read literally, twice, with the C library's
// formatted input ("%s", "%d", "%lf") as the program's two passes read it,
// and nothing else done. Prints what it read so that the caller can check it
// against the program's own report.
//
//   baseline_fscanf <drawing.dxf> <skip count>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: baseline_fscanf <drawing.dxf> <skip count>\n");
        return 2;
    }
    std::FILE* f1 = std::fopen(argv[1], "r");
    if (f1 == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const int reg = std::atoi(argv[2]);
    char texte[4096];  // larger than any word of the benchmark drawings
    int val = 0, segm = 0;
    long vertices = 0;
    double dval1 = 0, dval2 = 0, dval3 = 0, sum = 0, min_dyn = 10000.0, max_dyn = 0.0;
    double ext[6] = {0, 0, 0, 0, 0, 0};
    for (int pass = 0; pass < 2; ++pass) {
        segm = 0;
        while (!std::feof(f1)) {
            if (std::fscanf(f1, "%4095s", texte) != 1) continue;
            const bool extmin = std::strcmp(texte, "$EXTMIN") == 0;
            if (extmin || std::strcmp(texte, "$EXTMAX") == 0) {
                double* e = extmin ? ext : ext + 3;
                if (std::fscanf(f1, "%d", &val) != 1) continue;
                while (val == 10 || val == 20 || val == 30) {
                    if (std::fscanf(f1, "%lf", &e[val / 10 - 1]) != 1) break;
                    if (std::fscanf(f1, "%d", &val) != 1) break;
                }
            } else if (std::strcmp(texte, "POLYLINE") == 0) {
                ++segm;
            } else if (std::strcmp(texte, "VERTEX") == 0) {
                for (int k = 0; k < reg; ++k) (void)std::fscanf(f1, "%4095s", texte);
                (void)std::fscanf(f1, "%d", &val);
                (void)std::fscanf(f1, "%lf", &dval1);
                (void)std::fscanf(f1, "%d", &val);
                (void)std::fscanf(f1, "%lf", &dval2);
                (void)std::fscanf(f1, "%d", &val);
                (void)std::fscanf(f1, "%lf", &dval3);
                (void)std::fscanf(f1, "%d", &val);
                if (pass == 0) {
                    if (min_dyn > dval3) min_dyn = dval3;
                    if (max_dyn < dval3) max_dyn = dval3;
                } else {
                    sum += dval1 + dval2;
                    ++vertices;
                }
            }
        }
        std::rewind(f1);
    }
    std::fclose(f1);
    std::printf("segm %d vertices %ld dyn %f %f sum %.6e\n", segm, vertices, min_dyn, max_dyn, sum);
    return 0;
}
