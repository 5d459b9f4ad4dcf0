#include "StarburstEntry.h"

#include <cstdio>

std::unique_ptr<Effekter::PluginLoader> loadStarburst(const EffectContext& context,
                                                      const char* lines, int32_t start, int32_t end,
                                                      std::string* rest) {
    std::FILE* script = std::tmpfile();
    std::fputs(lines, script);
    std::rewind(script);
    auto plugin = std::make_unique<Effekter::PluginLoader>(
        context, start, end, std::string(MORVELDAN_BUILD_DIR) + "/plugins/starburst.so", script);
    char next[64] = "";
    if (rest && std::fgets(next, sizeof next, script))
        *rest = next;
    std::fclose(script);
    return plugin;
}
