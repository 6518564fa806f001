// Row-pointer matrices and vectors for every element type the program uses.
//
// A matrix is an array of NbLig row pointers, each row a separate zero-filled
// block of NbCol elements, indexed [row][column]. The allocators take the
// number of columns first and the number of rows second. A count of zero or
// less, or memory that cannot be obtained, gives a null result and nothing
// else: no message, no stop.
#ifndef ZORVEL_MATRICES_H
#define ZORVEL_MATRICES_H

// float, 32-bit IEEE single
float** fmatrice(int NbCol, int NbLig);
void frfmatrice(float** Mat, int NbLig);
float* fvecteur(int NbCol);
void frfvecteur(float* Mat);

// unsigned char, 8 bits
unsigned char** ucmatrice(int NbCol, int NbLig);
void frucmatrice(unsigned char** Mat, int NbLig);
unsigned char* ucvecteur(int NbCol);
void frucvecteur(unsigned char* Mat);

// unsigned short, 16 bits
unsigned short** usmatrice(int NbCol, int NbLig);
void frusmatrice(unsigned short** Mat, int NbLig);
unsigned short* usvecteur(int NbCol);
void frusvecteur(unsigned short* Mat);

// short, 16 bits signed
short** smatrice(int NbCol, int NbLig);
void frsmatrice(short** Mat, int NbLig);
short* svecteur(int NbCol);
void frsvecteur(short* Mat);

// int, 32 bits signed
int** imatrice(int NbCol, int NbLig);
void frimatrice(int** Mat, int NbLig);
int* ivecteur(int NbCol);
void frivecteur(int* Mat);

// double, 64-bit IEEE double
double** dmatrice(int NbCol, int NbLig);
void frdmatrice(double** Mat, int NbLig);
double* dvecteur(int NbCol);
void frdvecteur(double* Mat);

// long double (there is no long double vector)
long double** ldmatrice(int NbCol, int NbLig);
void frldmatrice(long double** Mat, int NbLig);

#endif
