// d3dx9_math_test.cpp: matrix helpers against hand-computed numbers in the row-vector
// convention, and look-at and perspective matrices against their defining formulas.
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <d3dx9.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectMatrixNear(const D3DXMATRIX& actual, const float (&expected)[4][4]) {
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_NEAR(actual.m[row][column], expected[row][column], 1e-5f)
                << "element " << row + 1 << column + 1;
}

D3DXVECTOR3 transformed(float x, float y, float z, const D3DXMATRIX& m) {
    D3DXVECTOR3 point(x, y, z);
    D3DXVECTOR3 result;
    D3DXVec3TransformCoord(&result, &point, &m);
    return result;
}

} // namespace

TEST(D3dxMatrix, RotationYTurnsXTowardsZForNegativeAngles) {
    D3DXMATRIX r;
    EXPECT_EQ(D3DXMatrixRotationY(&r, -D3DX_PI / 2), &r);
    D3DXVECTOR3 p = transformed(1, 0, 0, r);
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, 0.0f, 1e-6f);
    EXPECT_NEAR(p.z, 1.0f, 1e-6f);

    D3DXMatrixRotationY(&r, 0.5f);
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    expectMatrixNear(r, {{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}});
}

TEST(D3dxMatrix, TranslationAndIdentity) {
    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, 2, -3, 4.5f);
    expectMatrixNear(t, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {2, -3, 4.5f, 1}});
    D3DXVECTOR3 p = transformed(1, 1, 1, t);
    EXPECT_FLOAT_EQ(p.x, 3);
    EXPECT_FLOAT_EQ(p.y, -2);
    EXPECT_FLOAT_EQ(p.z, 5.5f);

    D3DXMATRIX i;
    D3DXMatrixIdentity(&i);
    expectMatrixNear(i, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});
}

// Rotation then translation: the model's +x points along the heading, its origin at (x, 0, z).
TEST(D3dxMatrix, MultiplyAppliesLeftOperandFirstAndMayAlias) {
    D3DXMATRIX r, t, w;
    D3DXMatrixRotationY(&r, -D3DX_PI / 2);
    D3DXMatrixTranslation(&t, 100, 0, 200);
    EXPECT_EQ(D3DXMatrixMultiply(&w, &r, &t), &w);
    D3DXVECTOR3 p = transformed(10, 0, 0, w);
    EXPECT_NEAR(p.x, 100, 1e-4f);
    EXPECT_NEAR(p.z, 210, 1e-4f);

    D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    D3DXMATRIX b(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 1, 1, 1);
    D3DXMatrixMultiply(&a, &a, &b);
    expectMatrixNear(a, {{6, 10, 16, 4}, {18, 26, 36, 8}, {30, 42, 56, 12}, {42, 58, 76, 16}});
    D3DXMATRIX c = b * b;
    expectMatrixNear(c, {{4, 0, 0, 0}, {0, 9, 0, 0}, {0, 0, 16, 0}, {3, 4, 5, 1}});
}

TEST(D3dxMatrix, LookAtLHPutsTheTargetOnThePositiveZAxis) {
    D3DXVECTOR3 eye(1, 2, 3), at(4, 2, 7), up(0, 1, 0);
    D3DXMATRIX v;
    EXPECT_EQ(D3DXMatrixLookAtLH(&v, &eye, &at, &up), &v);
    // z = (3, 0, 4) / 5; x = up x z = (4, 0, -3) / 5; y = z x x = (0, 1, 0).
    const float zx = 0.6f, zz = 0.8f, xx = 0.8f, xz = -0.6f;
    expectMatrixNear(v, {{xx, 0, zx, 0},
                         {0, 1, 0, 0},
                         {xz, 0, zz, 0},
                         {-(xx * 1 + xz * 3), -2, -(zx * 1 + zz * 3), 1}});
    D3DXVECTOR3 target = transformed(4, 2, 7, v);
    EXPECT_NEAR(target.x, 0, 1e-5f);
    EXPECT_NEAR(target.y, 0, 1e-5f);
    EXPECT_NEAR(target.z, 5, 1e-5f);
    D3DXVECTOR3 origin = transformed(1, 2, 3, v);
    EXPECT_NEAR(D3DXVec3Length(&origin), 0, 1e-5f);
}

TEST(D3dxMatrix, PerspectiveFovLHMapsNearAndFarToZeroAndOne) {
    const float fov = D3DX_PI / 4, aspect = 4.0f / 3.0f, zn = 1.0f, zf = 100000.0f;
    D3DXMATRIX p;
    EXPECT_EQ(D3DXMatrixPerspectiveFovLH(&p, fov, aspect, zn, zf), &p);
    const float ys = 1.0f / std::tan(fov / 2), xs = ys / aspect, q = zf / (zf - zn);
    expectMatrixNear(p, {{xs, 0, 0, 0}, {0, ys, 0, 0}, {0, 0, q, 1}, {0, 0, -zn * q, 0}});
    EXPECT_NEAR(transformed(0, 0, zn, p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(transformed(0, 0, zf, p).z, 1.0f, 1e-6f);
    // A point on the upper edge of the field of view lands on y = 1.
    EXPECT_NEAR(transformed(0, std::tan(fov / 2) * 10, 10, p).y, 1.0f, 1e-5f);
}

TEST(D3dxVector, CrossNormalizeAndTransformNormal) {
    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0), r;
    D3DXVec3Cross(&r, &x, &y);
    EXPECT_TRUE(r == D3DXVECTOR3(0, 0, 1));
    D3DXVECTOR3 v(3, 0, 4);
    D3DXVec3Normalize(&r, &v);
    EXPECT_FLOAT_EQ(r.x, 0.6f);
    EXPECT_FLOAT_EQ(r.z, 0.8f);
    D3DXVECTOR3 zero(0, 0, 0);
    D3DXVec3Normalize(&r, &zero);
    EXPECT_TRUE(r == zero);

    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, 5, 5, 5);
    D3DXVec3TransformNormal(&r, &x, &t);
    EXPECT_TRUE(r == x);
}
