// The row kernels built for AVX2.
#include <algorithm>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/d3d9/soft/PixelMath.h"
#include "platform/d3d9/soft/RowKernelTable.h"

#if QEL_ROW_KERNEL_VARIANTS
#pragma GCC target("arch=x86-64-v3")
#define QEL_ROW_VARIANT v3
#define QEL_ROW_ISA 3
#define QEL_ROW_VARIANT_NAME "x86-64-v3"
#define QEL_ROW_TABLE RowKernelsV3
#include "platform/d3d9/soft/RowKernelsBody.inc"
#endif
