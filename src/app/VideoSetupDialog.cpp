#include "app/VideoSetupDialog.h"

// Until the dialog exists the defaults are taken as they are.
bool runVideoSetupDialog(VideoSettings&) { return true; }
