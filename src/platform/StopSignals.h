#pragma once
// SIGINT and SIGTERM end a run through its normal unwinding: the handler only notes the signal, and
// the loops that present frames or render ask for it between frames.

// Installs the handlers (a second signal of the same kind ends the process at once) and tells SDL
// to leave them alone. Call before SDL is initialised.
void catchStopSignals();

// The signal that asked the run to stop, or 0.
int stopSignal();

// Throws Interrupted with the message when a stop signal has arrived.
void throwIfStopped(const char* message = "");
