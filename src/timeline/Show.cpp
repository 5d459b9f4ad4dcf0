#include "timeline/Show.h"

#include "effects/PluginLoader.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"
#include "platform/StopSignals.h"
#include "render/Random.h"
#include "render/RenderTarget.h"
#include "timeline/LoadingScreen.h"
#include "timeline/MusicBeat.h"
#include "tracks/TracksFile.h"

#include <algorithm>
#include <optional>

namespace {

// The script, or nothing after a fault.
std::optional<std::string> readScriptBytes(LoadReport& report, ShowFiles& files) {
    const std::string unable = formatText("Unable to load %s", showScriptPath);
    try {
        if (std::optional<std::string> bytes =
                files.open(showScriptPath, ShowFileKind::Script).bytes())
            return bytes;
    } catch (const FileRefused& refused) {
        report.fault(0, refused.reason(), unable);
        return std::nullopt;
    }
    if (!report.checking())
        throw ShowError(unable);
    report.fault(0, "cannot be read", unable);
    return std::nullopt;
}

// The music file as the show may read it; its refusal is a fault at the line naming it.
std::string guardedMusicFile(const ScriptHeader& header, ShowFiles& files, LoadReport& report) {
    if (header.musicFile.empty())
        return header.musicFile;
    try {
        return files.open(header.musicFile, ShowFileKind::Music).path();
    } catch (const FileRefused& refused) {
        report.fault(header.musicLine, "the music file", refused.what());
    }
    return {};
}

// A show may leave its loading picture out: the run goes on, so a check only warns.
void openLoadingScreen(std::optional<LoadingScreen>& loading, ShowScreen& screen, ShowFiles& files,
                       int entryCount, ShowCheck* check) {
    LoadNoteCollector notes;
    loading.emplace(screen, files, entryCount);
    if (check)
        for (const std::string& note : notes.notes())
            check->warnings.push_back("warning: " + note + " (the loading picture)");
}

// Hands the files read so far to whoever asked, however loading ends.
class FilesReadOnExit {
public:
    FilesReadOnExit(const ShowFiles& files, std::vector<std::string>* into)
        : files_(files), into_(into) {}
    ~FilesReadOnExit() {
        if (into_)
            *into_ = files_.opened();
    }
    FilesReadOnExit(const FilesReadOnExit&) = delete;
    FilesReadOnExit& operator=(const FilesReadOnExit&) = delete;

private:
    const ShowFiles& files_;
    std::vector<std::string>* into_;
};

} // namespace

namespace {

// Makes each entry's effect into the show, with one loading frame per entry.
class ShowBuilder : public EntryBuilder {
public:
    ShowBuilder(Show& show, LoadingScreen* loading) : show_(show), loading_(loading) {}

    void startEntry() override {
        throwIfStopped();
        if (loading_)
            loading_->nextEntry();
    }

    void make(const EffectFamily& family, const EntryValues& values) override {
        std::unique_ptr<Effekt> effect = show_.makeEffect(family, values);
        debugLine("Loaded %.*s with start time %i and end time %i", int(family.keyword.size()),
                  family.keyword.data(), values.start, values.end);
        show_.insertEntry(show_.effects().size(), {&family, {}}, std::move(effect));
    }

    void madeEntry(const EntryLines& lines) override {
        show_.setEntryLines(show_.effects().size() - 1, lines);
    }

    std::string describePlugin(const std::string& path) override {
        return describePluginFile(show_.openFile(path, ShowFileKind::Plugin));
    }

private:
    Show& show_;
    LoadingScreen* loading_;
};

} // namespace

Show::~Show() {
    tracks_.reset();
    for (auto& effect : effects_)
        effect.reset();
}

std::vector<std::string> Show::keywords() const {
    std::vector<std::string> keywords;
    for (const ScriptEntry& entry : entries_)
        keywords.emplace_back(entry.family->keyword);
    return keywords;
}

void Show::setTracks(TrackSet tracks) {
    static const std::vector<float> unmeasured;
    const BeatSetting& beat = tracks.beat();
    const float scale = beatScaleFor(beat, beat.automatic ? music_->lowBandSums() : unmeasured);
    frame_.setValues(nullptr);
    tracks_.reset(); // its tweak bars go before the new one registers the entries again
    tracks_ = std::make_unique<ShowTracks>(std::move(tracks), effects_, keywords(), scale);
    frame_.setValues(tracks_.get());
}

