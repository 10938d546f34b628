// 4x4 single-precision matrices in the row-vector convention: a point (x, y, z, 1) is multiplied on
// the left, so in a product the left factor acts first. The view and every blit are built from these.
#pragma once

#include <cmath>

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

// a then b: the product a × b.
inline D3DMATRIX multiply(const D3DMATRIX &a, const D3DMATRIX &b) {
    D3DMATRIX out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[r][k] * b.m[k][c];
            out.m[r][c] = sum;
        }
    return out;
}

// The point (x, y, z, 1) times mat; w is returned through the last argument.
inline void transformPoint(const D3DMATRIX &mat, float x, float y, float z, float out[4]) {
    for (int c = 0; c < 4; ++c)
        out[c] = x * mat.m[0][c] + y * mat.m[1][c] + z * mat.m[2][c] + mat.m[3][c];
}
