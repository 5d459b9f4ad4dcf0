#pragma once
// The error message box shown when a run fails.

#include <string>

// Shows the message in a box and waits for the viewer to close it, or for a stop signal, which
// closes the box. The box lives in a child process that ends with this one, however this one
// ends. False when no box could be shown.
bool showErrorBox(const std::string& message);
