// The render tool's program: renders the view of a stock off screen and writes a PNG.
#include <cstdio>
#include <string>
#include <vector>

#include "render_tool.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    mirexa::RenderToolOptions options;
    std::string message;
    if (!mirexa::ParseRenderToolArguments(arguments, &options, &message)) {
        std::fprintf(stderr, "render: %s\n%s", message.c_str(), mirexa::RenderToolUsage());
        return 1;
    }
    const int result = mirexa::RunRenderTool(options, &message);
    if (result != 0) {
        std::fprintf(stderr, "render: %s\n", message.c_str());
    }
    return result;
}
