// Axis letters, plane codes and the tool-length axis after a controller reading, table-driven.
#include "config/axis_letters.h"

#include <gtest/gtest.h>

#include "definition_test_support.h"

namespace mirexa {
namespace {

using testing::DefinitionFileTest;

using AxisLettersTest = DefinitionFileTest;

TEST_F(AxisLettersTest, PlaneCodesTriplesAndToolLengthAxis) {
    struct Case {
        const char* text;
        int codes[3];
        int triple[3];
        int plane;
        int lengthAxis;
    };
    const Case cases[] = {
        {"", {17, 18, 19}, {0, 1, 2}, 17, 2},
        {"X-CODE=-X\n", {-17, -18, 19}, {0, 1, 2}, -17, 2},
        {"X-CODE=Y\nY-CODE=X\nINITIAL PLANE=XY\n", {-17, -19, -18}, {0, 1, 2}, -17, 2},
        {"Z-CODE=Y\nY-CODE=Z\nINITIAL PLANE=XY\n", {-18, -17, -19}, {2, 0, 1}, -18, 1},
        {"LENGTH OFFSET TYPE=FANUC-B\nINITIAL PLANE=ZX\n", {17, 18, 19}, {0, 1, 2}, 18, 1},
        {"LENGTH OFFSET TYPE=FANUC-B\nINITIAL PLANE=YZ\n", {17, 18, 19}, {0, 1, 2}, 19, 0},
        {"LENGTH OFFSET TYPE=FANUC-C\nINITIAL PLANE=YZ\n", {17, 18, 19}, {0, 1, 2}, 19, 2},
        {"Y-CODE=-Y\nZ-CODE=-Z\n", {-17, -18, 19}, {0, 1, 2}, -17, 2},
        {"CHAR(X)=U\nCHAR(Y)=V\n", {17, 18, 19}, {0, 1, 2}, 17, 2},
    };
    for (const Case& c : cases) {
        ReadController(c.text);
        const ControllerAxisLetters& a = Controller.axes;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(a.planeCodes[i], c.codes[i]) << c.text << " code " << i;
            EXPECT_EQ(a.programXyAxes[i], c.triple[i]) << c.text << " triple " << i;
        }
        EXPECT_EQ(Controller.initialMachinePlane, c.plane) << c.text;
        EXPECT_EQ(a.toolLengthAxis, c.lengthAxis) << c.text;
    }
}

TEST_F(AxisLettersTest, SelectMachinePlaneFollowsTheSearchOrder) {
    int axes[3] = {};
    const int swapped[3] = {-18, -17, -19};
    EXPECT_EQ(SelectMachinePlane(swapped, 17, axes), -18);
    EXPECT_EQ(axes[2], 1);
    EXPECT_EQ(SelectMachinePlane(swapped, 18, axes), -17);
    EXPECT_EQ(axes[2], 2);
    EXPECT_EQ(SelectMachinePlane(swapped, 19, axes), -19);
    EXPECT_EQ(axes[0], 1);
    const int plain[3] = {17, 18, 19};
    EXPECT_EQ(SelectMachinePlane(plain, 0, axes), 19) << "any other plane counts as 19";
    const int odd[3] = {17, 18, -19};
    EXPECT_EQ(SelectMachinePlane(odd, 19, axes), -19);
}

TEST_F(AxisLettersTest, LetterKeywordsRotarySignsAndLabels) {
    ReadController("ROTARY1 CHAR=B\nB-CODE=-B\nROTARY2 CHAR = c\nC-CODE=C\n");
    EXPECT_EQ(Controller.axes.rotaryLetters[0], 'B');
    EXPECT_EQ(Controller.axes.rotarySignFlags[0], 1);
    EXPECT_EQ(Controller.axes.rotarySignFlags[1], 0) << "lower-case c is not the letter C";
    EXPECT_STREQ(Controller.axes.labels[3], "\tB");
    EXPECT_STREQ(Controller.axes.labels[4], "\tc");
    EXPECT_EQ(KinematicsController.axisLetters[3], 'B');

    ReadController("ROTARY1 CHAR=U\nA-CODE=-A\nB-CODE=-B\n");
    EXPECT_EQ(Controller.axes.rotarySignFlags[0], 0);
    EXPECT_EQ(Controller.axes.rotaryLetters[1], kNoAxisLetter);
    EXPECT_EQ(Controller.axes.reversed[3], 1);

    // Values that are no letters leave the letters alone.
    ReadController("CHAR(X)=\nCHAR(Y)\nROTARY1 CHAR=1\nINC-X CHAR=U\nINC-ROTARY2 CHAR W\n");
    EXPECT_EQ(Controller.axes.programLetters[0], 'X');
    EXPECT_EQ(Controller.axes.programLetters[1], 'Y');
    EXPECT_EQ(Controller.axes.rotaryLetters[0], kNoAxisLetter);
    EXPECT_EQ(Controller.axes.incrementalLetters[0], 'U');
    EXPECT_EQ(Controller.axes.incrementalLetters[4], 'W');
    EXPECT_STREQ(Controller.axes.labels[0], "\tX");

    // Letters are reset at every reading.
    ReadController("");
    EXPECT_EQ(Controller.axes.incrementalLetters[0], 0);
    EXPECT_EQ(Controller.axes.reversed[3], 0);
}

TEST_F(AxisLettersTest, AxisCodesWriteOnlyTheirOwnLetters) {
    ReadController("CHAR(X)=U\nX-CODE=Z\n");
    const ControllerAxisLetters& a = Controller.axes;
    EXPECT_EQ(a.programLetters[0], 'U');
    EXPECT_EQ(a.coordinateLetters[0], 'U') << "CHAR(X) drives machine axis 0";
    EXPECT_EQ(a.coordinateLetters[2], 'X') << "X-CODE always writes the letter X";
    EXPECT_EQ(a.arcCentreLetters[2], 'I');
    EXPECT_EQ(a.reversed[0], 0);
    ReadController("X-CODE=-Q\n");
    EXPECT_EQ(Controller.axes.reversed[0], 0) << "another value only clears the flag";
    EXPECT_EQ(Controller.axes.coordinateLetters[0], 'X');
}

}  // namespace
}  // namespace mirexa
