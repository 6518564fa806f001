#include "matrices.h"

#include <cstdlib>

namespace {

// calloc zero-fills every block: integer elements start at 0, floating ones
// at +0.0 and row pointers at null (all-bits-zero on every platform we build)
template <typename T>
T* vecteur(int NbCol) {
    if (NbCol <= 0) return nullptr;
    return static_cast<T*>(std::calloc(static_cast<std::size_t>(NbCol), sizeof(T)));
}

template <typename T>
T** matrice(int NbCol, int NbLig) {
    if (NbCol <= 0 || NbLig <= 0) return nullptr;
    T** buff = static_cast<T**>(std::calloc(static_cast<std::size_t>(NbLig), sizeof(T*)));
    if (buff == nullptr) return nullptr;
    for (int i = 0; i < NbLig; ++i) {
        buff[i] = vecteur<T>(NbCol);
        if (buff[i] == nullptr) {
            // give back what was obtained so far; no caller can use half a matrix
            for (int k = 0; k < i; ++k) std::free(buff[k]);
            std::free(buff);
            return nullptr;
        }
    }
    return buff;
}

template <typename T>
void frmatrice(T** Mat, int NbLig) {
    if (Mat == nullptr) return;
    for (int i = 0; i < NbLig; ++i) std::free(Mat[i]);
    std::free(Mat);
}

}  // namespace

float** fmatrice(int NbCol, int NbLig) { return matrice<float>(NbCol, NbLig); }
void frfmatrice(float** Mat, int NbLig) { frmatrice(Mat, NbLig); }
float* fvecteur(int NbCol) { return vecteur<float>(NbCol); }
void frfvecteur(float* Mat) { std::free(Mat); }

unsigned char** ucmatrice(int NbCol, int NbLig) { return matrice<unsigned char>(NbCol, NbLig); }
void frucmatrice(unsigned char** Mat, int NbLig) { frmatrice(Mat, NbLig); }
unsigned char* ucvecteur(int NbCol) { return vecteur<unsigned char>(NbCol); }
void frucvecteur(unsigned char* Mat) { std::free(Mat); }

unsigned short** usmatrice(int NbCol, int NbLig) { return matrice<unsigned short>(NbCol, NbLig); }
void frusmatrice(unsigned short** Mat, int NbLig) { frmatrice(Mat, NbLig); }
unsigned short* usvecteur(int NbCol) { return vecteur<unsigned short>(NbCol); }
void frusvecteur(unsigned short* Mat) { std::free(Mat); }

short** smatrice(int NbCol, int NbLig) { return matrice<short>(NbCol, NbLig); }
void frsmatrice(short** Mat, int NbLig) { frmatrice(Mat, NbLig); }
short* svecteur(int NbCol) { return vecteur<short>(NbCol); }
void frsvecteur(short* Mat) { std::free(Mat); }

int** imatrice(int NbCol, int NbLig) { return matrice<int>(NbCol, NbLig); }
void frimatrice(int** Mat, int NbLig) { frmatrice(Mat, NbLig); }
int* ivecteur(int NbCol) { return vecteur<int>(NbCol); }
void frivecteur(int* Mat) { std::free(Mat); }

double** dmatrice(int NbCol, int NbLig) { return matrice<double>(NbCol, NbLig); }
void frdmatrice(double** Mat, int NbLig) { frmatrice(Mat, NbLig); }
double* dvecteur(int NbCol) { return vecteur<double>(NbCol); }
void frdvecteur(double* Mat) { std::free(Mat); }

long double** ldmatrice(int NbCol, int NbLig) { return matrice<long double>(NbCol, NbLig); }
void frldmatrice(long double** Mat, int NbLig) { frmatrice(Mat, NbLig); }
