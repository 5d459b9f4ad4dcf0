#pragma once
// The example plug-in built with the project, loaded as a script entry with its parameter lines.

#include "effects/PluginLoader.h"

#include <memory>
#include <string>

// Loads build/plugins/starburst.so for an entry from `start` to `end`; Init reads `lines`. When
// `rest` is given, it receives the line Init left unread.
std::unique_ptr<Effekter::PluginLoader> loadStarburst(const EffectContext& context,
                                                      const char* lines, int32_t start = 0,
                                                      int32_t end = -1,
                                                      std::string* rest = nullptr);
