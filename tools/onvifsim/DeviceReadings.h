#pragma once

#include "SimCamera.h"
#include "UsernameToken.h"

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace tavolix::onvifsim {

// A call that only reads: it fills its response element from the camera as
// it is, and the device's clock.
using Reading = void (*)(pugi::xml_node response, const SimCamera& camera, DeviceTime now);

// The reading for an operation's name; nullptr for the calls that take
// arguments or change something.
Reading readingFor(std::string_view call);

// One media profile, with no configurations: clients ask for a profile
// before they go on to the device calls.
inline constexpr const char* profileToken = "profile_1";
void appendProfile(pugi::xml_node response, const char* name);

std::string boolText(bool value);

} // namespace tavolix::onvifsim
