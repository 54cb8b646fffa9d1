// The current tool: copies of one tool's table entries and the cutter, shank and holder values
// derived from them in the form the cutting core and the interference checks read at every
// step; the selection that makes a tool current, and the completion of plug-in tools.
//
// Lengths are mm, measured from the tool tip upward; radii from the tool axis. Angles are
// degrees in the records and converted inside.
#pragma once

#include <cstdint>

#include "config/tool_tables.h"

namespace mirexa {

struct NcSession;

struct KinematicsSessionRecords;
struct ToolSessionRecords;

// Holder envelope entries: one per holder step plus the shank, one more for ARBOR3.
inline constexpr int kHolderEnvelopeEntries = kArborMaxSegments + 2;

struct CurrentToolRecord {
    // --- Copies of the tool's entries (the holder enlarged by the holder clearance) ---
    ToolRecord tool = {};
    ToolLengthRecord length = {};
    ArborProfile holder = {};
    FeedOptimizationTable feeds = {};
    ToolShift shift = {};
    std::int32_t pen = {};          // 0 .. 15
    std::uint8_t penBits = {};      // pen * 16: bits 4-7 of the end flag of newly cut ends
    std::int32_t derivedFrom = -1;  // the tool number the values below were derived from

    // --- Cutter ---
    double cornerRadius = {};  // |r|; 0 for an OVAL whose e equals d/2
    double cornerRadiusSquared = {};
    double cornerCentreRadius = {};  // E: radial distance of the corner-arc centre
    double cornerCentreRadiusSquared = {};
    double bottomEdgeRadius = {};    // where the corner arc meets the bottom line
    double cornerCentreHeight = {};  // F: height of the corner-arc centre above the tip
    double bottomSlope = {};         // tan(alpha); -1 for an OVAL
    double bottomEdgeHeight = {};    // E * bottomSlope
    double sideCotangent = {};       // 1 / tan(beta); 0 when beta is 0
    double sideOffset = {};          // K: side line height at radius rho is rho * cot + K
    double sideStartRadius = {};
    double sideStartRadiusSquared = {};
    double cuttingTopRadius = {};
    double cuttingTopRadiusSquared = {};
    double sideStartHeight = {};
    double cuttingTopHeight = {};
    double ovalRadial = {};  // OVAL: e
    double ovalHeight = {};  // OVAL: f
    double ovalRadialSquared = {};
    double ovalJoinHeight = {};       // OVAL: where the ellipse meets the corner arc
    double tSlotFlatWidth = {};       // T-THROW: t - r - r2
    double tSlotUpperCentre = {};     // T-THROW: 0 when t - r - r2 = 0 and r = r2, else R - r2
    double innerRadiusSquared = {};   // VERTICAL: (R - k)^2
    double radiusOffsetSquared = {};  // RADIUS: e^2

    // --- Shank ---
    double shankStartRadius = {};
    double shankRadius = {};
    double shankRadiusSquared = {};
    double shankSlope = {};            // height per radius of the shank's taper
    double shankSecondCotangent = {};  // LENGTH3: of the second angle
    double shankBreakRadius = {};
    double shankFullHeight = {};
    double toolLength = {};  // the LENGTH value as given (before the default length)

    // --- Holder envelope: heights from the tip, radii that never narrow upward ---
    std::int32_t holderHeightCount = {};  // holderHeights[0 .. count - 1]
    std::int32_t holderRadiusCount = {};  // holderRadii[0 .. count - 1]
    double holderHeights[kHolderEnvelopeEntries] = {};
    double holderRadii[kHolderEnvelopeEntries] = {};
    double holderRadiiSquared[kHolderEnvelopeEntries] = {};
    double topRadiusSquared = {};
    double maxRadius = {};  // the largest radius of cutter, shank and holder
};

// The holder clearance of a diameter (mm): with the ARBOR CLEARANCE setting at 2, d + 2c;
// otherwise 2 sqrt((p/2)^2 + (d/2 + p)^2) for the dexel pitch p.
float ArborClearanceDiameter(float d, double pitch);

// Makes tool n (0 .. MAX MAGAZINE) current. A number outside the tables changes nothing.
// pitch is the current dexel pitch, or 0 when no holder clearance is wanted. Copies the
// entries, sets the pen; for a tool that is not present, keeps the derived values, sets the
// tool-top height to the machine's TOOL HOLDER OFFSET and the profile top to 0 (and the
// effective tool length to 0 under automatic length offsets). Otherwise enlarges the holder
// copy by the holder clearance (ARBOR CLEARANCE 1 or 2, pitch > 0), derives the cutter, shank
// and holder values, builds the tool profile and applies automatic length offsets through the
// hooks.
void SelectCurrentTool(NcSession& session, KinematicsSessionRecords& kinematics,
                       ToolSessionRecords& tools, std::int32_t n, double pitch);

// The copy and derivation of SelectCurrentTool for a present tool into the given record,
// without pen, profile, hooks or automatic offsets (the tools reader's base-point pass uses it,
// so that it leaves the current tool and the offset memories alone). Returns 0 when n is
// outside the tables or the tool is not present, else 1.
int DeriveToolGeometry(std::int32_t n, double pitch, CurrentToolRecord* out);

// Fills the dependent fields of a record that a plug-in supplied: BALL r := d/2, f := r; BULL
// f := r, e := d/2 - r; TAPERBALL d from r and beta; RADIUS e := CornerRadiusOffset(d, r, f);
// a general cutter with w > 0 gets ClampTipWidth. Other types stay as they are.
void DeriveToolShape(ToolRecord* record);

}  // namespace mirexa
