#pragma once
// Problems met while loading that do not stop it (an unreadable image leaves its texture empty,
// a missing shader file leaves its stage out). Each goes to the debug output, and the innermost
// LoadNoteCollector alive at the time keeps it too, so a show check can report it.

#include <cstdarg>
#include <string>
#include <vector>

void noteLoadProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for what the show plays well enough without (a shader stage left out): a check warns
// of it and still passes.
void noteLoadWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Keeps a note that was already written to the debug output (by a child process) without
// writing it again.
void keepLoadNote(std::string text);

class LoadNoteCollector {
public:
    LoadNoteCollector();
    ~LoadNoteCollector();
    LoadNoteCollector(const LoadNoteCollector&) = delete;
    LoadNoteCollector& operator=(const LoadNoteCollector&) = delete;

    const std::vector<std::string>& notes() const { return notes_; }
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    friend void noteLoadProblem(const char* format, ...);
    friend void noteLoadWarning(const char* format, ...);
    static void note(bool warning, const char* format, va_list args);
    friend void keepLoadNote(std::string text);
    LoadNoteCollector* outer_;
    std::vector<std::string> notes_;
    std::vector<std::string> warnings_;
};
