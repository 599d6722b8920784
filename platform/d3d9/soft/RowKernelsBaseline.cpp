// The row kernels built for the baseline instruction set.
#include <algorithm>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/d3d9/soft/PixelMath.h"
#include "platform/d3d9/soft/RowKernelTable.h"

#define QEL_ROW_VARIANT baseline
#define QEL_ROW_ISA 0
#define QEL_ROW_VARIANT_NAME "baseline"
#define QEL_ROW_TABLE RowKernelsBaseline
#include "platform/d3d9/soft/RowKernelsBody.inc"
