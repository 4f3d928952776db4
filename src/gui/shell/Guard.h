#pragma once

#include <utility>

namespace melodrix {

// Runs a command handler so that no failure crosses the event loop: a failure ends the
// handler where it occurs, silently; whatever it changed before stays changed.
template <typename Handler>
void IgnoreException(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
    }
}

}  // namespace melodrix
