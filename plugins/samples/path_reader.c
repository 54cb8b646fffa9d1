/* Sample path reader (mxread): reads a move list, a text file of one record per line, as the
 * moves and tools of a run. Written in C against the interface header alone.
 *
 *   # a comment; blank lines are skipped
 *   TOOL type diameter corner-radius cutting-height     the run's tool (optional)
 *   START x y z                                         the start position (optional)
 *   G0 x y z                                            rapid
 *   G1 x y z feed                                       line (feed mm/min)
 *   G2 x y z cx cy cz feed                              clockwise arc, absolute centre, XY plane
 *   G3 x y z cx cy cz feed                              counter-clockwise arc
 *   T n                                                 change to tool n
 *
 * A rapid keeps the last feed, as an NC program's modal F does. Records carry their line number
 * in the file. Suffix ".mvl". */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plugins/mirexa_plugin.h"

#define LINE_MAX_BYTES 512

static FILE* source = NULL;
static int lineNumber = 0;
static double lastFeed = 0.0;
/* The optional TOOL and START lines, read at OPEN. */
static int toolType = -1;
static float toolValues[3];
static int hasStart = 0;
static double startPoint[3];

static int readLine(char* line) {
    if (source == NULL || fgets(line, LINE_MAX_BYTES, source) == NULL) {
        return 0;
    }
    ++lineNumber;
    return 1;
}

static void scanHeader(void) {
    char line[LINE_MAX_BYTES];
    toolType = -1;
    hasStart = 0;
    while (readLine(line)) {
        int type = 0;
        if (sscanf(line, " TOOL %d %f %f %f", &type, &toolValues[0], &toolValues[1],
                   &toolValues[2]) == 4) {
            toolType = type;
        } else if (sscanf(line, " START %lf %lf %lf", &startPoint[0], &startPoint[1],
                          &startPoint[2]) == 3) {
            hasStart = 1;
        }
    }
    rewind(source);
    lineNumber = 0;
}

MIREXA_PLUGIN_EXPORT void MXREADVERSION(int* version) {
    *version = MIREXA_PLUGIN_INTERFACE_VERSION;
}

MIREXA_PLUGIN_EXPORT void MXREADSUFFIX(char* list) {
    strcpy(list, ".mvl");
}

MIREXA_PLUGIN_EXPORT void MXREADINIT(int* ok) {
    *ok = 1;
}

MIREXA_PLUGIN_EXPORT void MXREADKIND(const int* language, char* name) {
    strcpy(name, *language == 0 ? "移動リスト" : "Move list");
}

MIREXA_PLUGIN_EXPORT void MXREADOPEN(const char* path) {
    if (source != NULL) {
        fclose(source);
    }
    source = fopen(path, "r");
    lineNumber = 0;
    lastFeed = 0.0;
    if (source != NULL) {
        scanHeader();
    }
}

MIREXA_PLUGIN_EXPORT void MXREADTOTALBLOCK(const char* path, int32_t* count) {
    FILE* f = fopen(path, "r");
    char line[LINE_MAX_BYTES];
    *count = 0;
    if (f == NULL) {
        return;
    }
    while (fgets(line, sizeof line, f) != NULL) {
        if (line[0] == 'G' || line[0] == 'T') {
            ++*count;
        }
    }
    fclose(f);
}

MIREXA_PLUGIN_EXPORT void MXREADTOOL(int* type, float* diameter, float* corner, float* flatRadius,
                                     float* cornerHeight, float* bottomAngle, float* taper,
                                     float* further, float* cuttingHeight, char* name, float* shift,
                                     int* pen) {
    (void)flatRadius;
    (void)cornerHeight;
    (void)bottomAngle;
    (void)taper;
    (void)further;
    (void)shift;
    (void)pen;
    *type = toolType;
    if (toolType < 0) {
        return;
    }
    *diameter = toolValues[0];
    corner[0] = toolValues[1];
    *cuttingHeight = toolValues[2];
    strcpy(name, "MOVE LIST TOOL");
}

MIREXA_PLUGIN_EXPORT void MXREADSTARTPOINT(double* position) {
    if (hasStart) {
        position[0] = startPoint[0];
        position[1] = startPoint[1];
        position[2] = startPoint[2];
    }
}

MIREXA_PLUGIN_EXPORT void MXREADPATH(int* line, int* type, void* reserved1, double* end,
                                     double* centre, int* plane, double* feed, char* reserved2,
                                     int* reserved3, int* more) {
    char text[LINE_MAX_BYTES];
    (void)reserved1;
    (void)reserved2;
    (void)reserved3;
    while (readLine(text)) {
        int code = 0;
        double v[7];
        int n = 0;
        if (sscanf(text, " T %d", &code) == 1) {
            *line = lineNumber;
            *type = MIREXA_PATH_TOOL_CHANGE + code;
            return;
        }
        if (sscanf(text, " G%d%n", &code, &n) != 1 || code < 0 || code > 3) {
            continue;
        }
        const int count = sscanf(text + n, "%lf %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2],
                                 &v[3], &v[4], &v[5], &v[6]);
        if (count < 3) {
            continue;
        }
        *line = lineNumber;
        *type = code;
        end[0] = v[0];
        end[1] = v[1];
        end[2] = v[2];
        *plane = 17;
        if (code == 1 && count >= 4) {
            lastFeed = v[3];
        } else if (code >= 2 && count >= 7) {
            centre[0] = v[3];
            centre[1] = v[4];
            centre[2] = v[5];
            lastFeed = v[6];
        }
        *feed = lastFeed;
        return;
    }
    *more = 0;
}

MIREXA_PLUGIN_EXPORT void MXREADCLOSE(const int* reason) {
    (void)reason;
    if (source != NULL) {
        fclose(source);
        source = NULL;
    }
}

MIREXA_PLUGIN_EXPORT void MXREADFREE(void) {
    MXREADCLOSE(NULL);
}
