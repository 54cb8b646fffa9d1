// Ordinary programs through the built program: what they cut, compared with the same work
// written another way, and the moves that must not raise an alarm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/batch_run_fixture.h"
#include "support/mesh_checker.h"
#include "support/stl_test_meshes.h"

namespace mirexa {
namespace {

using testing::BatchRunTest;
using testing::kBox;
using testing::StockVolume;

constexpr double kPi = 3.141592653589793;

// The most ends any Z ray of a stock file holds, or -1 when it cannot be read.
int MostEndsOnAZRay(const std::string& path) {
    int most = 0;
    const bool read =
        testing::VisitZRays(path, [&](const StockModel&, std::int64_t, int count, const double*) {
            most = std::max(most, count);
        });
    return read ? most : -1;
}

class CutMaterialRunTest : public BatchRunTest {
protected:
    void SetUp() override {
        BatchRunTest::SetUp();
        ASSERT_TRUE(ClearG54());
        KeepEnglishLog();
    }
    // Runs the program at the pitches ("-P(stock,move)") with the switches and returns the
    // volume it removed from the box, or -1 when the run did not exit 0.
    double Removed(const std::string& program, const std::vector<std::string>& switches = {},
                   const std::string& pitches = "-P(0.5,0.5)") {
        if (Run({kBox, pitches, "-XM(0,0,0)", "-O", "raw.dme"}) != 0) {
            return -1.0;
        }
        scratch.Write("run.nc", program);
        std::vector<std::string> arguments = {kBox, pitches, "run.nc", "-X6", "-O", "cut.dme"};
        arguments.insert(arguments.end(), switches.begin(), switches.end());
        if (Run(arguments) != 0) {
            return -1.0;
        }
        return StockVolume(scratch.At("raw.dme")) - StockVolume(scratch.At("cut.dme"));
    }
};

// A full circle keeps its whole turn whatever its start radius, in every plane, as a helix,
// under cutter compensation and in the conversational dialect: it cuts what the same circle
// written as two half circles cuts.
TEST_F(CutMaterialRunTest, AFullCircleCutsWhatItsTwoHalvesCut) {
    const std::string head = "%\nG90 G17 G40\nT1 M6\nS3000 M3\n";
    const std::string tail = "G0 Z5.\nM30\n%\n";
    const std::string conversational =
        "0 BEGIN PGM CIRCLE MM\n1 TOOL CALL 1 Z S3000\n2 L X+20 Y+20 Z+5 R0 FMAX M3\n"
        "3 L Z-4 F500\n4 CC X+30 Y+30\n";
    struct Case {
        const char* name;
        const char* lead;  // the moves before the circle
        const char* full;
        const char* halves;
        const char* after;  // the moves after the circle
    };
    // In the dialect of the controller file "PRODUCT=HEIDENHAIN" when lead is empty.
    const Case cases[] = {
        {"G17 by I J", "G0 X20. Y20. Z5.\nG1 Z-5. F500.\n", "G3 X20. Y20. I10. J10.\n",
         "G3 X40. Y40. I10. J10.\nX20. Y20. I-10. J-10.\n", ""},
        {"G17 helix", "G0 X20. Y20. Z5.\nG1 Z0. F500.\n", "G2 X20. Y20. Z-5. I10. J10.\n",
         "G2 X40. Y40. Z-2.5 I10. J10.\nX20. Y20. Z-5. I-10. J-10.\n", ""},
        {"G18 by I K", "G18\nG0 X20. Y40. Z5.\nG1 Z-2. F500.\n", "G3 X20. Z-2. I8. K-3.\n",
         "G3 X36. Z-8. I8. K-3.\nX20. Z-2. I-8. K3.\n", ""},
        {"G19 by J K", "G19\nG0 X50. Y20. Z5.\nG1 Z-2. F500.\n", "G2 Y20. Z-2. J7. K-4.\n",
         "G2 Y34. Z-10. J7. K-4.\nY20. Z-2. J-7. K4.\n", ""},
        {"G17 compensated", "G0 X45. Y45. Z5.\nG1 Z-3. F500.\nG41 D01 X60. Y40.\n",
         "G2 X60. Y40. I-10. J-10.\n", "G2 X40. Y20. I-10. J-10.\nX60. Y40. I10. J10.\n",
         "G40 G1 X45. Y45.\n"},
        {"conversational C", "", "5 C X+20 Y+20 DR+\n6 L Z+5 FMAX\n7 END PGM CIRCLE MM\n",
         "5 C X+40 Y+40 DR+\n6 C X+20 Y+20 DR+\n7 L Z+5 FMAX\n8 END PGM CIRCLE MM\n", ""},
        {"conversational polar", "", "5 CP IPA+360 DR+\n6 L Z+5 FMAX\n7 END PGM CIRCLE MM\n",
         "5 CP IPA+180 DR+\n6 CP IPA+180 DR+\n7 L Z+5 FMAX\n8 END PGM CIRCLE MM\n", ""},
    };
    scratch.Write("dialect.ctl", "PRODUCT=HEIDENHAIN\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool dialect = c.lead[0] == '\0';
        auto program = [&](const char* circle) {
            return dialect ? conversational + circle : head + c.lead + circle + c.after + tail;
        };
        const std::vector<std::string> switches =
            dialect ? std::vector<std::string>{"-C", "dialect.ctl"} : std::vector<std::string>{};
        const double halves = Removed(program(c.halves), switches);
        const double full = Removed(program(c.full), switches);
        EXPECT_GT(halves, 1000.0);
        EXPECT_NEAR(full, halves, 0.01 * halves);
    }
}

// A conversational circle ends with its own block: a block without motion after it (a comment,
// a blank line, CC, TOOL CALL, a parameter, END PGM) cuts nothing, whichever form wrote the
// circle, and the quarter cuts what the same quarter in G-code cuts.
TEST_F(CutMaterialRunTest, AConversationalCircleEndsWithItsBlock) {
    const double gCode = Removed(
        "%\nG90 G17 G40\nT1 M6\nS3000 M3\nG0 X40. Y30. Z5.\nG1 Z-2. F500.\nG3 X30. Y40. I-10. J0\n"
        "G0 Z5.\nM30\n%\n");
    ASSERT_GT(gCode, 100.0);
    std::string controller = Read("vmc3.ctl");
    const std::size_t product = controller.find("PRODUCT=NORMAL");
    ASSERT_NE(product, std::string::npos);
    scratch.Write("dialect.ctl", controller.replace(product, 14, "PRODUCT=HEIDENHAIN"));
    const std::string head =
        "0 BEGIN PGM ARC MM\n1 TOOL CALL 1 Z S3000\n2 L X+40 Y+30 Z+5 R0 FMAX M3\n"
        "3 L Z-2 R0 F500\n4 CC X+30 Y+30\n";
    // The circle (C, CR, CP) and what follows it.
    const char* const cases[] = {
        "5 C X+30 Y+40 DR+ R0 F500\n",
        "5 C X+30 Y+40 DR+\n6 ; a comment\n",
        "5 C X+30 Y+40 DR+\n\n",
        "5 C X+30 Y+40 DR+\n6 CC X+30 Y+30\n",
        "5 C X+30 Y+40 DR+\n6 TOOL CALL 1 Z\n",
        "5 C X+30 Y+40 DR+\n6 FN 0: Q1=+5\n",
        "5 C X+30 Y+40 DR+\n6 END PGM ARC MM\n",
        "5 CR X+30 Y+40 R+10 DR+\n6 ; a comment\n",
        "5 CP IPA+90 DR+\n\n",
    };
    for (const char* circle : cases) {
        SCOPED_TRACE(circle);
        const std::string program = head + circle + "7 L Z+5 R0 FMAX\n8 END PGM ARC MM\n";
        EXPECT_NEAR(Removed(program, {"-C", "dialect.ctl"}), gCode, 1e-6 * gCode);
    }
}

// A straight rapid out of the tool's own hole leaves it without an alarm: where the tool's side
// is tangent to rays (at this pitch the drill's and the vee's radius fall on grid lines) the
// plunge made no ends to be met again, and every Z ray keeps one piece of material. A rapid into
// the stock still ends the run on its alarm.
TEST_F(CutMaterialRunTest, ARapidOutOfTheToolsOwnHoleIsNoCrash) {
    std::string tools = Read("vmc3.ttl");
    scratch.Write("vmc3.ttl", tools + "MAGAZINE 5 CUTTER 10,0,0,0,45,0,30 \"VEE 90\" LENGTH 50\n");
    const char* const kInterference = "(G00 interference)";
    struct Case {
        const char* name;
        const char* tool;
        const char* moves;
        bool alarm;
    };
    const Case cases[] = {
        {"drill", "T4", "G01 Z-7.3 F200.\nG00 Z20.\n", false},
        {"vee", "T5", "G01 Z-5.3 F200.\nG00 Z20.\n", false},
        {"rapid into the stock", "T4", "G00 Z-2.\nZ20.\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double removed =
            Removed(std::string("%\nO1\nG90 G17 G40 G49 G80\n") + c.tool +
                        " M06\nG56 G00 X30. Y40. S2000 M03\nZ5.\n" + c.moves + "M30\n%\n",
                    {}, "-P(0.25,0.25)");
        EXPECT_GT(removed, c.alarm ? 0.0 : 50.0);
        EXPECT_EQ(MostEndsOnAZRay(scratch.At("cut.dme")), 2);
        const std::string log = Read("mirexa.log");
        EXPECT_EQ(log.find(kInterference) != std::string::npos, c.alarm) << log;
    }
}

// A ramp left by a rapid back along its own line and on past its start: between their steps the
// ramp's poses leave slivers (terraces on the floor, cusps on the walls) that the rapid's poses,
// falling elsewhere on the same line, take; that is no crash, for a flat, bull and ball end and at
// both pitches. A rapid that leaves the line below it, or goes on down it, still raises the alarm.
TEST_F(CutMaterialRunTest, ARapidBackAlongARampPastItsStartIsNoCrash) {
    const char* const kRamp = "G01 X30. Y26. Z-5. F500.\n";
    struct Case {
        const char* name;
        const char* tool;
        const char* pitches;
        const char* moves;
        bool alarm;
    };
    const Case cases[] = {
        {"flat, twice the ramp", "T1", "-P(0.25,0.25)", "G00 X10. Y14. Z15.\n", false},
        {"flat, 1.3 ramps", "T1", "-P(0.5,0.5)", "G00 X17. Y18.2 Z8.\n", false},
        {"bull, 2.8 ramps", "T3", "-P(0.25,0.25)", "G00 X2. Y9.2 Z23.\n", false},
        {"bull, 2.8 ramps at 0.5", "T3", "-P(0.5,0.5)", "G00 X2. Y9.2 Z23.\n", false},
        {"ball, twice the ramp", "T2", "-P(0.25,0.25)", "G00 X10. Y14. Z15.\n", false},
        {"end rounded off the line", "T1", "-P(0.25,0.25)", "G00 X10.001 Y13.999 Z15.\n", false},
        {"below the line", "T1", "-P(0.25,0.25)", "G00 X10. Y14. Z14.5\n", true},
        {"on down the line", "T1", "-P(0.5,0.5)", "G00 X40. Y32. Z-15.\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(scratch.At("mirexa.log"));
        const std::string head = std::string("%\nG90 G17 G40 G49 G80\n") + c.tool +
                                 " M06\nS3000 M03\nG00 X20. Y20. Z50.\nZ5.\n" + kRamp;
        const double removed = Removed(head + c.moves + "G00 Z50.\nM30\n%\n", {}, c.pitches);
        const std::string log = Read("mirexa.log");
        EXPECT_EQ(log.find("(G00 interference)") != std::string::npos, c.alarm) << log;
        if (!c.alarm) {
            // The rapid takes no more than slivers from what the ramp alone removes.
            const double ramp = Removed(head + "M30\n%\n", {}, c.pitches);
            EXPECT_GT(ramp, 5.0);
            EXPECT_NEAR(removed, ramp, 0.02 * ramp);
        }
    }
}

// Five-axis cuts left by a rapid along the tool axis: a slot in the stock turned by the table
// (G00 A30.), a slot in a tilted plane (G68.2), a hole drilled with the head tilted under tool
// centre point control (G43.4). The rapid takes nothing the cut left and raises no alarm; a rapid
// into the stock on the same machine still ends the run on its alarm.
TEST_F(CutMaterialRunTest, AFiveAxisRapidOutOfTheToolsOwnCutIsNoCrash) {
    scratch.Write("table.mtl",
                  "ROTARY TYPE=TABLE\nROTARY AXIS1=A\nROTARY AXIS2=C\nSTROKE RANGE(A)=-30,110\n");
    scratch.Write("head.mtl", "ROTARY TYPE=HEAD\nROTARY AXIS1=C\nROTARY AXIS2=B\n");
    // The head machine's programs give the tool point: lengths from the arbor top, and an H
    // register holding the drill's full length (its profile's top).
    const std::string settings = Read("mirexa.ini");
    const std::size_t base = settings.find("TOOL BASE POINT=BOTTOM");
    ASSERT_NE(base, std::string::npos);
    const std::string arborTop =
        settings.substr(0, base) + "TOOL BASE POINT=ARBOR-TOP" + settings.substr(base + 22);
    scratch.Write("vmc3.ctl", Read("vmc3.ctl") + "MEMORY H05= 155.000000,0.000000\n");
    const std::string turned = "G00 X30. Y10. S2000 M03\nZ60.\nA30.\nZ5.\n";
    const std::string plane =
        "G00 X30. Y40. Z150. S2000 M03\nG68.2 X30. Y40. Z0 I0 J30. K0\nG53.1\nG00 X0 Y0 Z5.\n";
    // Tilted towards +X with the axis (0.6, 0, 0.8); (33, 40, 4) is 5 mm up the axis from the
    // hole's top.
    const std::string tilted =
        "G43 H5 G00 X30. Y40. Z60. S2000 M03\nG43.4 H5 B36.87 C0\nX33. Z4.\n";
    struct Case {
        const char* name;
        const char* machine;
        const std::string& lead;
        const char* cut;
        const char* retract;
        bool alarm;
    };
    const Case cases[] = {
        {"table slot", "table.mtl", turned, "G01 Z-13. F200.\nX40.\n", "G00 Z60.\n", false},
        {"table rapid into the stock", "table.mtl", turned, "G00 Z-10.\n", "Z60.\n", true},
        {"plane slot", "table.mtl", plane, "G01 Z-3. F200.\nX10.\n", "G00 Z5.\n", false},
        {"plane rapid into the stock", "table.mtl", plane, "Z-2.\n", "Z5.\n", true},
        {"head hole", "head.mtl", tilted, "G01 X25.5 Z-6. F200.\n", "G00 X45. Z20.\n", false},
        {"head rapid into the stock", "head.mtl", tilted, "X27. Z-4.\n", "X45. Z20.\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool head = std::string(c.machine) == "head.mtl";
        scratch.Write("mirexa.ini", head ? arborTop : settings);
        std::filesystem::remove(scratch.At("mirexa.log"));
        const std::string program =
            std::string("%\nO1\nG90 G17 G40 G49 G80\nT4 M06\n") + c.lead + c.cut;
        const std::string end = head ? "G49\nM30\n%\n" : "M30\n%\n";
        const double removed = Removed(program + c.retract + end, {c.machine}, "-P(0.25,0.25)");
        const std::string log = Read("mirexa.log");
        EXPECT_EQ(log.find("(G00 interference)") != std::string::npos, c.alarm) << log;
        if (!c.alarm) {
            // A tilted cut can overhang a Z ray, but leaves no stacks of ends on it.
            EXPECT_LE(MostEndsOnAZRay(scratch.At("cut.dme")), 4);
            EXPECT_GT(removed, 100.0);
            EXPECT_NEAR(removed, Removed(program + end, {c.machine}, "-P(0.25,0.25)"), 1e-6);
        }
    }
}

// A rapid whose dog-leg (G00MODE ASYNC1) would pass through the stock where its straight line
// passes over it: the controller's G00PATH LINE keeps it straight in the result runs of the
// command line, and only there.
TEST_F(CutMaterialRunTest, ALinePathKeepsTheRapidsOfABatchResultRunStraight) {
    const std::string controller = Read("vmc3.ctl");
    ASSERT_NE(controller.find("G00PATH=LINE"), std::string::npos);
    scratch.Write("vmc3.ctl", controller + "G00MODE=ASYNC1\n");
    // From (30,40,20) to (-20,40,-5): the dog-leg's first leg goes down at 45 degrees to
    // (5,40,-5), inside the box; the straight line is still 5 mm over the box's edge at X0.
    scratch.Write("run.nc",
                  "%\nG90 G17 G40\nT1 M6\nS3000 M3\nG0 Z20.\nX30. Y40.\n"
                  "X-20. Z-5.\nZ20.\nM30\n%\n");
    const struct {
        const char* runMode;
        bool alarm;
    } cases[] = {{"-X4", false}, {"-X6", false}, {"-X2", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.runMode);
        std::filesystem::remove(scratch.At("mirexa.log"));
        EXPECT_EQ(Run({kBox, "run.nc", c.runMode}), 0);
        const std::string log = Exists("mirexa.log") ? Read("mirexa.log") : "";
        EXPECT_EQ(log.find("(G00 interference)") != std::string::npos, c.alarm) << log;
    }
}

// A flat tool end that comes down exactly onto the stock's top face, inside the face and over
// the box's edge, only touches the rays lying in that face: nothing is removed and the saved
// surface is the box's, closed and conforming.
TEST_F(CutMaterialRunTest, AFlatEndOnTheStocksTopFaceTakesNothing) {
    const char* const kBlock = "-D(40,30,0,0,0,-12)";
    const char* const kPitches = "-P(0.1,0.1)";
    ASSERT_EQ(Run({kBlock, kPitches, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    for (const char* at : {"X20. Y15.", "X5. Y6."}) {
        SCOPED_TRACE(at);
        scratch.Write("touch.nc", std::string("%\nG90 G17\nT3 M6\nS3000 M3\nG0 ") + at +
                                      " Z5.\nG1 Z0.5 F500.\nG0 Z5.\nM30\n%\n");
        ASSERT_EQ(Run({kBlock, kPitches, "touch.nc", "-X6", "-O", "touch.dme"}), 0);
        ASSERT_EQ(Run({"touch.dme", "-XM(0,0,0)", "-O", "touch.stl,b"}), 0);
        EXPECT_EQ(StockVolume(scratch.At("touch.dme")), StockVolume(scratch.At("raw.dme")));
        std::vector<MeshFacet> facets;
        ASSERT_TRUE(ReadBinaryStlFacets(scratch.At("touch.stl"), false, &facets));
        EXPECT_TRUE(SurfaceIsClosed(facets));
        EXPECT_TRUE(SurfaceIsConforming(facets));
    }
}

// Material left without width, where two holes touch along a line or a hole touches the stock's
// face, saves a closed surface whose every edge is met by its reverse: the rays through the touch
// line lose the piece of zero length there, which the other rays through its nodes hold, and a
// ray along a tool's upright side through the touch line is not cut, as the rays across it are
// not. So does a box whose size is a float a hair off a whole number of pitches, whose face lies
// on a node line that the division puts a hair below it: a slot's side grazing the rays next to
// that face leaves their material up to the face.
TEST_F(CutMaterialRunTest, MaterialOfZeroWidthAndFacesOnNodeLinesSaveAConformingSurface) {
    struct Case {
        const char* name;
        const char* box;
        const char* pitches;
        const char* tool;
        const char* moves;  // after the tool change, in program coordinates (Z 0.5 mm above)
    };
    const Case cases[] = {
        {"holes touching along a line", kBox, "-P(0.25,0.25)", "T1",
         "G0 X40. Y40. Z5.\nG1 Z-6. F500.\nG0 Z5.\nX50.\nG1 Z-6.\nG0 Z5.\n"},
        {"hole touching the front face", "-D(40,30,0,0,0,-20)", "-P(0.1,0.1)", "T1",
         "G0 X15. Y5. Z5.\nG1 Z-13. F500.\nG0 Z5.\n"},
        {"drill slots touching end to end down a node line",
         "-D(39.947,29.944,0,-0.303,-0.306,-12)", "-P(0.25,0.25)", "T4",
         "G0 X19.197 Y9.683 Z5.\nG1 Z-4.541 F500.\nY11.694\nG0 Z5.\nY20.194\nG1 Z-4.541\n"
         "Y28.035\nG0 Z5.\n"},
        {"box face on a node line",
         "-D(36.004999999999995,24.901000000000003,0,-9.895,-21.799,-16)", "-P(0.3,0.174)", "T1",
         "G0 X35.85 Y-10. Z5.\nG1 Z-2. F500.\nY0.202\nG0 Z5.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scratch.Write("run.nc", std::string("%\nG90 G17\n") + c.tool + " M6\nS3000 M3\n" + c.moves +
                                    "M30\n%\n");
        ASSERT_EQ(Run({c.box, c.pitches, "run.nc", "-X6", "-O", "cut.dme"}), 0);
        ASSERT_EQ(Run({"cut.dme", "-XM(0,0,0)", "-O", "cut.stl,b"}), 0);
        std::vector<MeshFacet> facets;
        ASSERT_TRUE(ReadBinaryStlFacets(scratch.At("cut.stl"), false, &facets));
        EXPECT_TRUE(SurfaceIsClosed(facets));
        EXPECT_TRUE(SurfaceIsConforming(facets));
    }
}

// On a table-table machine a slot cut in a tilted plane is left by a rapid along the tool axis,
// then the plane is switched off and the tool goes home: the table keeps its turn until the
// program turns it, so nothing is cut after the slot and no alarm is raised.
TEST_F(CutMaterialRunTest, TheTableKeepsItsTurnAfterTheTiltedPlaneIsSwitchedOff) {
    scratch.Write("tilt.mtl",
                  "ROTARY TYPE=TABLE\nROTARY AXIS1=A\nROTARY AXIS2=C\nSTROKE RANGE(A)=-30,110\n");
    // The reference point well above the stock, as the work offset is the machine's origin.
    const std::string controller = Read("vmc3.ctl");
    const std::size_t reference = controller.find("MEMORY REF-PT1=");
    ASSERT_NE(reference, std::string::npos);
    scratch.Write("vmc3.ctl", controller.substr(0, reference) + "MEMORY REF-PT1= (0,0,300,0,0)" +
                                  controller.substr(controller.find('\n', reference)));
    const std::string slot =
        "%\nG90 G17\nT1 M6\nS3000 M3\nG00 X30. Y40. Z150.\nG68.2 X30. Y40. Z0 I0 J30. K0\n"
        "G53.1\nG00 X0 Y0 Z5.\nG01 Z-3. F300.\nX10.\n";
    const double cut = Removed(slot + "M30\n%\n", {"tilt.mtl"}, "-P(0.25,0.25)");
    const double whole =
        Removed(slot + "G00 Z5.\nG69\nG91 G28 Z0.\nG90 G00 X50. Y40.\nA0 C0\nM30\n%\n",
                {"tilt.mtl"}, "-P(0.25,0.25)");
    EXPECT_GT(cut, 100.0);
    EXPECT_NEAR(whole, cut, 1e-6);
    const std::string log = Read("mirexa.log");
    EXPECT_EQ(log.find("interference"), std::string::npos) << log;
    EXPECT_NE(log.find("End of cutting"), std::string::npos) << log;
}

// A stock face a hair off a node line lies on it for the stock, its files and the surface alike:
// a box given by decimals a ten-millionth off a whole number of pitches, and a box read from a
// binary STL whose float32 faces are not the decimals typed, save a closed surface of the box's
// volume, with every edge met by its reverse.
TEST_F(CutMaterialRunTest, FacesAHairFromANodeLineSaveTheStocksOwnSurface) {
    struct Case {
        const char* stock;  // a box switch, or the name of the STL stock written below
        double volume;      // mm^3
    };
    scratch.Write("hair.stl", testing::BinaryStl(testing::BoxMesh({1.0f, 6e-8f, -14.0f},
                                                                  {41.0f, 29.99999994f, -6e-8f})));
    scratch.Write("float.stl", testing::BinaryStl(testing::BoxMesh({0.99999994f, 0.0f, -14.0f},
                                                                   {41.0f, 30.0f, 0.0f})));
    const Case cases[] = {
        {"-D(49.9999999,40,0,0,0,-20)", 40000.0},
        {"-D(50,39.9999999,0,0,0,-20)", 40000.0},
        {"-D(50,40,-0.0000001,0,0,-20)", 40000.0},
        {"-D(50,40,0,0.0000001,0,-20)", 40000.0},
        {"-D(49.9999995,40,0,0,0,-20)", 40000.0},
        {"-D(50.0000005,40,0,0,0,-20)", 40000.0},
        {"-Dhair.stl", 16800.0},
        {"-Dfloat.stl", 16800.0},
    };
    for (const Case& c : cases) {
        for (const char* pitches : {"-P(0.5,0.5)", "-P(0.25,0.25)"}) {
            SCOPED_TRACE(std::string(c.stock) + " " + pitches);
            ASSERT_EQ(Run({c.stock, pitches, "-XM(0,0,0)", "-O", "box.stl,b"}), 0);
            std::vector<MeshFacet> facets;
            ASSERT_TRUE(ReadBinaryStlFacets(scratch.At("box.stl"), false, &facets));
            EXPECT_TRUE(SurfaceIsConforming(facets));
            EXPECT_NEAR(SignedVolume(facets), c.volume, 0.01);
        }
    }
}

// An STL stock's faces on node lines whose quotient by the pitch comes out a hair above the
// node's index (on a grid from -1 at 0.1 mm, the node at -0.4 is 6.000000000000001 pitches up)
// keep their rays: every Z ray of the box, those in its side faces too, holds its whole height.
TEST_F(CutMaterialRunTest, AnStlStocksFacesOnNodeLinesKeepTheirRays) {
    scratch.Write("box.stl",
                  testing::BinaryStl(testing::BoxMesh({-0.4f, -0.4f, -1.0f}, {0.6f, 0.6f, 0.0f})));
    ASSERT_EQ(Run({"-Dbox.stl", "-P(0.1,0.1)", "-XM(0,0,0)", "-O", "box.dme"}), 0);
    int full = 0;
    ASSERT_TRUE(testing::VisitZRays(
        scratch.At("box.dme"),
        [&](const StockModel& model, std::int64_t cell, int count, const double* ends) {
            const double x = model.origin[0] + static_cast<double>(cell % model.nx) * model.pitch;
            const double y = model.origin[1] + static_cast<double>(cell / model.nx) * model.pitch;
            if (x > -0.40001 && x < 0.60001 && y > -0.40001 && y < 0.60001) {
                const bool whole = count == 2 && ends[0] == -1.0 && ends[1] == 0.0;
                full += whole ? 1 : 0;
                EXPECT_TRUE(whole) << "ray at " << x << ", " << y << ": " << count << " ends";
            }
        }));
    EXPECT_EQ(full, 11 * 11);
}

// A whole circle of one least increment is a circle wherever it lies: the radius from its
// centre word and the coordinates it is worked out from round differently at each place.
TEST_F(CutMaterialRunTest, ACircleOfOneLeastIncrementRunsWhereverItLies) {
    for (const char* x : {"0.002", "50.001", "12.345", "87.999"}) {
        SCOPED_TRACE(x);
        const std::string at = std::string("X") + x + " Y50.";
        scratch.Write("circle.nc", "%\nT1 M06\nG56 G00 " + at +
                                       " S3000 M03\nZ5.\nG01 Z-1. F200.\nG03 " + at +
                                       " I-0.001 J0.\nG00 Z20.\nM30\n%\n");
        std::filesystem::remove(scratch.At("mirexa.log"));
        ASSERT_EQ(Run({kBox, "-P(1,1)", "circle.nc", "-X6", "-O", "circle.dme"}), 0);
        const std::string log = Read("mirexa.log");
        EXPECT_EQ(log.find("IJK"), std::string::npos) << log;
        EXPECT_NE(log.find("End of cutting"), std::string::npos) << log;
    }
}

// A flat D10 plunged 10 mm tangent to the front face exactly at a node line, one node from the
// left face, saves a closed STL that removes what the same plunge along the left face away from
// the front removes (the disc less its segment beyond the left face), at several pitches: the
// cell in the corner holds material on both faces of the corner and a node where the tool touches
// the front face.
TEST_F(CutMaterialRunTest, APlungeTangentToAFaceAtANodeBesideACornerSavesAClosedSurface) {
    const char* const kBlock = "-D(40,30,0,0,0,-20)";
    const double kBlockVolume = 24000.0;  // mm^3, a whole number of pitches on every axis
    // The STL's removed volume of a plunge at (x, y), or -1 when a run failed; the surface's edges
    // are checked.
    const auto removed = [&](const char* pitches, const std::string& x, const char* y) {
        scratch.Write("plunge.nc", "%\nG90 G17\nT1 M6\nS3000 M3\nG0 X" + x + " Y" + y +
                                       " Z5.\nG1 Z-9.5 F200.\nG0 Z5.\nM30\n%\n");
        if (Run({kBlock, pitches, "plunge.nc", "-X6", "-O", "plunge.stl,b"}) != 0) {
            return -1.0;
        }
        std::vector<MeshFacet> facets;
        EXPECT_TRUE(ReadBinaryStlFacets(scratch.At("plunge.stl"), false, &facets));
        EXPECT_TRUE(SurfaceIsConforming(facets));
        return kBlockVolume - SignedVolume(facets);
    };
    for (const double pitch : {0.5, 1.0, 2.0}) {
        SCOPED_TRACE(pitch);
        char pitches[48], x[16];
        std::snprintf(pitches, sizeof pitches, "-P(%g,%g)", pitch, pitch);
        std::snprintf(x, sizeof x, "%g", pitch);
        const double corner = removed(pitches, x, "5.");
        const double side = removed(pitches, x, "15.");
        // The disc less its segment beyond x = 0, seen from above (mm^2).
        const double area =
            25.0 * (kPi - std::acos(pitch / 5.0)) + pitch * std::sqrt(25.0 - pitch * pitch);
        EXPECT_GT(side, 0.9 * area * 10.0);
        EXPECT_NEAR(corner, side, 0.01 * pitch * area);
    }
}

// A box whose size is not a whole number of pitches has its max faces inside the last cells: its
// edges and corners there are saved sharp, so the STL holds the box's volume and is conforming;
// and a flat D10 plunged 5 mm centred on the back face removes the half disc times the depth.
TEST_F(CutMaterialRunTest, FacesInsideTheLastCellsMeetAtSharpEdges) {
    const struct {
        const char* box;
        const char* pitches;
        double volume;  // mm^3
    } boxes[] = {
        {"-D(60,59.9,0,0,0,-20)", "-P(0.7,0.7)", 60.0 * 59.9 * 20.0},
        {"-D(40.3,30.45,0,0,0,-12.2)", "-P(0.5,0.5)", 40.3 * 30.45 * 12.2},
        {"-D(25.1,17.3,0,0,0,-9.35)", "-P(0.3,0.3)", 25.1 * 17.3 * 9.35},
    };
    for (const auto& b : boxes) {
        SCOPED_TRACE(std::string(b.box) + " " + b.pitches);
        ASSERT_EQ(Run({b.box, b.pitches, "-XM(0,0,0)", "-O", "box.stl,b"}), 0);
        std::vector<MeshFacet> facets;
        ASSERT_TRUE(ReadBinaryStlFacets(scratch.At("box.stl"), false, &facets));
        EXPECT_TRUE(SurfaceIsConforming(facets));
        // The eight corners, where three faces meet inside one cell, keep a sliver each.
        EXPECT_NEAR(SignedVolume(facets), b.volume, 0.05);
    }
    scratch.Write(
        "plunge.nc",
        "%\nG90 G17\nT1 M6\nS3000 M3\nG0 X30. Y59.9 Z5.\nG1 Z-4.5 F200.\nG0 Z5.\nM30\n%\n");
    ASSERT_EQ(
        Run({"-D(60,59.9,0,0,0,-20)", "-P(0.7,0.7)", "plunge.nc", "-X6", "-O", "plunge.stl,b"}), 0);
    std::vector<MeshFacet> facets;
    ASSERT_TRUE(ReadBinaryStlFacets(scratch.At("plunge.stl"), false, &facets));
    EXPECT_TRUE(SurfaceIsConforming(facets));
    const double halfDisc = 0.5 * kPi * 25.0 * 5.0;  // mm^3
    EXPECT_NEAR(60.0 * 59.9 * 20.0 - SignedVolume(facets), halfDisc,
                0.021 * 0.7 * 0.5 * kPi * 25.0);
}

}  // namespace
}  // namespace mirexa
