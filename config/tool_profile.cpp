// The tool profile: outline points by shape, the swept mesh and the boxes.
#include "config/tool_profile.h"

#include <cmath>

#include "config/machine_file.h"
#include "geometry/vector_math.h"

namespace mirexa {

ToolSessionRecords RunTools;

namespace {

// Appends a point; points beyond the capacity are counted and dropped.
void AddPoint(ToolProfile* p, double radius, double height) {
    if (p->pointCount >= kProfilePointCapacity) {
        ++p->droppedPoints;
        return;
    }
    p->radii[p->pointCount] = radius;
    p->heights[p->pointCount] = height;
    ++p->pointCount;
}

double LastHeight(const ToolProfile& p) {
    return p.pointCount > 0 ? p.heights[p.pointCount - 1] : 0.0;
}

// The sample count of an arc: span / pitch as an integer, limited to [lo, hi]; a pitch that is
// not positive gives lo.
int SampleCount(double span, double pitch, int lo, int hi) {
    if (!(pitch > 0.0)) {
        return lo;
    }
    const double n = span / pitch;
    if (!(n >= lo)) {
        return lo;
    }
    return n >= hi ? hi : static_cast<int>(n);
}

double SqrtNonNegative(double x) {
    return x > 0.0 ? std::sqrt(x) : 0.0;
}

void AddRadiusCutter(const CurrentToolRecord& c, ToolProfile* p) {
    const ToolRecord& t = c.tool;
    const double r = t.r;
    const double e = t.e;
    const double f = t.f;
    const double radius = t.d / 2.0;
    const double F = c.cornerCentreHeight;
    p->heights[0] = f;  // the first point becomes (0, f)
    AddPoint(p, e, f);
    if (r < f) {
        AddPoint(p, e, r);
    }
    if (!(r > 0.0)) {
        return;
    }
    for (int i = 0; i <= 10; ++i) {
        const double rho = (radius - 2.0 * r) + i * r / 5.0;
        if (!(rho > e)) {
            continue;
        }
        const double u = r - i * r / 5.0;
        const double h =
            (i == 0 || i == 10) ? F : (1.0 - SqrtNonNegative(1.0 - u * u / (r * r))) * F;
        AddPoint(p, rho, h);
    }
}

void AddOvalCutter(const CurrentToolRecord& c, double pitch, ToolProfile* p) {
    const double E = c.cornerCentreRadius;
    const double e = c.ovalRadial;
    const double f = c.ovalHeight;
    const double radius = c.tool.d / 2.0;
    const int n = SampleCount(E, pitch, 4, 6);
    for (int j = 1; j <= n; ++j) {
        const double rho = j == n ? E : j * E / n;
        const double h = rho >= e ? f : (1.0 - SqrtNonNegative(1.0 - rho * rho / (e * e))) * f;
        AddPoint(p, rho, h);
    }
    if (radius < e) {
        const int m = SampleCount(radius - E, pitch, 2, 4);
        for (int j = 1; j <= m; ++j) {
            if (j == m) {
                AddPoint(p, c.sideStartRadius, c.cornerCentreHeight);
                break;
            }
            const double rho = E + j * (radius - E) / m;
            const double q = rho - c.bottomEdgeRadius;
            AddPoint(p, rho, c.cornerCentreHeight - SqrtNonNegative(c.cornerRadiusSquared - q * q));
        }
    }
}

// The corner arc of every shape but RADIUS and OVAL, then the T-slot blade's rim.
void AddCornerCutter(const CurrentToolRecord& c, double pitch, ToolProfile* p) {
    const ToolRecord& t = c.tool;
    const double E = c.cornerCentreRadius;
    const double F = c.cornerCentreHeight;
    const double r = c.cornerRadius;
    const double edge = c.bottomEdgeRadius;
    const bool concave = t.r < 0.0f;
    if (E > 0.0) {
        AddPoint(p, E, E * c.bottomSlope);
    }
    if (E < c.sideStartRadius) {
        const double span = c.sideStartRadius - E;
        const int n = SampleCount(span, pitch, 5, 10);
        for (int j = concave ? 0 : 1; j <= n; ++j) {
            const double rho = j == n ? c.sideStartRadius : E + j * span / n;
            double h = F;
            if (concave) {
                const double q = (r - rho) + edge;
                h = q >= r ? F - r : SqrtNonNegative(r * r - q * q) + F - r;
            } else {
                const double u = edge == 0.0 ? rho : rho - edge;
                if (u < r) {
                    h = F - SqrtNonNegative(r * r - u * u);
                }
            }
            AddPoint(p, rho, h);
        }
    }
    if (t.type != kToolTThrow) {
        return;
    }
    const double radius = t.d / 2.0;
    const double r2 = t.r2;
    if (c.tSlotFlatWidth > 0.0) {
        const bool ownWidth = t.w != 0.0f && t.w != t.d;
        AddPoint(p, (ownWidth ? t.w : t.d) / 2.0, t.t - r2);
    }
    if (r2 > 0.0) {
        for (int i = 1; i <= 5; ++i) {
            const double u = (5 - i) * r2 / 5.0;
            AddPoint(p, radius - i * r2 / 5.0, SqrtNonNegative(r2 * r2 - u * u) + t.t - r2);
        }
    }
    AddPoint(p, t.neck / 2.0, t.t);
}

void AddShankAndTop(const CurrentToolRecord& c, ToolProfile* p) {
    const ToolLengthRecord& length = c.length;
    const float* v = length.values;
    if (c.shankStartRadius < c.shankRadius || length.kind == kToolLength2 ||
        length.kind == kToolLength3) {
        AddPoint(p, c.shankStartRadius, v[1]);
        if (length.kind == kToolLength3) {
            AddPoint(p, c.shankBreakRadius, v[2] + v[1]);
            AddPoint(p, v[5] / 2.0, (v[5] / 2.0 - c.shankBreakRadius) * c.shankSlope + v[2] + v[1]);
        } else if (length.kind == kToolLength2) {
            AddPoint(p, v[5] / 2.0, v[2] + v[1]);
        }
    }
    const double last = p->pointCount > 0 ? p->radii[p->pointCount - 1] : 0.0;
    double top = 0.0;
    if (!c.holder.present) {
        top = length.kind == kToolLengthNone ? 6.0 * last : v[0];
    } else {
        top = c.toolLength;
    }
    AddPoint(p, last, top);
}

void AddHolder(const CurrentToolRecord& c, ToolProfile* p) {
    const ArborProfile& holder = c.holder;
    if (!holder.present) {
        return;
    }
    const double* rho = c.holderRadii;
    const double* height = c.holderHeights;
    if (holder.kind == kArborCoded) {
        AddPoint(p, rho[1], c.toolLength);
        for (int i = 0; i < holder.count; ++i) {
            if (holder.codes[i] == 0) {
                AddPoint(p, rho[i + 1], height[i + 1]);
            }
            AddPoint(p, rho[i + 2], height[i + 1]);
        }
        return;
    }
    for (int i = 0; i < holder.count; ++i) {
        if (!(rho[i + 1] > 0.0)) {
            continue;
        }
        if (holder.kind == kArborCylinders) {
            AddPoint(p, rho[i + 1], height[i]);
        }
        AddPoint(p, rho[i + 1], height[i + 1]);
    }
}

// The fixed angle head's turn of one vertex: about X by the first angle, or about Y by the
// second when the first is 0; then about Z by the third. Nothing without a first or second.
void TurnForAngleHead(const double angles[3], double v[3]) {
    if (angles[0] == 0.0 && angles[1] == 0.0) {
        return;
    }
    if (angles[0] != 0.0) {
        RotatePointDegrees(angles[0], v[1], v[2], &v[1], &v[2]);
    } else {
        RotatePointDegrees(angles[1], v[2], v[0], &v[2], &v[0]);
    }
    if (angles[2] != 0.0) {
        RotatePointDegrees(angles[2], v[0], v[1], &v[0], &v[1]);
    }
}

void GrowBox(const double v[3], double lo[3], double hi[3]) {
    for (int k = 0; k < 3; ++k) {
        lo[k] = v[k] < lo[k] ? v[k] : lo[k];
        hi[k] = v[k] > hi[k] ? v[k] : hi[k];
    }
}

void ResetBox(double lo[3], double hi[3]) {
    for (int k = 0; k < 3; ++k) {
        lo[k] = 1e9;
        hi[k] = -1e9;
    }
}

void SweepAndBound(ToolProfile* p) {
    double sines[kProfileSweepSteps];
    double cosines[kProfileSweepSteps];
    for (int k = 0; k < kProfileSweepSteps; ++k) {
        SinCosDegrees(10.0 * k, 1, &sines[k], &cosines[k]);
    }
    ResetBox(p->cutterMin, p->cutterMax);
    ResetBox(p->holderMin, p->holderMax);
    const int lastCutter = p->cutterPointCount - 1;
    for (int i = 0; i < p->pointCount; ++i) {
        for (int k = 0; k < kProfileSweepSteps; ++k) {
            double* v = &p->mesh[(i * kProfileSweepSteps + k) * 3];
            double* turned = &p->rotatedMesh[(i * kProfileSweepSteps + k) * 3];
            v[0] = cosines[k] * p->radii[i];
            v[1] = sines[k] * p->radii[i];
            v[2] = p->heights[i];
            turned[0] = v[0], turned[1] = v[1], turned[2] = v[2];
            TurnForAngleHead(Machine.headAngles, turned);
            if (i <= lastCutter) {
                GrowBox(turned, p->cutterMin, p->cutterMax);
            }
            if (i >= lastCutter && p->pointCount > p->cutterPointCount) {
                GrowBox(turned, p->holderMin, p->holderMax);
            }
        }
    }
    p->vertexCount = p->pointCount * kProfileSweepSteps;
    ListBoxCorners(p->cutterMin, p->cutterMax, p->cutterCorners);
    p->holderBoxGrown = p->pointCount > p->cutterPointCount ? 1 : 0;
    if (p->holderBoxGrown) {
        ListBoxCorners(p->holderMin, p->holderMax, p->holderCorners);
    }
}

}  // namespace

void RotatePointDegrees(double a, double x, double y, double* outX, double* outY) {
    if (a == 90.0) {
        *outX = -y, *outY = x;
        return;
    }
    if (a == -90.0) {
        *outX = y, *outY = -x;
        return;
    }
    double s = 0, c = 1;
    SinCosDegrees(a, 1, &s, &c);
    const double nx = x * c - y * s;
    const double ny = x * s + y * c;
    *outX = nx, *outY = ny;
}

void BuildToolProfile(const CurrentToolRecord& c, double pitch, ToolProfile* p) {
    // 1. No tool.
    if (!c.tool.present) {
        p->toolTopHeight = 0.0;
        return;
    }
    p->pointCount = 0;
    p->droppedPoints = 0;
    // 2. The tip.
    AddPoint(p, 0.0, 0.0);
    if (c.tool.type == kToolVertical) {
        AddPoint(p, c.cornerCentreRadius - c.tool.k, 0.0);
    }
    // 3, 4. The cutter.
    if (c.tool.type == kToolRadius) {
        AddRadiusCutter(c, p);
    } else {
        if (c.tool.type == kToolOval) {
            AddOvalCutter(c, pitch, p);
        } else {
            AddCornerCutter(c, pitch, p);
        }
        if (c.sideStartRadius < c.cuttingTopRadius) {
            AddPoint(p, c.cuttingTopRadius, c.cuttingTopRadius * c.sideCotangent + c.sideOffset);
        }
        if (c.tool.type != kToolTThrow && LastHeight(*p) < c.tool.h) {
            AddPoint(p, c.cuttingTopRadius, c.tool.h);
        }
    }
    p->cutterPointCount = p->pointCount;
    // 5, 6, 7. Shank, top, holder.
    AddShankAndTop(c, p);
    AddHolder(c, p);
    // 8, 9. Mesh and boxes.
    SweepAndBound(p);
    // 10. Tops.
    p->profileTop = LastHeight(*p);
    p->toolTopHeight = Machine.toolHolderOffset + p->profileTop;
}

}  // namespace mirexa
