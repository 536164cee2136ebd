// 4x4 row-vector matrices: identity, product, transpose and inverse.
#include "core/math/vector_math.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Determinant of the 3x3 minor of m without row skipRow and column skipColumn.
static double MinorDeterminant(const double m[4][4], int skipRow, int skipColumn)
{
    double minor[3][3];
    for (int r = 0, mr = 0; r < 4; ++r) {
        if (r == skipRow)
            continue;
        for (int c = 0, mc = 0; c < 4; ++c) {
            if (c == skipColumn)
                continue;
            minor[mr][mc++] = m[r][c];
        }
        ++mr;
    }
    return minor[0][0] * (minor[1][1] * minor[2][2] - minor[1][2] * minor[2][1]) -
           minor[0][1] * (minor[1][0] * minor[2][2] - minor[1][2] * minor[2][0]) +
           minor[0][2] * (minor[1][0] * minor[2][1] - minor[1][1] * minor[2][0]);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Identity
int BuildIdentityMatrix(RowMatrix4 *out)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out->m[r][c] = r == c ? 1.0f : 0.0f;
    return 0;
}

// out = a * b
int BuildMatrixProduct(RowMatrix4 *out, const RowMatrix4 *a, const RowMatrix4 *b)
{
    if (out == nullptr)
        return 0;
    // Built aside first, so out may be one of the factors.
    RowMatrix4 product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(a->m[r][k]) * b->m[k][c];
            product.m[r][c] = static_cast<float>(sum);
        }
    }
    *out = product;
    return 0;
}

// out = transpose of in
int BuildTransposedMatrix(RowMatrix4 *out, const RowMatrix4 *in)
{
    RowMatrix4 transposed;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            transposed.m[r][c] = in->m[c][r];
    *out = transposed;
    return 0;
}

// out = inverse of in by cofactors
int BuildInverseMatrix(RowMatrix4 *out, const RowMatrix4 *in)
{
    double m[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] = in->m[r][c];

    double cofactor[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            cofactor[r][c] = ((r + c) % 2 == 0 ? 1.0 : -1.0) * MinorDeterminant(m, r, c);

    double determinant = 0.0;
    for (int c = 0; c < 4; ++c)
        determinant += m[0][c] * cofactor[0][c];
    if (determinant > -1e-7 && determinant < 1e-7)
        return -1;

    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out->m[r][c] = static_cast<float>(cofactor[c][r] / determinant);
    return 0;
}

} // namespace Korvo
