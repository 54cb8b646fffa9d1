/* Sample NC communication plug-in (mxnccom): supplies one tool, a ball end mill of 8 mm named
 * "BALL8", for every NC line that holds "(BALL8)", and for a program file whose name holds
 * "ball8". Written in C against the interface header alone. */
#include <string.h>

#include "plugins/mirexa_plugin.h"

static void supply(int* type, float* diameter, float* cuttingHeight, char* name, float* length,
                   int* color, int* state) {
    *type = MIREXA_TOOL_BALL;
    *diameter = 8.0f;
    *cuttingHeight = 20.0f;
    strcpy(name, "BALL8");
    *length = 50.0f;
    *color = 3;
    *state = 1;
}

MIREXA_PLUGIN_EXPORT void MXNCCOMINIT(int* ok) {
    *ok = 1;
}

MIREXA_PLUGIN_EXPORT void MXNCCOMTOOL(const char* line, int* type, float* diameter,
                                      float* cornerRadius, float* flatRadius, float* cornerHeight,
                                      float* bottomAngle, float* taperAngle, float* cuttingHeight,
                                      float* extra, char* name, float* length, int* color,
                                      int* state) {
    (void)cornerRadius;
    (void)flatRadius;
    (void)cornerHeight;
    (void)bottomAngle;
    (void)taperAngle;
    (void)extra;
    if (strstr(line, "(BALL8)") != NULL) {
        supply(type, diameter, cuttingHeight, name, length, color, state);
    }
}

/* The file form: a program whose name holds "ball8" gets the tool at its start. */
MIREXA_PLUGIN_EXPORT void MXNCCOMTOOLF(const char* path, int* type, float* diameter,
                                       float* cornerRadius, float* flatRadius, float* cornerHeight,
                                       float* bottomAngle, float* taperAngle, float* cuttingHeight,
                                       float* extra, char* name, float* length, int* color,
                                       int* state) {
    MXNCCOMTOOL(strstr(path, "ball8") != NULL ? "(BALL8)" : "", type, diameter, cornerRadius,
                flatRadius, cornerHeight, bottomAngle, taperAngle, cuttingHeight, extra, name,
                length, color, state);
}

MIREXA_PLUGIN_EXPORT void MXNCCOMFREE(void) {}
