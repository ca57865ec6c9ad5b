#include "base/platform/local_time.h"

namespace kolt::platform {

std::tm localTime(std::time_t t) {
  std::tm local{};
  ::localtime_r(&t, &local);
  return local;
}

}  // namespace kolt::platform
