#include "platform/unix/EnvironmentSwitch.h"

#include <cstdlib>
#include <cstring>

namespace qel::posix {

bool EnvironmentSwitch(const char* Name) {
  const char* V = std::getenv(Name);
  return V && *V && std::strcmp(V, "0") != 0;
}

}  // namespace qel::posix
