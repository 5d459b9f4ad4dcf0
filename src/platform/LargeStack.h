#pragma once
// Work that may recurse deeply in code not ours: the GL driver's shader compiler recurses once per
// term of an expression, so a shader of one long sum (well within the size a shader may have)
// would overflow the 8 MiB of an ordinary stack and end the process with a segmentation fault.

#include <cstddef>
#include <functional>

// A stack that holds the compiler's recursion for the largest shader a show may have (1 MiB).
constexpr size_t largeStackBytes = size_t(512) << 20;

// Runs `work` on a thread with a stack of `stackBytes` and hands back its result once it ends.
// The process's stop signals (SIGINT, SIGTERM, SIGALRM) reach that thread, as they would the
// program's only one. Runs `work` on this thread when no such thread can be made.
int runOnLargeStack(size_t stackBytes, const std::function<int()>& work);
