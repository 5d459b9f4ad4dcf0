#include "farm/SegmentManifest.h"

#include "offline/RenderPlan.h"
#include "platform/Error.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* manifestHeading = "morveldan segment";

bool readCount(std::istringstream& in, uint64_t& value) { return bool(in >> value); }

} // namespace

std::string manifestPathOf(const std::string& segmentFile) { return segmentFile + ".manifest"; }

void writeManifest(const std::string& path, const SegmentManifest& m) {
    const std::string temporary = path + ".partial";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << manifestHeading << "\n"
            << "show=" << m.show << "\n"
            << "music=" << m.music << "\n"
            << "options=" << m.options << "\n"
            << "segment=" << m.segment << "/" << m.segments << "\n"
            << "frames=" << m.firstFrame << " " << m.endFrame << "\n"
            << "span=" << m.spanFrames << "\n"
            << "file=" << m.file << "\n";
        out.flush();
        if (!out)
            raise("Unable to write %s", temporary.c_str());
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error)
        raise("Unable to write %s: %s", path.c_str(), error.message().c_str());
}

std::optional<SegmentManifest> readManifest(const std::string& path, std::string& problem) {
    std::ifstream in(path);
    if (!in) {
        problem = "has no manifest (" + path + ")";
        return std::nullopt;
    }
    std::string line;
    std::map<std::string, std::string> values;
    if (!std::getline(in, line) || line != manifestHeading) {
        problem = "has a damaged manifest (" + path + ")";
        return std::nullopt;
    }
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    SegmentManifest m;
    m.show = values["show"];
    m.music = values["music"];
    m.options = values["options"];
    m.file = values["file"];
    std::istringstream segment(values["segment"]), frames(values["frames"]), span(values["span"]);
    char slash = 0;
    const bool complete = !m.show.empty() && !m.file.empty() && !m.options.empty() &&
                          (segment >> m.segment >> slash >> m.segments) && slash == '/' &&
                          readCount(frames, m.firstFrame) && readCount(frames, m.endFrame) &&
                          readCount(span, m.spanFrames);
    if (!complete) {
        problem = "has a damaged manifest (" + path + ")";
        return std::nullopt;
    }
    // Frames are counted in signed 64 bits once read.
    const bool framesMakeSense = m.segment >= 1 && m.segment <= m.segments &&
                                 uint64_t(m.segments) <= m.spanFrames &&
                                 m.spanFrames <= uint64_t(INT64_MAX) &&
                                 std::make_pair(m.firstFrame, m.endFrame) ==
                                     segmentFrames(m.spanFrames, m.segment, m.segments);
    if (!framesMakeSense) {
        problem = formatText("has a damaged manifest (%s): frames %llu to %llu are not segment "
                             "%d of %d of a span of %llu frames",
                             path.c_str(), (unsigned long long)m.firstFrame,
                             (unsigned long long)m.endFrame, m.segment, m.segments,
                             (unsigned long long)m.spanFrames);
        return std::nullopt;
    }
    return m;
}
