#pragma once

#include "Doctor.h"

namespace tavolix::doctor::test {

// A stand-in for tavolixctl's search, built from the discovery library's
// own parts: a socket bound to 3566 sends the search request out of every
// interface, and the replies are counted per interface they came in on,
// each device (by MAC) once. It runs in the calling thread's namespace.
SearchProbeResult searchOnce(std::chrono::milliseconds listen);

} // namespace tavolix::doctor::test
