#include "platform/LoadNotes.h"

#include "platform/Debug.h"
#include "platform/Error.h"

namespace {

LoadNoteCollector* innermost = nullptr;

} // namespace

LoadNoteCollector::LoadNoteCollector() : outer_(innermost) { innermost = this; }

LoadNoteCollector::~LoadNoteCollector() { innermost = outer_; }

void noteLoadProblem(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatTextV(format, args);
    va_end(args);
    debugLine("%s", text.c_str());
    keepLoadNote(std::move(text));
}

void keepLoadNote(std::string text) {
    if (innermost)
        innermost->notes_.push_back(std::move(text));
}
