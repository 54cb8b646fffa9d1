// The render tool: reads the settings and definition files, makes a stock, optionally runs an
// NC program against it, renders the view off screen at a size and orientation and writes a
// PNG, so that a reviewer can look at a cut stock. Built with the tests; never installed.
#pragma once

#include <string>
#include <vector>

namespace mirexa {

struct RenderToolOptions {
    std::string settings = {};  // settings file; its directory becomes the working directory
    std::string tools = {};     // overrides the settings' definition files
    std::string controller = {};
    std::string machine = {};
    std::string stock = {};  // .DME, .DMF or .STL; else the box
    int boxGiven = {};
    double box[6] = {};        // mm: min x, y, z, max x, y, z (else the settings' INITIAL SIZE)
    double pitch = {};         // mm; 0 chooses it as the program does
    double movePitch = {};     // mm between the cutting steps of a move; 0 takes the settings'
    std::string program = {};  // NC program to run before the picture
    int width = 800;
    int height = 600;
    int orientation = -1;  // AXIS DIRECTION code; -1 takes the machine's
    int anglesGiven = {};
    double angles[2] = {};  // A, B (deg); else the settings' ANGLE-A and ANGLE-B
    double zoom = 1.0;      // the view's zoom factor, as the wheel sets it
    int style = -1;         // stock display style; -1 takes the settings' MESH MODE
    int tool = -1;          // tool to select; -1 leaves the settings' start tool
    std::string output = {};
};

// Reads the arguments (argv[0] is the program). 1, or 0 with *error saying what was wrong.
int ParseRenderToolArguments(const std::vector<std::string>& arguments, RenderToolOptions* options,
                             std::string* error);

// Does the work. 0 when the PNG was written; otherwise a non-zero code with *message saying why
// (2 bad settings or definition files, 3 no stock, 4 the NC run failed, 5 no OpenGL, 6 the PNG
// could not be written). The working directory is restored before it returns.
int RunRenderTool(const RenderToolOptions& options, std::string* message);

// The usage text.
const char* RenderToolUsage();

}  // namespace mirexa
