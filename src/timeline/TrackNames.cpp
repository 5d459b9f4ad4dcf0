#include "timeline/TrackNames.h"

#include "effects/ShaderShow.h"
#include "effects/ShaderToy.h"
#include "platform/Error.h"
#include "platform/FileBytes.h"
#include "platform/ShowFiles.h"
#include "render/Shader.h"
#include "timeline/ScriptLoader.h"
#include "tracks/TracksFile.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace {

// What a ShaderShow sets itself: no track feeds these.
bool isOwnUniform(std::string_view name) { return name == "time" || name == "beat"; }

char lower(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }

int editDistance(std::string_view a, std::string_view b) {
    std::vector<int> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = int(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (size_t j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The float uniforms of every pass of a ShaderToy entry (its buffers and the files they include),
// at their places in the author's files; the ones the entry sets itself are left out.
void addShaderToyUniforms(const Effekter::ShaderToy& toy, std::vector<DeclaredUniform>& uniforms) {
    for (const shadertoy::Pass* pass : toy.passSources())
        for (DeclaredUniform& uniform : floatUniformsIn(pass->source, pass->file)) {
            const SourceLineMap::Place place = pass->lines.place(uniform.line);
            const auto& own = shadertoy::ownFloatUniforms;
            if (place.file < 0 ||
                std::find(std::begin(own), std::end(own), uniform.name) != std::end(own))
                continue;
            uniform.file = pass->lines.files[size_t(place.file)];
            uniform.line = place.line;
            const bool known = std::any_of(uniforms.begin(), uniforms.end(), [&](const auto& u) {
                return u.name == uniform.name && u.file == uniform.file && u.line == uniform.line;
            });
            if (!known)
                uniforms.push_back(std::move(uniform));
        }
}

std::vector<DeclaredUniform> showUniforms(const EffectList& effects) {
    std::vector<DeclaredUniform> uniforms;
    std::vector<std::string> read;
    for (const auto& effect : effects) {
        if (const auto* toy = dynamic_cast<const Effekter::ShaderToy*>(effect.get())) {
            addShaderToyUniforms(*toy, uniforms);
            continue;
        }
        const auto* show = dynamic_cast<const Effekter::ShaderShow*>(effect.get());
        if (!show || show->shaderPath().empty() ||
            std::find(read.begin(), read.end(), show->shaderPath()) != read.end())
            continue;
        read.push_back(show->shaderPath());
        std::string source;
        if (readWholeFile(show->shaderPath(), largestShowFile(ShowFileKind::Shader), source) ==
            FileRead::Read)
            for (DeclaredUniform& uniform : floatUniformsIn(source, show->shaderPath()))
                if (!isOwnUniform(uniform.name))
                    uniforms.push_back(std::move(uniform));
    }
    return uniforms;
}

// The tracks of single numbers of the ShaderToy entries' vectors (iMouse.x, a tuned colour's .r).
std::vector<std::string> componentTracks(const EffectList& effects) {
    std::vector<std::string> names;
    for (const auto& effect : effects)
        if (const auto* toy = dynamic_cast<const Effekter::ShaderToy*>(effect.get()))
            for (std::string& name : toy->componentTracks())
                names.push_back(std::move(name));
    return names;
}

bool declared(const std::vector<DeclaredUniform>& uniforms, std::string_view name) {
    return std::any_of(uniforms.begin(), uniforms.end(),
                       [&](const DeclaredUniform& uniform) { return uniform.name == name; });
}

} // namespace

std::vector<DeclaredUniform> floatUniformsIn(std::string_view source, const std::string& file) {
    static const std::regex declaration(
        R"(\buniform\s+(?:(?:lowp|mediump|highp)\s+)?float\s+([^;]*);)");
    static const std::regex name(R"(^\s*([A-Za-z_]\w*))");
    std::vector<DeclaredUniform> uniforms;
    int number = 0;
    while (!source.empty()) {
        ++number;
        const size_t end = source.find('\n');
        std::string line(source.substr(0, end));
        source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
        line = line.substr(0, line.find("//"));
        for (std::sregex_iterator at(line.begin(), line.end(), declaration), last; at != last;
             ++at) {
            // `uniform float a, b[2];` declares a and b.
            const std::string names = (*at)[1];
            size_t from = 0;
            while (from <= names.size()) {
                const size_t comma = std::min(names.find(',', from), names.size());
                std::smatch found;
                const std::string part = names.substr(from, comma - from);
                if (std::regex_search(part, found, name))
                    uniforms.push_back({found[1], file, number});
                from = comma + 1;
            }
        }
    }
    return uniforms;
}

int nearMiss(std::string_view a, std::string_view b) {
    if (a == b)
        return -1;
    const int distance = editDistance(a, b);
    // Names of one or two letters are all that close to one another.
    const size_t longer = std::max(a.size(), b.size());
    return distance <= 2 && size_t(distance) < longer ? distance : -1;
}

void checkTrackNames(const TrackSet& tracks, const EffectList& effects, ShowCheck& check) {
    const std::vector<DeclaredUniform> uniforms = showUniforms(effects);
    const std::vector<std::string> components = componentTracks(effects);
    const bool plugins =
        std::any_of(check.entries.begin(), check.entries.end(),
                    [](const ShowCheck::Entry& entry) { return entry.keyword == "Plugin"; });
    for (const Track& track : tracks.tracks()) {
        if (!isFreeTrackName(track.name) || plugins || declared(uniforms, track.name) ||
            std::find(components.begin(), components.end(), track.name) != components.end())
            continue;
        const DeclaredUniform* closest = nullptr;
        int closestDistance = 3;
        for (const DeclaredUniform& uniform : uniforms) {
            const int distance = nearMiss(track.name, uniform.name);
            if (distance >= 0 && distance < closestDistance) {
                closest = &uniform;
                closestDistance = distance;
            }
        }
        std::string text =
            formatText("%s:%d: warning: the track '%s' feeds nothing: no shader "
                       "of the show declares 'uniform float %s;'",
                       showTracksPath, track.line, track.name.c_str(), track.name.c_str());
        if (closest)
            text += formatText("; the closest is '%s' (%s:%d)", closest->name.c_str(),
                               closest->file.c_str(), closest->line);
        check.warnings.push_back(std::move(text));
    }
    for (const DeclaredUniform& uniform : uniforms) {
        if (tracks.find(uniform.name))
            continue;
        for (const Track& track : tracks.tracks())
            if (nearMiss(uniform.name, track.name) >= 0) {
                check.warnings.push_back(formatText(
                    "%s:%d: warning: no track feeds 'uniform float %s;', but the track '%s' "
                    "(%s:%d) nearly names it",
                    uniform.file.c_str(), uniform.line, uniform.name.c_str(), track.name.c_str(),
                    showTracksPath, track.line));
                break;
            }
    }
}
