#include "platform/LoadNotes.h"

#include "platform/Debug.h"
#include "platform/Error.h"

namespace {

LoadNoteCollector* innermost = nullptr;

} // namespace

LoadNoteCollector::LoadNoteCollector() : outer_(innermost) { innermost = this; }

LoadNoteCollector::~LoadNoteCollector() { innermost = outer_; }

void LoadNoteCollector::note(bool warning, const char* format, va_list args) {
    std::string text = formatTextV(format, args);
    debugLine("%s", text.c_str());
    if (innermost)
        (warning ? innermost->warnings_ : innermost->notes_).push_back(std::move(text));
}

void noteLoadProblem(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LoadNoteCollector::note(false, format, args);
    va_end(args);
}

void noteLoadWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LoadNoteCollector::note(true, format, args);
    va_end(args);
}

void keepLoadNote(std::string text) {
    if (innermost)
        innermost->notes_.push_back(std::move(text));
}
