#include "media/MediaLog.h"

extern "C" {
#include <libavutil/log.h>
}

void quietMediaLog() { av_log_set_level(AV_LOG_ERROR); }
