// d3dx9_math.cpp: matrix and vector helpers of d3dx9.h in the row-vector convention (a point is a
// row vector multiplied by the matrix on its right), single precision.
#include <d3dx9.h>

#include <cmath>

D3DXMATRIX::D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23,
                       FLOAT f24, FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42,
                       FLOAT f43, FLOAT f44) {
    const FLOAT values[16] = {f11, f12, f13, f14, f21, f22, f23, f24,
                              f31, f32, f33, f34, f41, f42, f43, f44};
    for (int i = 0; i < 16; ++i)
        m[i / 4][i % 4] = values[i];
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& other) const {
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, this, &other);
    return product;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& other) {
    D3DXMatrixMultiply(this, this, &other);
    return *this;
}

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* out) {
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            out->m[row][column] = row == column ? 1.0f : 0.0f;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle) {
    const FLOAT c = std::cos(angle);
    const FLOAT s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->m[0][0] = c;
    out->m[0][2] = -s;
    out->m[2][0] = s;
    out->m[2][2] = c;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z) {
    D3DXMatrixIdentity(out);
    out->m[3][0] = x;
    out->m[3][1] = y;
    out->m[3][2] = z;
    return out;
}

// The product is formed in a temporary, so out may be one of the operands.
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
    D3DMATRIX product;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            product.m[row][column] =
                m1->m[row][0] * m2->m[0][column] + m1->m[row][1] * m2->m[1][column] +
                m1->m[row][2] * m2->m[2][column] + m1->m[row][3] * m2->m[3][column];
    *static_cast<D3DMATRIX*>(out) = product;
    return out;
}

// Left-handed view: the eye at the origin looking along +z, with up towards +y.
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye,
                                      const D3DXVECTOR3* at, const D3DXVECTOR3* up) {
    D3DXVECTOR3 zAxis = *at - *eye;
    D3DXVec3Normalize(&zAxis, &zAxis);
    D3DXVECTOR3 xAxis;
    D3DXVec3Cross(&xAxis, up, &zAxis);
    D3DXVec3Normalize(&xAxis, &xAxis);
    D3DXVECTOR3 yAxis;
    D3DXVec3Cross(&yAxis, &zAxis, &xAxis);
    *out = D3DXMATRIX(xAxis.x, yAxis.x, zAxis.x, 0.0f, //
                      xAxis.y, yAxis.y, zAxis.y, 0.0f, //
                      xAxis.z, yAxis.z, zAxis.z, 0.0f, //
                      -D3DXVec3Dot(&xAxis, eye), -D3DXVec3Dot(&yAxis, eye),
                      -D3DXVec3Dot(&zAxis, eye), 1.0f);
    return out;
}

// Left-handed perspective: depth maps zNear..zFar onto 0..1, w takes the view-space z.
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovY, FLOAT aspect,
                                              FLOAT zNear, FLOAT zFar) {
    const FLOAT yScale = 1.0f / std::tan(fovY / 2.0f);
    const FLOAT xScale = yScale / aspect;
    const FLOAT depth = zFar / (zFar - zNear);
    *out = D3DXMATRIX(xScale, 0.0f, 0.0f, 0.0f, //
                      0.0f, yScale, 0.0f, 0.0f, //
                      0.0f, 0.0f, depth, 1.0f,  //
                      0.0f, 0.0f, -zNear * depth, 0.0f);
    return out;
}

FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    return v1->x * v2->x + v1->y * v2->y + v1->z * v2->z;
}

FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* v) {
    return std::sqrt(D3DXVec3Dot(v, v));
}

D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    *out = D3DXVECTOR3(v1->y * v2->z - v1->z * v2->y, v1->z * v2->x - v1->x * v2->z,
                       v1->x * v2->y - v1->y * v2->x);
    return out;
}

// A zero vector stays zero rather than becoming a division by zero.
D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    const FLOAT length = D3DXVec3Length(v);
    if (length == 0.0f)
        *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    else
        *out = *v * (1.0f / length);
    return out;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                           const D3DXMATRIX* m) {
    FLOAT r[4];
    for (int column = 0; column < 4; ++column)
        r[column] = v->x * m->m[0][column] + v->y * m->m[1][column] + v->z * m->m[2][column] +
                    m->m[3][column];
    const FLOAT w = r[3] == 0.0f ? 1.0f : r[3];
    *out = D3DXVECTOR3(r[0] / w, r[1] / w, r[2] / w);
    return out;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                            const D3DXMATRIX* m) {
    FLOAT r[3];
    for (int column = 0; column < 3; ++column)
        r[column] = v->x * m->m[0][column] + v->y * m->m[1][column] + v->z * m->m[2][column];
    *out = D3DXVECTOR3(r[0], r[1], r[2]);
    return out;
}
