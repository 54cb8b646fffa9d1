/* Sample plug-in of any family, built once per variant with these definitions:
 *   FAMILY        the family in upper case (MXSIM, MXLOAD, ...); SPELL empty or _ (the spelling)
 *   SAMPLE_NAME   a string naming the variant in its name and in the call log
 *   INIT_OK       what INIT answers (no INIT export when undefined)
 *   WITH_VERSION  the interface version VERSION answers (no VERSION export when undefined)
 *   WITH_<WORD>   exports <WORD> (SUFFIX, KIND, MENUITEM, PATH, PATHIJK, PATHCOLOR, GETWORK,
 *                 CUTWORK, GETWORKSIZE, LOADWORK, MODWORK, SAVEWORK, PARAMETER, TOOL,
 *                 FINDWINDOW, EXECPROGRAM, GET, GETNAME)
 *   NAME_FILL     KIND and MENUITEM write that many "x" bytes without a NUL instead of a name
 * Its INIT and FREE append "<SAMPLE_NAME> INIT" or "... FREE" to the file named by the
 * environment variable MIREXA_SAMPLE_PLUGIN_LOG. The stock loader copies the user's file (an
 * STL) to the stock file; the stock saver copies the stock file to the user's path. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plugins/mirexa_plugin.h"

#define PASTE(a, b, c) a##b##c
#define NAME3(a, b, c) PASTE(a, b, c)
#define EXPORT(word) MIREXA_PLUGIN_EXPORT void NAME3(SPELL, FAMILY, word)

static void note(const char* what) {
    const char* path = getenv("MIREXA_SAMPLE_PLUGIN_LOG");
    FILE* log = path != NULL ? fopen(path, "a") : NULL;
    if (log != NULL) {
        fprintf(log, "%s %s\n", SAMPLE_NAME, what);
        fclose(log);
    }
}

#if defined(WITH_KIND) || defined(WITH_MENUITEM)
static void writeName(const int* language, char* name) {
#ifdef NAME_FILL
    (void)language;
    memset(name, 'x', NAME_FILL);
#else
    snprintf(name, MIREXA_PLUGIN_NAME_SIZE, "%s %s", SAMPLE_NAME, *language == 0 ? "ja" : "en");
#endif
}
#endif

#if defined(WITH_LOADWORK) || defined(WITH_SAVEWORK)
static int copyFile(const char* from, const char* to) {
    FILE* in = fopen(from, "rb");
    FILE* out = in != NULL ? fopen(to, "wb") : NULL;
    char buffer[4096];
    size_t n;
    int ok = in != NULL && out != NULL;
    while (ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0) {
        ok = fwrite(buffer, 1, n, out) == n;
    }
    if (in != NULL) {
        fclose(in);
    }
    if (out != NULL && fclose(out) != 0) {
        ok = 0;
    }
    return ok;
}
#endif

#ifdef WITH_VERSION
EXPORT(VERSION)(int* version) {
    *version = WITH_VERSION;
}
#endif

#ifdef INIT_OK
EXPORT(INIT)(int* ok) {
    note("INIT");
    *ok = INIT_OK;
}
#endif

EXPORT(FREE)(void) {
    note("FREE");
}

#ifdef WITH_SUFFIX
EXPORT(SUFFIX)(char* list) {
    strcpy(list, ".smp;.sm2");
}
#endif

#ifdef WITH_KIND
EXPORT(KIND)(const int* language, char* name) {
    writeName(language, name);
}
#endif

#ifdef WITH_MENUITEM
EXPORT(MENUITEM)(const int* language, char* name) {
    writeName(language, name);
}
#endif

#ifdef WITH_PATHCOLOR
EXPORT(PATHCOLOR)(int* count, uint32_t* colors) {
    *count = WITH_PATHCOLOR;
    colors[0] = 0x0000FFu;
}
#endif

#ifdef WITH_PATH
EXPORT(PATH)
(int* line, int* type, void* reserved1, double* end, double* centre, int* plane, double* feed,
 char* reserved2, int* reserved3, int* more) {
    (void)line, (void)type, (void)reserved1, (void)end, (void)centre, (void)plane, (void)feed;
    (void)reserved2, (void)reserved3;
    *more = 0;
}
#endif

#ifdef WITH_PATHIJK
EXPORT(PATHIJK)
(int* line, int* type, double* end, double* axis, double* feed, char* reserved2, int* reserved3,
 int* more) {
    (void)line, (void)type, (void)end, (void)axis, (void)feed, (void)reserved2, (void)reserved3;
    *more = 0;
}
#endif

#ifdef WITH_LOADWORK
EXPORT(LOADWORK)(const char* path, const char* stockFile, int* ok) {
    *ok = copyFile(path, stockFile);
}
#endif

#ifdef WITH_SAVEWORK
EXPORT(SAVEWORK)(const char* path, const char* stockFile, const int* saveLevel, int* ok) {
    (void)saveLevel;
    *ok = copyFile(stockFile, path);
}
#endif

#ifdef WITH_PARAMETER
EXPORT(PARAMETER)(int* level, const int* kind) {
    *level = *kind * 10;
}
#endif

#ifdef WITH_TOOL
EXPORT(TOOL)(void) {}
#endif

#ifdef WITH_EXECPROGRAM
EXPORT(EXECPROGRAM)(char* text) {
    size_t n = strlen(text);
    if (n > MIREXA_PLUGIN_TEXT_SIZE - 8) {
        n = MIREXA_PLUGIN_TEXT_SIZE - 8;
    }
    memmove(text + 7, text, n);
    memcpy(text, "plugin-", 7);
    text[n + 7] = '\0';
}
#endif

#ifdef WITH_GETNAME
EXPORT(GETNAME)(const char* name, int* enabled) {
    *enabled = strlen(name) > 0;
}
#endif

/* Exports that only decide acceptance. */
#ifdef WITH_GETWORK
EXPORT(GETWORK)(void) {}
#endif
#ifdef WITH_CUTWORK
EXPORT(CUTWORK)(void) {}
#endif
#ifdef WITH_GETWORKSIZE
EXPORT(GETWORKSIZE)(void) {}
#endif
#ifdef WITH_MODWORK
EXPORT(MODWORK)(void) {}
#endif
#ifdef WITH_FINDWINDOW
EXPORT(FINDWINDOW)(void) {}
#endif
#ifdef WITH_GET
EXPORT(GET)(void) {}
#endif
