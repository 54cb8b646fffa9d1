// The fixture of the interpreter tests: a clean interpreter with the default controller, offset
// memories the tests can fill, NC programs written to a scratch directory and traced with the
// invariants checked after every call.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "nc/nc_controller_view.h"
#include "support/scratch_directory.h"

namespace mirexa::testing {

class NcInterpreterTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Clears every interpreter, kinematics and controller record and points the offset memory
    // view at the fixture's arrays; then resets the interpreter.
    void ClearAll();
    // Clears the configuration records the interpreter reads (controller and machine
    // definitions, current tool, replacements, skip switches, offset and feed memories,
    // reference points).
    static void ClearConfiguration();
    // Writes the program and traces it (see TraceNcProgram), checking the invariants.
    std::string Trace(const std::string& program, const std::string& name = "main.nc");
    // Traces a program file where it lies (its subprogram files beside it), checking the
    // invariants; `withMachine` adds the machine position of every move.
    std::string TraceProgramFile(const std::string& path, bool withMachine = false);
    // Interprets lines as blocks, one after the other, as the step driver would read them.
    void Run(std::initializer_list<const char*> lines);
    // One trace line, for expected traces: line, type, X Y Z, feed; arcs add centre and sweep.
    static std::string Move(int line, int type, double x, double y, double z, double feed);
    static std::string Arc(int line, int type, double x, double y, double z, double cx, double cy,
                           double cz, double sweep, double feed);

    float dOffset[kToolOffsetEntries] = {};
    float dWear[kToolOffsetEntries] = {};
    float hOffset[kToolOffsetEntries] = {};
    float hWear[kToolOffsetEntries] = {};
    float feedMemory[kFeedMemoryEntries] = {};
    ScratchDirectory dir;
};

}  // namespace mirexa::testing
