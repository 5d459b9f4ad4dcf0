#pragma once
// Where the program keeps what belongs to the user rather than to a show: the overlay's layout and
// the recovery copies of unsaved tracks. $XDG_CONFIG_HOME/morveldan, else ~/.config/morveldan.

#include <filesystem>
#include <string>

// The folder (made on demand by the callers that write); empty when neither XDG_CONFIG_HOME nor
// HOME is set.
std::filesystem::path userConfigFolder();

// The recovery copy of one file's unsaved edits in the config folder's recovery/ (named after the
// show's folder, the time and the extension, never over another copy). It is written again,
// atomically, after every edit, so that a crash, a kill or a power cut leaves the latest edits.
class RecoveryCopy {
public:
    // `what` names the edits ("key edits"); `meantFor`, below, the file they belong to.
    RecoveryCopy(std::string extension, const char* what);

    // Writes the edits over the copy, making it at the first; true when they are in it. A copy
    // that cannot be written is reported once on stderr.
    bool update(const std::string& bytes, const std::string& meantFor);
    // The edits were saved: the copy goes.
    void discard();
    // The edits will not be saved in this session: the copy stays, named on stderr ("Unsaved key
    // edits of data/demo.tracks were kept in ..."), or the loss is reported with its reason.
    // Later edits go to a new copy. True when kept.
    bool keep(const std::string& bytes, const std::string& meantFor);

private:
    std::string extension_;
    const char* what_;
    std::filesystem::path path_; // empty until the first edit
    std::string failure_;        // why the copy cannot be written, once reported
};
