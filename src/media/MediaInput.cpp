#include "media/MediaInput.h"

#include <mutex>
#include <set>

namespace ffmpeg {

namespace {

// The URL kept for as long as any context (or a nested one, which copies the opaque field, on
// whatever thread decodes) may look at it: for the rest of the run, one copy a file.
const std::string* lastingCopy(const std::string& url) {
    static std::mutex mutex;
    static std::set<std::string> urls;
    std::lock_guard lock(mutex);
    return &*urls.insert(url).first;
}

// Opens only the URL the context's opaque field names; demuxers that nest contexts pass the same
// opaque field on.
int openOnlyTheFile(AVFormatContext* context, AVIOContext** io, const char* url, int flags,
                    AVDictionary** options) {
    const auto* allowed = static_cast<const std::string*>(context->opaque);
    if (!allowed || *allowed != url)
        return AVERROR(EPERM);
    return avio_open2(io, url, flags, &context->interrupt_callback, options);
}

} // namespace

InputPtr openMediaFile(const std::string& path, int& status) {
    // The "file:" prefix keeps a name containing a colon from being read as a protocol.
    const std::string url = "file:" + path;
    AVFormatContext* context = avformat_alloc_context();
    if (!context) {
        status = AVERROR(ENOMEM);
        return nullptr;
    }
    context->opaque = const_cast<std::string*>(lastingCopy(url));
    context->io_open = openOnlyTheFile;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    status = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (status < 0)
        return nullptr; // avformat_open_input frees the context on failure
    return InputPtr(context);
}

} // namespace ffmpeg
