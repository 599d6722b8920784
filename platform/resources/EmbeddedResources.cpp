#include "platform/resources/EmbeddedResources.h"

#include <map>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qel {
namespace {

struct TBlock {
  const void* Data;
  std::int64_t Size;
};

// Filled by static initialisers of the linked data, so it must exist before any of them runs.
std::map<std::string, TBlock>& Registered() {
  static std::map<std::string, TBlock> Blocks;
  return Blocks;
}

}  // namespace

bool RegisterEmbeddedResource(const char* Name, const void* Data, std::int64_t Size) {
  Registered()[Name] = TBlock{Data, Size};
  return true;
}

bool FindEmbeddedResource(const std::string& Name, const void*& Data, std::int64_t& Size) {
#ifdef _WIN32
  HMODULE Module = GetModuleHandleA(nullptr);
  HRSRC Info = FindResourceA(Module, Name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (Info) {
    HGLOBAL Handle = LoadResource(Module, Info);
    const void* Bytes = Handle ? LockResource(Handle) : nullptr;
    if (Bytes) {
      Data = Bytes;
      Size = static_cast<std::int64_t>(SizeofResource(Module, Info));
      return true;
    }
  }
#endif
  const auto It = Registered().find(Name);
  if (It == Registered().end()) return false;
  Data = It->second.Data;
  Size = It->second.Size;
  return true;
}

}  // namespace qel
