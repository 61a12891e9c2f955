#pragma once

#include <functional>

namespace dbk {

// How the program ends after the server was stopped: at once, without saving the window
// placement. Tests put something observable in its place.
void setProgramEnd(std::function<void()> end);

}  // namespace dbk
