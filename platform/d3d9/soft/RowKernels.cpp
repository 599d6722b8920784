#include <atomic>

#include "platform/d3d9/soft/RowKernelTable.h"

namespace qel::soft {
namespace {

// Best first.
const TRowKernelTable* const Builds[] = {
#if QEL_ROW_KERNEL_VARIANTS
    &RowKernelsV4,
    &RowKernelsV3,
#endif
    &RowKernelsBaseline,
};

bool Runs(const TRowKernelTable& Build) {
#if QEL_ROW_KERNEL_VARIANTS
  __builtin_cpu_init();
  if (&Build == &RowKernelsV4) return __builtin_cpu_supports("x86-64-v4");
  if (&Build == &RowKernelsV3) return __builtin_cpu_supports("x86-64-v3");
#endif
  return &Build == &RowKernelsBaseline;
}

std::atomic<const TRowKernelTable*> Chosen{nullptr};

const TRowKernelTable& Active() {
  const TRowKernelTable* Build = Chosen.load(std::memory_order_relaxed);
  if (!Build) {
    for (const TRowKernelTable* B : Builds)
      if (Runs(*B)) {
        Build = B;
        break;
      }
    Chosen.store(Build, std::memory_order_relaxed);
  }
  return *Build;
}

}  // namespace

std::vector<std::string> RowKernelVariants() {
  std::vector<std::string> Names;
  for (const TRowKernelTable* B : Builds)
    if (Runs(*B)) Names.emplace_back(B->Name);
  return Names;
}

bool UseRowKernelVariant(const std::string& Name) {
  for (const TRowKernelTable* B : Builds)
    if (Name == B->Name && Runs(*B)) {
      Chosen.store(B, std::memory_order_relaxed);
      return true;
    }
  return false;
}

#define QEL_ROW_KERNEL_CALL(Name, Parameters, Arguments) \
  void Name Parameters { Active().Name Arguments; }
QEL_ROW_KERNELS(QEL_ROW_KERNEL_CALL)
#undef QEL_ROW_KERNEL_CALL

}  // namespace qel::soft
