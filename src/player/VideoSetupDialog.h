#pragma once
// The "Video setup" dialog shown before the window opens.

#include "player/VideoSettings.h"

// Shows the dialog on the settings record. Returns false for Cancel (record unchanged), true for
// Run (choices stored). A dialog that cannot be shown counts as Run with the record unchanged.
bool runVideoSetupDialog(VideoSettings& settings);
