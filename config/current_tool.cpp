// The current tool: selection, holder clearance, and the derived cutter, shank and holder
// values.
#include "config/current_tool.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/definition_hooks.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "geometry/polynomial_roots.h"

namespace mirexa {

namespace {

constexpr double kDegreesToRadians = 3.141592653589793 / 180.0;

// Cutter angles are taken within [0, 89.99] deg: a bottom or side angle of 90 deg or more, or a
// NaN, would make the tangents below infinite or meaningless.
double UsableAngle(float degrees) {
    if (!(degrees > 0.0f)) {
        return 0.0;
    }
    return degrees < 89.99f ? degrees : 89.99;
}

// The OVAL tangency root: the radial distance E of the corner-arc centre, the first root in the
// solver's order whose real part lies strictly between c = R - r and R; 0 when there is none.
double OvalTangencyRoot(double R, double r, double e, double f) {
    if (!(e > 0.0)) {
        return 0.0;
    }
    const double c = R - r;
    ComplexNumber roots[4] = {{NAN, 0}, {NAN, 0}, {NAN, 0}, {NAN, 0}};
    int count = 4;
    if (e != f) {
        const double g = e * e - f * f;
        const double e4 = e * e * e * e;
        SolveQuartic(1.0, -2.0 * c, c * c - e4 / g + f * f * r * r / g, 2.0 * e4 * c / g,
                     -e4 * c * c / g, roots);
    } else {
        SolveQuadratic(r * r / (e * e) - 1.0, 2.0 * c, -c * c, roots);
        count = 2;
    }
    for (int i = 0; i < count; ++i) {
        if (roots[i].re > c && roots[i].re < R) {
            return roots[i].re;
        }
    }
    return 0.0;
}

void EnlargeHolder(double pitch, CurrentToolRecord* t) {
    if (t->length.kind == kToolLength2 || t->length.kind == kToolLength3) {
        t->length.values[5] = ArborClearanceDiameter(t->length.values[5], pitch);
    }
    ArborProfile& h = t->holder;
    if (!h.present) {
        return;
    }
    const int count = h.count;
    const int last = h.kind == kArborCoded ? count : count - 1;
    for (int i = 0; i <= last; ++i) {
        h.diameters[i] = ArborClearanceDiameter(h.diameters[i], pitch);
    }
}

void DeriveCutter(CurrentToolRecord* c) {
    const ToolRecord& t = c->tool;
    const bool oval = t.type == kToolOval;
    const double R = t.d / 2.0;
    const double r = t.r;
    const double alpha = oval ? 0.0 : UsableAngle(t.alpha);
    const double beta = oval ? 0.0 : UsableAngle(t.beta);
    const double tanAlpha = TanDegrees(alpha);
    const double halfTurn = TanDegrees((alpha + beta) / 2.0 + 45.0);
    const double cosAlpha = std::cos(alpha * kDegreesToRadians);

    // 1, 2.
    c->cornerRadius = std::fabs(r);
    if (oval) {
        c->ovalRadial = t.e;
        c->ovalHeight = t.f;
        c->ovalRadialSquared = double(t.e) * t.e;
        if (t.e == R) {
            c->cornerRadius = 0.0;
        }
    }
    const bool ballLike = alpha == 0.0 && beta == 0.0 && std::fabs(R - c->cornerRadius) < 0.001;
    // 3. Bottom slope, corner and side.
    c->bottomSlope = oval ? -1.0 : tanAlpha;
    c->cornerRadiusSquared = c->cornerRadius * c->cornerRadius;
    if (beta > 0.0) {
        c->sideCotangent = 1.0 / TanDegrees(beta);
        c->sideOffset = (tanAlpha - c->sideCotangent) * R;
    }
    // 4. E: the radius where the corner meets the bottom.
    double E = 0.0;
    if (t.type == kToolBall || t.type == kToolTaperBall) {
        E = 0.0;
    } else if (oval) {
        E = r != 0.0 ? OvalTangencyRoot(R, r, t.e, t.f) : R;
    } else if (alpha == 0.0 && beta == 0.0) {
        E = R - r;
    } else {
        E = R - r * cosAlpha / halfTurn;
    }
    double F = 0.0;
    if (!oval) {
        // 5. The bottom edge and the side of a tool with a corner radius.
        c->bottomEdgeRadius = E - r * std::sin(alpha * kDegreesToRadians);
        if (ballLike) {
            c->bottomEdgeRadius = 0.0;
            E = 0.0;
        }
        F = r < 0.0 ? t.f : r * cosAlpha + E * tanAlpha;
        if (beta == 0.0) {
            c->sideCotangent = 0.0;
            c->sideOffset = F;
            c->sideStartRadius = R;
            c->cuttingTopRadius = R;
        } else {
            c->sideStartRadius = R + r * std::sin(beta * kDegreesToRadians) / halfTurn;
            c->cuttingTopRadius =
                t.w > 0.0f ? t.w / 2.0 : R + (t.h - R * tanAlpha) * TanDegrees(beta);
        }
        if (t.type == kToolTThrow) {
            c->tSlotFlatWidth = double(t.t) - t.r - t.r2;
            c->tSlotUpperCentre = (c->tSlotFlatWidth == 0.0 && t.r == t.r2) ? 0.0 : R - t.r2;
        }
    } else {
        // 6. The side of an oval tool.
        const double e = t.e;
        const double f = t.f;
        if (e <= R) {
            F = f;
            c->ovalJoinHeight = f;
            c->bottomEdgeRadius = R;
        } else {
            c->bottomEdgeRadius = R - r;
            const double s1 = std::sqrt(std::max(0.0, 1.0 - E * E / (e * e)));
            const double q = E - (R - r);
            const double s2 = std::sqrt(std::max(0.0, r * r - q * q));
            c->ovalJoinHeight = f - s1 * f;
            F = f - s1 * f + s2;
        }
        c->sideCotangent = 0.0;
        c->sideOffset = F;
        c->sideStartRadius = R;
        c->cuttingTopRadius = R;
    }
    c->cornerCentreRadius = E;
    c->cornerCentreHeight = F;
    // 7, 8.
    c->bottomEdgeHeight = E * c->bottomSlope;
    c->sideStartHeight = c->sideStartRadius * c->sideCotangent + c->sideOffset;
    c->cuttingTopHeight = c->cuttingTopRadius * c->sideCotangent + c->sideOffset;
    c->cornerCentreRadiusSquared = E * E;
    c->sideStartRadiusSquared = c->sideStartRadius * c->sideStartRadius;
    c->cuttingTopRadiusSquared = c->cuttingTopRadius * c->cuttingTopRadius;
    c->innerRadiusSquared = t.type == kToolVertical ? (R - t.k) * (R - t.k) : 0.0;
    c->radiusOffsetSquared = t.type == kToolRadius ? double(t.e) * t.e : 0.0;
}

void DeriveShank(CurrentToolRecord* c) {
    ToolLengthRecord& length = c->length;
    float* v = length.values;
    const double s0 = c->tool.type == kToolTThrow ? c->tool.neck / 2.0 : c->cuttingTopRadius;
    c->shankStartRadius = s0;
    c->shankRadius = s0;
    c->shankSlope = 0.0;
    c->shankSecondCotangent = 0.0;
    c->shankBreakRadius = s0;
    c->shankFullHeight = 0.0;
    c->toolLength = v[0];
    if (length.kind == kToolLengthNone) {
        v[0] = static_cast<float>(6.0 * s0);  // three cutter diameters
    } else if (length.kind == kToolLength2) {
        double s = v[5] / 2.0;
        if (s <= s0) {
            s = s0;
        } else {
            c->shankSlope = v[2] / (s - s0);
        }
        c->shankRadius = s;
    } else if (length.kind == kToolLength3) {
        double s = v[5] / 2.0;
        if (s <= s0) {
            s = s0;
        } else {
            c->shankRadius = s;
            // An angle of 0 (or one that is no angle) makes a plain step: no taper height.
            const double q = UsableAngle(v[4]);
            c->shankSlope = q > 0.0 ? 1.0 / TanDegrees(q) : 0.0;
            const double p = UsableAngle(v[3]);
            if (p == 0.0) {
                c->shankSecondCotangent = DBL_MAX;
                c->shankBreakRadius = s0;
            } else {
                c->shankSecondCotangent = 1.0 / TanDegrees(p);
                c->shankBreakRadius = v[2] / c->shankSecondCotangent + s0;
            }
        }
        c->shankFullHeight = (s - c->shankBreakRadius) * c->shankSlope + v[2];
    }
    c->shankRadiusSquared = c->shankRadius * c->shankRadius;
}

void DeriveHolder(CurrentToolRecord* c) {
    const ArborProfile& h = c->holder;
    const double cutterRadius = std::max({c->tool.d / 2.0, c->cuttingTopRadius, c->shankRadius});
    if (!h.present) {
        c->holderHeightCount = 0;
        c->holderRadiusCount = 0;
        c->topRadiusSquared = c->shankRadiusSquared;
        c->maxRadius = cutterRadius;
        return;
    }
    const int count = h.count;
    c->holderHeights[0] = c->toolLength;
    c->holderRadii[0] = c->shankRadius;
    for (int i = 0; i < count; ++i) {
        c->holderHeights[i + 1] = c->holderHeights[i] + h.lengths[i];
        double radius = h.diameters[i] / 2.0;
        // A cone segment reaches its wider diameter somewhere along its length, so the envelope
        // of the segment takes the wider of its two ends.
        if (h.kind == kArborCones) {
            radius = std::max(radius, h.diameters[i + 1] / 2.0);
        }
        c->holderRadii[i + 1] = std::max(radius, c->holderRadii[i]);
    }
    int radii = count + 1;
    if (h.kind == kArborCoded) {
        c->holderRadii[count + 1] = std::max(h.diameters[count] / 2.0, c->holderRadii[count]);
        radii = count + 2;
    }
    c->holderHeightCount = count + 1;
    c->holderRadiusCount = radii;
    double largest = cutterRadius;
    for (int i = 0; i < radii; ++i) {
        c->holderRadiiSquared[i] = c->holderRadii[i] * c->holderRadii[i];
        largest = std::max(largest, c->holderRadii[i]);
    }
    c->topRadiusSquared = c->holderRadiiSquared[radii - 1];
    c->maxRadius = largest;
}

void CopyToolEntries(std::int32_t n, CurrentToolRecord* c) {
    const ToolTables& tables = ToolTableSet;
    c->tool = tables.tools[n];
    c->length = tables.lengths[n];
    c->holder = tables.arbors[n];
    c->holder.count = std::clamp(c->holder.count, 0, kArborMaxSegments);
    c->feeds = tables.feedTables[n];
    c->shift = tables.shifts[n];
}

void DeriveAll(std::int32_t n, double pitch, CurrentToolRecord* c) {
    const int clearance = Checks.arborClearanceMode;
    if (pitch > 0.0 && (clearance == 1 || clearance == 2)) {
        EnlargeHolder(pitch, c);
    }
    DeriveCutter(c);
    DeriveShank(c);
    DeriveHolder(c);
    c->derivedFrom = n;
}

void CallHook(void (*hook)()) {
    if (hook != nullptr) {
        hook();
    }
}

}  // namespace

float ArborClearanceDiameter(float d, double pitch) {
    if (Checks.arborClearanceMode == 2) {
        return static_cast<float>(d + 2.0 * Checks.arborClearance);
    }
    const double half = d / 2.0 + pitch;
    return static_cast<float>(2.0 * std::sqrt(pitch * pitch / 4.0 + half * half));
}

int DeriveToolGeometry(std::int32_t n, double pitch, CurrentToolRecord* out) {
    if (!IsToolNumberInTables(n) || !ToolTableSet.tools[n].present) {
        return 0;
    }
    CopyToolEntries(n, out);
    DeriveAll(n, pitch, out);
    return 1;
}

void SelectCurrentTool(NcSession& session, KinematicsSessionRecords& kinematics,
                       ToolSessionRecords& tools, std::int32_t n, double pitch) {
    if (!IsToolNumberInTables(n)) {
        return;
    }
    CurrentToolRecord& c = tools.tool;
    // 1. Copies.
    CopyToolEntries(n, &c);
    kinematics.toolValues.toolShift = c.shift;
    // 2. Pen.
    if (n > 0 || ToolTableSet.pens[0] >= 0) {
        c.pen = std::clamp(ToolTableSet.pens[n], 0, 15);
        c.penBits = static_cast<std::uint8_t>(c.pen * 16);
    }
    // 3. A pocket without a tool.
    if (!c.tool.present) {
        if (n > 0) {
            if (DefinitionCallbacks.clearPluginToolMark != nullptr) {
                DefinitionCallbacks.clearPluginToolMark(session);
            }
        }
        CallHook(DefinitionCallbacks.markToolListDirty);
        tools.profile.profileTop = 0.0;
        tools.profile.toolTopHeight = Machine.toolHolderOffset;
        kinematics.toolValues.gaugeLength = Machine.toolHolderOffset;
        if (Controller.autoLengthOffset || Controller.automaticToolOffset) {
            kinematics.toolValues.lengthOffset = 0.0;
        }
        return;
    }
    // 4, 5, 6. Clearance, cutter, shank, holder.
    DeriveAll(n, pitch, &c);
    // 7. Profile.
    BuildToolProfile(c, pitch, &tools.profile);
    kinematics.toolValues.gaugeLength = tools.profile.toolTopHeight;
    CallHook(DefinitionCallbacks.markHeadListsDirty);
    // 8. A tool of the tables is no plug-in tool.
    if (n > 0) {
        if (DefinitionCallbacks.clearPluginToolMark != nullptr) {
            DefinitionCallbacks.clearPluginToolMark(session);
        }
    }
    // 9. Automatic length offsets.
    if (Controller.autoLengthOffset || Controller.automaticToolOffset) {
        if (DefinitionCallbacks.setLengthOffsetForCurrentTool != nullptr) {
            DefinitionCallbacks.setLengthOffsetForCurrentTool(session);
        }
        if (Controller.lathe[0] && Controller.automaticToolOffset &&
            Controller.axes.rotaryLetters[0] == 'B') {
            if (DefinitionCallbacks.setToolVectorFromBlockEnd != nullptr) {
                DefinitionCallbacks.setToolVectorFromBlockEnd(session);
            }
        }
    }
    // 10. The tool list is drawn anew.
    CallHook(DefinitionCallbacks.markToolListDirty);
}

void DeriveToolShape(ToolRecord* record) {
    switch (record->type) {
        case kToolBall:
            record->r = record->d / 2.0f;
            record->f = record->r;
            break;
        case kToolBull:
            record->f = record->r;
            record->e = record->d / 2.0f - record->r;
            break;
        case kToolTaperBall: {
            const double b = UsableAngle(record->beta) * kDegreesToRadians;
            const double tb = TanDegrees(UsableAngle(record->beta));
            record->d = static_cast<float>(2.0 * record->r * (std::sin(b) * tb - tb + std::cos(b)));
            break;
        }
        case kToolRadius:
            record->e = static_cast<float>(CornerRadiusOffset(record->d, record->r, record->f));
            break;
        case kToolGeneralCutter:
            if (record->w > 0.0f) {
                record->w = static_cast<float>(ClampTipWidth(record->d, record->r, record->alpha,
                                                             record->beta, record->h, record->w));
            }
            break;
        default:
            break;
    }
}

}  // namespace mirexa
