// The time of day where the user is, for the stamps of the logs.
#pragma once

#include <ctime>

namespace kolt::platform {

// `t` in the system's time zone; safe from several threads at once.
std::tm localTime(std::time_t t);

}  // namespace kolt::platform
