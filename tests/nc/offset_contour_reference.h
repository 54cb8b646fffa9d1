// An offset-contour generator for the compensation tests, written from the plane geometry of a
// tool running beside a contour (double precision throughout): each line and arc moved sideways
// by the tool radius, inner corners cut where the moved elements cross, outer corners closed by
// the tangent lines (one meeting point up to a 90 deg turn, two points at one radius along the
// tangents beyond), or by an arc about the corner; the tool enters perpendicular to the first
// element and leaves from the perpendicular of the last.
#pragma once

#include <string>
#include <vector>

namespace mirexa::testing {

// One contour element from the previous point to `to`; an arc turns about `centre`.
struct ContourElement {
    int type = 1;  // 1 line, 2 clockwise arc, 3 counter-clockwise arc
    double to[2] = {};
    double centre[2] = {};
};

// A contour in plane coordinates (first and second plane axis): the tool comes from `approach`,
// starts compensating on the block to `start`, runs the elements, and the cancel block goes to
// `leave`.
struct Contour {
    double approach[2] = {};
    double start[2] = {};
    std::vector<ContourElement> elements;
    double leave[2] = {};
};

// A move of the expected tool-centre path: its type (1 line, 2 or 3 arc), end and, for arcs,
// centre and sweep (rad).
struct ExpectedMove {
    int type = 1;
    double end[2] = {};
    double centre[2] = {};
    double sweep = {};
};

// The tool-centre path of `contour` with the tool `radius` (mm) to the left of the path (a
// negative radius: to the right). `cornerArcs` closes outer corners by arcs about the corner.
std::vector<ExpectedMove> OffsetContour(const Contour& contour, double radius, bool cornerArcs);

// The contour as an NC program in plane `plane` (17, 18 or 19): a rapid to the approach point,
// the compensation start block `startCode` (e.g. "G41 D1") to the start, the elements with
// centre words, and "G40" to the leave point. Coordinates are written with six decimals, and
// the contour's points are rounded to what is written.
std::string ContourProgram(Contour* contour, int plane, const std::string& startCode);

}  // namespace mirexa::testing