void Show::rebindTracks() { setTracks(std::move(tracks_->tracks())); }

std::vector<std::string> Show::files() const {
    std::vector<std::string> files = {showScriptPath, showTracksPath};
    for (std::string& file : files_.opened())
        if (std::find(files.begin(), files.end(), file) == files.end())
            files.push_back(std::move(file));
    return files;
}

std::optional<uint32_t> Show::endTime() const {
    std::optional<uint32_t> earliest;
    for (size_t i = 0; i < effects_.size(); ++i) {
        const Effekt& effect = *effects_[i];
        const bool canBeActive = uint64_t(effect.startTime) + 1 < uint64_t(effect.endTime);
        if (entries_[i].family->endsShow && canBeActive &&
            (!earliest || effect.startTime < *earliest))
            earliest = effect.startTime;
    }
    return earliest;
}

std::unique_ptr<Effekt> Show::makeEffect(const EffectFamily& family, const EntryValues& values) {
    const uint64_t targetsBefore = RenderTarget::madeCount();
    std::unique_ptr<Effekt> effect = family.make(context_, values);
    effect->keepsPictures =
        RenderTarget::madeCount() != targetsBefore || family.keepsUnknownPictures;
    return effect;
}

void Show::insertEntry(size_t at, const ScriptEntry& entry, std::unique_ptr<Effekt> effect) {
    effects_.insert(effects_.begin() + std::ptrdiff_t(at), std::move(effect));
    entries_.insert(entries_.begin() + std::ptrdiff_t(at), entry);
}

std::unique_ptr<Effekt> Show::removeEntry(size_t at) {
    std::unique_ptr<Effekt> effect = std::move(effects_[at]);
    effects_.erase(effects_.begin() + std::ptrdiff_t(at));
    entries_.erase(entries_.begin() + std::ptrdiff_t(at));
    return effect;
}

std::unique_ptr<Show> makeShow(const std::string* scriptBytes, ShowOptions& options,
                               ShowScreen* screen) {
    std::unique_ptr<Show> show(new Show(options.reach));
    const FilesReadOnExit filesRead(show->files_, options.filesRead);
    // Every show draws from the start of the random sequence, as a fresh run does.
    prng::seed(1);
    LoadReport report(showScriptPath, options.check);
    // A check goes on without the script, to report the tracks file's problems too.
    const std::optional<std::string> bytes = scriptBytes ? std::optional<std::string>(*scriptBytes)
                                                         : readScriptBytes(report, show->files_);
    const ScriptText script(showScriptPath, bytes ? *bytes : std::string());
    const bool headerRead = bytes && readScriptHeader(script, report, show->header_);
    if (headerRead) {
        show->scriptText_ = *bytes;
        std::optional<LoadingScreen> loading;
        if (screen)
            openLoadingScreen(loading, *screen, show->files_, show->header_.entryCount,
                              options.check);
        ShowBuilder builder(*show, loading ? &*loading : nullptr);
        readScriptEntries(script, report, builder, options.rules);
    }
    const std::string musicFile = headerRead && screen
                                      ? guardedMusicFile(show->header_, show->files_, report)
                                      : std::string();
    if (options.music && options.music->serves(musicFile, options.musicSound))
        show->music_ = std::move(options.music);
    else
        show->music_ = std::make_shared<ShowMusic>(musicFile, options.musicSound);
    if (options.tracks)
        show->setTracks(std::move(*options.tracks));
    else if (screen)
        show->setTracks(loadShowTracks(show->files_, options.check));
    else
        show->setTracks({});
    return show;
}

std::unique_ptr<Show> readShow(const std::string& scriptBytes, ShowOptions options) {
    return makeShow(&scriptBytes, options, nullptr);
}

std::unique_ptr<Show> loadShow(ShowScreen& screen, ShowOptions options) {
    return makeShow(nullptr, options, &screen);
}

ScriptHeader readShowHeader(FileReach reach) {
    ShowFiles files(reach);
    LoadReport report(showScriptPath, nullptr);
    const std::optional<std::string> bytes = readScriptBytes(report, files);
    const ScriptText script(showScriptPath, *bytes);
    ScriptHeader header;
    if (!readScriptHeader(script, report, header))
        raise("Unable to load %s", showScriptPath);
    guardedMusicFile(header, files, report);
    return header;
}
