#pragma once
// Loading the timeline script data/demo.txt: the music file, the start offset and every effect,
// with the rising loading picture presented once per entry.

#include "effekt/Effekt.h"

#include <cstdint>
#include <string>
#include <vector>

class ShowScreen;
struct ShowCheck;

// Fills the list in script order and returns the music file name and the start offset. Throws
// ShowError at the first fault, its text naming the script's file and line on a first line and
// the fault on the next ("Unable to load data/demo.txt", "Unknown entry '%s' in file, please
// correct", whatever an effect's constructor throws); throws "You quit?" when the window is
// closed while loading. When `keywords` is given, it receives each entry's keyword, in the order
// of the list. With a `check`, every problem is noted there instead and loading goes on.
void loadTimeline(EffectList& effects, ShowScreen& screen, std::string& musicFile,
                  int32_t& startOffset, std::vector<std::string>* keywords = nullptr,
                  ShowCheck* check = nullptr);

// Forgets the run's tweakable variables and destroys the effects first to last.
void shutDownEffects(EffectList& effects);
