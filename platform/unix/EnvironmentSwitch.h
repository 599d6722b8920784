#pragma once

namespace qel::posix {

// A switch set in the environment: present, not empty and not "0".
bool EnvironmentSwitch(const char* Name);

}  // namespace qel::posix
