// glowdb: lists, verifies, extracts and packs artwork archives (see glowdb --help).
#include <iostream>

#include "tools/glowdb/Glowdb.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return qel::RunGlowdb(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
