#pragma once
// The row kernels as a table of functions, one table per build of them for an instruction
// set, so that the best build the processor runs is picked once and tests can run each.
#include "platform/d3d9/soft/RowKernels.h"

// On x86-64 Linux the kernels are built for AVX-512, AVX2 and the baseline.
#if defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
#define QEL_ROW_KERNEL_VARIANTS 1
#else
#define QEL_ROW_KERNEL_VARIANTS 0
#endif

// Every kernel of RowKernels.h once: K(name, (parameters), (arguments)).
#define QEL_ROW_KERNELS(K)                                                                                       \
  K(FillRow, (std::uint32_t Color, std::uint32_t* Dst, int Count), (Color, Dst, Count))                          \
  K(OpaqueRow, (std::uint32_t * Dst, int Count), (Dst, Count))                                                   \
  K(LerpRows, (const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t* Out, int Count), \
    (Top, Bottom, Fy, Out, Count))                                                                               \
  K(BilinearWrapRow,                                                                                             \
    (const TWrapTexture& T, std::int64_t U, std::int64_t V, std::int64_t DU, std::int64_t DV, std::uint32_t* Out,   \
     int Count),                                                                                                 \
    (T, U, V, DU, DV, Out, Count))                                                                               \
  K(UniformRowsWrapRow, (const TWrapTexture& T, std::int64_t V, std::int64_t DV, std::uint32_t* Out, int Count),  \
    (T, V, DV, Out, Count))                                                                                      \
  K(UniformRowsModulateAddRow,                                                                                   \
    (const TWrapTexture& T, std::int64_t V, std::int64_t DV, std::uint32_t Color, std::uint32_t* Dst, int Count),  \
    (T, V, DV, Color, Dst, Count))                                                                               \
  K(WhiteRowsAddSpans,                                                                                           \
    (const std::uint16_t* Pairs, int HeightMask, std::int64_t DV, std::uint32_t Alpha, const TWhiteSpan* Spans,  \
     int Count),                                                                                                 \
    (Pairs, HeightMask, DV, Alpha, Spans, Count))                                                                \
  K(ModulateRow, (const std::uint32_t* A, const std::uint32_t* B, std::uint32_t* Out, int Count), (A, B, Out, Count)) \
  K(ModulateRowByColor, (const std::uint32_t* A, std::uint32_t Color, std::uint32_t* Out, int Count),            \
    (A, Color, Out, Count))                                                                                      \
  K(AlphaBlendRow, (const std::uint32_t* Src, std::uint32_t* Dst, int Count), (Src, Dst, Count))                 \
  K(AddBlendRow, (const std::uint32_t* Src, std::uint32_t* Dst, int Count), (Src, Dst, Count))                   \
  K(MultiplyRow, (const std::uint32_t* Src, std::uint32_t* Dst, int Count), (Src, Dst, Count))                   \
  K(AlphaBlendColorRow, (std::uint32_t Color, std::uint32_t * Dst, int Count), (Color, Dst, Count))              \
  K(MultiplyColorRow, (std::uint32_t Color, std::uint32_t * Dst, int Count), (Color, Dst, Count))                \
  K(ModulateAlphaBlendRow, (const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count),       \
    (Src, Color, Dst, Count))                                                                                    \
  K(Rgb565ModulateAlphaBlendRow, (const std::uint16_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count), \
    (Src, Color, Dst, Count))                                                                                    \
  K(ModulateAddBlendRow, (const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count),         \
    (Src, Color, Dst, Count))                                                                                    \
  K(ModulateMultiplyRow, (const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count),         \
    (Src, Color, Dst, Count))                                                                                    \
  K(LerpModulateAlphaBlendRow,                                                                                   \
    (const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t Color,               \
     std::uint32_t* Dst, int Count),                                                                             \
    (Top, Bottom, Fy, Color, Dst, Count))                                                                        \
  K(LerpModulateAddBlendRow,                                                                                     \
    (const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t Color,               \
     std::uint32_t* Dst, int Count),                                                                             \
    (Top, Bottom, Fy, Color, Dst, Count))                                                                        \
  K(LerpModulateMultiplyRow,                                                                                     \
    (const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t Color,               \
     std::uint32_t* Dst, int Count),                                                                             \
    (Top, Bottom, Fy, Color, Dst, Count))                                                                        \
  K(LerpModulateMultiplyColorRow,                                                                                \
    (const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t Color,               \
     std::uint32_t Under, std::uint32_t* Dst, int Count),                                                        \
    (Top, Bottom, Fy, Color, Under, Dst, Count))                                                                 \
  K(LerpModulateMultiplyColorAlphaBlendRow,                                                                      \
    (const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t Color,               \
     std::uint32_t Under, const std::uint32_t* Src, std::uint32_t Over, std::uint32_t Set, std::uint32_t* Dst,   \
     int Count),                                                                                                 \
    (Top, Bottom, Fy, Color, Under, Src, Over, Set, Dst, Count))                                                    \
  K(LerpModulateMultiplyColorOpaqueBlendRow,                                                                     \
    (const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t Color,               \
     std::uint32_t Under, const std::uint32_t* Src, std::uint32_t Over, std::uint32_t Set, std::uint32_t* Dst,   \
     int Count),                                                                                                 \
    (Top, Bottom, Fy, Color, Under, Src, Over, Set, Dst, Count))                                                 \
  K(LerpModulateMultiplyColorRgb565BlendRow,                                                                     \
    (const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t Color,               \
     std::uint32_t Under, const std::uint16_t* Src, std::uint32_t Over, std::uint32_t Set, std::uint32_t* Dst,   \
     int Count),                                                                                                 \
    (Top, Bottom, Fy, Color, Under, Src, Over, Set, Dst, Count))


namespace qel::soft {

struct TRowKernelTable {
  const char* Name;
#define QEL_ROW_KERNEL_FIELD(Name, Parameters, Arguments) decltype(&soft::Name) Name;
  QEL_ROW_KERNELS(QEL_ROW_KERNEL_FIELD)
#undef QEL_ROW_KERNEL_FIELD
};

#if QEL_ROW_KERNEL_VARIANTS
extern const TRowKernelTable RowKernelsV4, RowKernelsV3;
#endif
extern const TRowKernelTable RowKernelsBaseline;

}  // namespace qel::soft
