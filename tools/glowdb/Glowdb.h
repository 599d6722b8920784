#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace qel {

// The glowdb command line: Args are the arguments after the program name. Normal output goes
// to Out, failures to Err as one line each. Answers the exit status: 0 success, 1 failure,
// 2 a command line that cannot be understood.
int RunGlowdb(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err);

}  // namespace qel
