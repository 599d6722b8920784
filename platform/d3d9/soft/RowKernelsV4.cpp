// The row kernels built for AVX-512.
#include <algorithm>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/d3d9/soft/PixelMath.h"
#include "platform/d3d9/soft/RowKernelTable.h"

#if QEL_ROW_KERNEL_VARIANTS
#pragma GCC target("arch=x86-64-v4")
#define QEL_ROW_VARIANT v4
#define QEL_ROW_ISA 4
#define QEL_ROW_VARIANT_NAME "x86-64-v4"
#define QEL_ROW_TABLE RowKernelsV4
#include "platform/d3d9/soft/RowKernelsBody.inc"
#endif
