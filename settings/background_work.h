#pragma once

#include <functional>

// Runs `work` on a thread of its own while the calling thread's event loop goes on
// painting and running timers; the user's input waits until the work is over. So a
// slow disk, a network share or a pipe never freezes a window. Returns when the
// work has ended and throws what it threw.
void RunInBackground(const std::function<void()>& work);
