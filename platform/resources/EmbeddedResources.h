#pragma once
#include <cstdint>
#include <string>

namespace qel {

// Bytes carried inside the running executable under a name: on Windows a resource of type
// RT_RCDATA, elsewhere data linked into the program that registered itself at start-up.
// The bytes live as long as the program. False when the executable carries nothing by that name.
bool FindEmbeddedResource(const std::string& Name, const void*& Data, std::int64_t& Size);

// Used by the data linked into a program (see LinkedArtwork.cpp); no effect on Windows,
// where resources are found through the executable itself.
bool RegisterEmbeddedResource(const char* Name, const void* Data, std::int64_t Size);

}  // namespace qel
