// 4x4 single-precision matrices in the row-vector convention: a point (x, y, z, 1) is multiplied on
// the left, so in a product the left factor acts first. The view and every blit are built from these.
#pragma once

#include <cmath>
#include <cstring>

struct D3DMATRIX {
    float m[4][4];
};

inline void identity(D3DMATRIX &mat) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            mat.m[r][c] = r == c ? 1.0f : 0.0f;
}

inline void translate(D3DMATRIX &mat, float x, float y, float z) {
    identity(mat);
    mat.m[3][0] = x;
    mat.m[3][1] = y;
    mat.m[3][2] = z;
}

inline void scale(D3DMATRIX &mat, float x, float y, float z) {
    identity(mat);
    mat.m[0][0] = x;
    mat.m[1][1] = y;
    mat.m[2][2] = z;
}

// Degrees to radians with 6.28 standing in for two pi, so 360 degrees is not quite a full turn.
inline void rotatez(D3DMATRIX &mat, float angle) {
    float a = angle * 6.28f / 360.0f;
    identity(mat);
    mat.m[0][0] = std::cos(a);
    mat.m[0][1] = std::sin(a);
    mat.m[1][0] = -std::sin(a);
    mat.m[1][1] = std::cos(a);
}

inline void ortho(D3DMATRIX &mat, float width, float height, float znear, float zfar) {
    for (auto &row : mat.m)
        for (float &v : row)
            v = 0.0f;
    mat.m[0][0] = 2.0f / width;
    mat.m[1][1] = 2.0f / height;
    mat.m[2][2] = 1.0f / (zfar - znear);
    mat.m[3][2] = -znear / (zfar - znear);
    mat.m[3][3] = 1.0f;
}

// Four floats side by side: a matrix row, or a point. Each lane takes exactly the operations, in the
// order, that the written-out sums below would give it, so the vector forms round as they do; they
// only do four columns at once, for the hundred-odd quads of every frame.
#if defined(__GNUC__) || defined(__clang__)
typedef float MatrixRow __attribute__((vector_size(16)));
inline MatrixRow rowOf(const D3DMATRIX &mat, int r) {
    MatrixRow row;
    std::memcpy(&row, mat.m[r], sizeof row);
    return row;
}
#endif

// a then b: the product a × b, each element summed as 0 + a[r][0]·b[0][c] + … + a[r][3]·b[3][c].
inline D3DMATRIX multiply(const D3DMATRIX &a, const D3DMATRIX &b) {
    D3DMATRIX out;
#if defined(__GNUC__) || defined(__clang__)
    const MatrixRow b0 = rowOf(b, 0), b1 = rowOf(b, 1), b2 = rowOf(b, 2), b3 = rowOf(b, 3);
    for (int r = 0; r < 4; ++r) {
        MatrixRow sum = MatrixRow{} + a.m[r][0] * b0;
        sum += a.m[r][1] * b1;
        sum += a.m[r][2] * b2;
        sum += a.m[r][3] * b3;
        std::memcpy(out.m[r], &sum, sizeof sum);
    }
#else
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[r][k] * b.m[k][c];
            out.m[r][c] = sum;
        }
#endif
    return out;
}

// The point (x, y, z, 1) times mat, each coordinate summed as x·m[0][c] + y·m[1][c] + z·m[2][c] +
// m[3][c]; w is returned through the last argument.
inline void transformPoint(const D3DMATRIX &mat, float x, float y, float z, float out[4]) {
#if defined(__GNUC__) || defined(__clang__)
    const MatrixRow point = x * rowOf(mat, 0) + y * rowOf(mat, 1) + z * rowOf(mat, 2) + rowOf(mat, 3);
    std::memcpy(out, &point, sizeof point);
#else
    for (int c = 0; c < 4; ++c)
        out[c] = x * mat.m[0][c] + y * mat.m[1][c] + z * mat.m[2][c] + mat.m[3][c];
#endif
}
