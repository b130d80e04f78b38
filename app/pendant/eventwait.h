#pragma once

#include <functional>

// Waits of the scripted demo: they keep the event loop turning, so that child processes,
// timers, the controller link and modal dialogs go on while the demo waits for them.
namespace eventwait {

// True as soon as `condition` holds; false when it still does not after `ms` milliseconds.
bool until(const std::function<bool()> &condition, int ms);
void settle(int ms);

} // namespace eventwait
