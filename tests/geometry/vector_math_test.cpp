// Vector, matrix and angle helpers against independent values.
#include "geometry/vector_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace mirexa {
namespace {

TEST(SinCosDegrees, ExactAtEveryMultipleOfNinety) {
    struct Case {
        double angle;
        int sign;
        double sin;
        double cos;
    };
    const Case cases[] = {
        {0, 1, 0, 1},    {360, 1, 0, 1},   {-360, 1, 0, 1}, {90, 1, 1, 0},   {90, -1, -1, 0},
        {-270, 1, 1, 0}, {-90, 1, -1, 0},  {270, -1, 1, 0}, {180, 1, 0, -1}, {-180, 1, 0, -1},
        {450, 1, 1, 0},  {-540, 1, 0, -1}, {720, -1, 0, 1}, {630, 1, -1, 0},
    };
    for (const Case& c : cases) {
        double s = 7, co = 7;
        SinCosDegrees(c.angle, c.sign, &s, &co);
        EXPECT_EQ(s, c.sin) << c.angle << " sign " << c.sign;
        EXPECT_EQ(co, c.cos) << c.angle << " sign " << c.sign;
        EXPECT_FALSE(std::signbit(s) && s == 0.0) << "negative zero at " << c.angle;
    }
    double s = 0, co = 0;
    SinCosDegrees(45, 1, &s, &co);
    EXPECT_NEAR(s, std::sqrt(2.0) / 2, 1e-15);
    EXPECT_NEAR(co, std::sqrt(2.0) / 2, 1e-15);
    SinCosDegrees(30, -1, &s, &co);
    EXPECT_NEAR(s, -0.5, 1e-15);
}

TEST(InvertMatrix3, InverseOfRotationIsItsTranspose) {
    const double a = 0.3, b = -1.1;
    // Rotation about Z by a, then about X by b.
    const double rz[9] = {std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a), 0, 0, 0, 1};
    const double rx[9] = {1, 0, 0, 0, std::cos(b), -std::sin(b), 0, std::sin(b), std::cos(b)};
    double m[9] = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                m[3 * i + j] += rx[3 * i + k] * rz[3 * k + j];
            }
        }
    }
    double inv[9];
    InvertMatrix3(m, inv);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(inv[3 * i + j], m[3 * j + i], 1e-15);
        }
    }
}

TEST(TransformPoint, RowsThenOffsetAndOutputMayAliasInput) {
    const double frame[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, 20, 30};
    double p[3] = {1, 2, 3};
    TransformPoint(frame, p, p);
    EXPECT_EQ(p[0], 10 - 2);
    EXPECT_EQ(p[1], 20 + 1);
    EXPECT_EQ(p[2], 33);
}

TEST(ConvertCartesianToPolar, AxisPointsExactAndQuadrants) {
    PolarOffsets = {};
    struct Case {
        double x, y, radius, angle;
    };
    const double r2 = std::sqrt(2.0);
    const Case cases[] = {
        {5, 0, 5, 0},   {-5, 0, 5, 180},  {0, 5, 5, 90},     {0, -5, 5, 270},
        {1, 1, r2, 45}, {-1, 1, r2, 135}, {-1, -1, r2, 225}, {1, -1, r2, 315},
    };
    for (const Case& c : cases) {
        const double in[5] = {c.x, c.y, 7, 8, 9};
        double out[5];
        ConvertCartesianToPolar(in, 0, out);
        EXPECT_NEAR(out[0], c.radius, 1e-14);
        EXPECT_NEAR(out[4], c.angle, 1e-12) << c.x << "," << c.y;
        EXPECT_EQ(out[1], 0.0);
        EXPECT_EQ(out[2], 7.0);
        EXPECT_EQ(out[3], 8.0);
    }
    PolarOffsets.angleOffset = 10;
    PolarOffsets.offsetSwitch = 1;
    PolarOffsets.radiusOffset = 2;
    PolarOffsets.zOffset = -1;
    const double in[5] = {0, 5, 7, 0, 0};
    double out[5];
    ConvertCartesianToPolar(in, 1, out);
    EXPECT_EQ(out[0], 7.0);
    EXPECT_EQ(out[4], 100.0);
    EXPECT_EQ(out[2], 6.0);
    ConvertCartesianToPolar(in, 0, out);
    EXPECT_EQ(out[0], 5.0);
    PolarOffsets = {};
}

}  // namespace
}  // namespace mirexa
