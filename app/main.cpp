// mirexa: entry point of the CNC machining simulator.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("MIREXA7\n");
        return 0;
    }
    std::printf("mirexa: nothing to do yet\n");
    return 0;
}
