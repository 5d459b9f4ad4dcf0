/* Morveldan plug-in effects.
 *
 * A plug-in is a shared object named on a "Plugin" entry of the timeline script:
 *
 *     Plugin
 *     <start time in ms>
 *     <end time in ms>
 *     <path of the shared object, e.g. plugins/starburst.so>
 *     <whatever lines the plug-in's Init reads itself>
 *
 * It exports two C functions. Init is called once while the timeline loads, with the script
 * stream standing just after the path line; it may read its own parameter lines from it (the
 * loader continues after them) and must not close it. Draw is called in every frame whose effect
 * time lies strictly between the start and end time, with that time and the beat level (0 to 1).
 * Both run on the main thread with the show's OpenGL 2.0 context current. Draw should leave
 * texture 0 bound, blending off, program 0 in use and the matrices as it found them.
 *
 * The library is never unloaded; several entries may name the same library, each calling Init.
 *
 * Optionally a plug-in reads the show's tracks (keyframed values of data/demo.tracks) by name:
 * when it also exports SetTrackReader, that is called before each Init with a function that
 * returns the named track's value at the effect time of the frame being drawn, or `fallback` when
 * the show has no such track. Call the reader from Draw. Plug-ins that do not export SetTrackReader load and draw exactly as before. */
#ifndef MORVELDAN_PLUGIN_H
#define MORVELDAN_PLUGIN_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*MorveldanPluginInit)(FILE* script, int startTime, int endTime);
typedef void (*MorveldanPluginDraw)(int time, float beat);
typedef float (*MorveldanTrackReader)(const char* name, float fallback);
typedef void (*MorveldanPluginSetTrackReader)(MorveldanTrackReader reader);

#define MORVELDAN_PLUGIN_EXPORT __attribute__((visibility("default")))

MORVELDAN_PLUGIN_EXPORT void Init(FILE* script, int startTime, int endTime);
MORVELDAN_PLUGIN_EXPORT void Draw(int time, float beat);
/* Optional. */
MORVELDAN_PLUGIN_EXPORT void SetTrackReader(MorveldanTrackReader reader);

#ifdef __cplusplus
}
#endif

#endif
