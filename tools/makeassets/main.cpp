// Writes every binary asset of the show into the data folder given on the command line: the
// pictures, the music, the video and the models. The output depends on nothing but this code and
// the music file name in the show script, so two runs write identical files.
#include "Images.h"
#include "Models.h"
#include "Music.h"
#include "Video.h"
#include "timeline/ScriptReader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Job {
    const char* name;
    std::function<void(const std::filesystem::path&)> run;
};

// The music file named on the script's first value line, a path under data/ relative to the run
// directory, mapped into the data folder being written.
std::filesystem::path musicFile(const std::filesystem::path& script,
                                const std::filesystem::path& data) {
    FILE* file = std::fopen(script.c_str(), "r");
    if (!file)
        throw std::runtime_error("cannot open " + script.string());
    std::string name;
    try {
        name = readScriptLine(file);
    } catch (const ScriptEnded&) {
    }
    std::fclose(file);
    const std::string prefix = "data/";
    const std::filesystem::path inside =
        std::filesystem::path(name.substr(std::min(name.size(), prefix.size()))).lexically_normal();
    const bool underData = name.rfind(prefix, 0) == 0 && !inside.empty() && inside.is_relative() &&
                           *inside.begin() != "..";
    if (!underData)
        throw std::runtime_error("the music file '" + name + "' in " + script.string() +
                                 " does not lie under data/");
    return data / inside;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: makeassets DATA_DIR SHOW_SCRIPT\n");
        return 1;
    }
    const std::filesystem::path data = argv[1];
    std::filesystem::path music;
    try {
        std::filesystem::create_directories(data);
        music = musicFile(argv[2], data);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "makeassets: %s\n", error.what());
        return 1;
    }
    // The slowest first, so it runs beside all the others.
    const std::vector<Job> jobs = {
        {"music", [&](const std::filesystem::path&) { writeMusic(music); }},
        {"video",
         [](const std::filesystem::path& dir) { writeVideo(dir / "mirok/video/Video.avi"); }},
        {"models", writeModels},
        {"glow images", writeGlowImages},
        {"scene images", writeSceneImages},
        {"figure images", writeFigureImages},
        {"text and mask images", writeTextAndMaskImages},
    };
    // The jobs write different files, so they run side by side; each is deterministic alone.
    std::vector<std::exception_ptr> failures(jobs.size());
    std::vector<std::thread> workers;
    const auto started = std::chrono::steady_clock::now();
    for (size_t i = 0; i < jobs.size(); ++i)
        workers.emplace_back([&, i] {
            const auto jobStart = std::chrono::steady_clock::now();
            try {
                jobs[i].run(data);
            } catch (...) {
                failures[i] = std::current_exception();
            }
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - jobStart;
            std::printf("makeassets: %s %.2f s\n", jobs[i].name, took.count());
        });
    for (std::thread& worker : workers)
        worker.join();
    int status = 0;
    for (size_t i = 0; i < jobs.size(); ++i)
        if (failures[i]) {
            try {
                std::rethrow_exception(failures[i]);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "makeassets: %s failed: %s\n", jobs[i].name, error.what());
            }
            status = 1;
        }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("makeassets: all assets in %.2f s\n", took.count());
    return status;
}
