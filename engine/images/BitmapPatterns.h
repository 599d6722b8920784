#pragma once
#include <cstdint>

#include "engine/images/IntPoint.h"
#include "framework/Bitmap.h"

namespace qel {

// Operations on framework bitmaps used when an image is built from one. A 32-bit bitmap pixel
// is 0xAARRGGBB in memory order B, G, R, A: the engine's ARGB.

// Makes the bitmap 32-bit if it is not and sets every pixel to SwapRedBlue(Color), so a
// framework colour 0xAABBGGRR lands as ARGB.
void FillBitmap(TBitmap& Bitmap, std::uint32_t Color);

// Makes the bitmap 32-bit, keeping the colours of a 24-bit one, and sets every alpha to 255.
// False, with the bitmap left as it was, when its 32-bit form would exceed TBitmap::MaxBytes.
bool ForceOpaque(TBitmap& Bitmap);

// How the SourceCell-sized cells of a 32-bit bitmap, taken row by row, are laid out over a
// column of PageSize pages, DestCell apart, each page filled row by row. Cells past the
// right and bottom of the source are ignored; so are the page's texels beyond its last whole
// cell column or row. Sizes below 1 give no pages; a SourceCell larger than DestCell is
// clipped to it.
class TPatternPacking {
 public:
  TPatternPacking(const TBitmap& Source, TPoint PageSize, TPoint DestCell, TPoint SourceCell);

  int Pages() const { return FPages; }
  int CellCount() const { return FTotal; }
  // Height of the packed picture: Pages * PageSize height.
  int Height() const { return FPages * FPageSize.Y; }

  // Writes row Y of the packed picture (PageSize width ARGB pixels) into Row; slots without a
  // cell are transparent black. With UseColorKey the copied pixels go through ColorKeyLine.
  void ComposeRow(int Y, std::uint8_t* Row, bool UseColorKey, std::uint32_t ColorKey, int Tolerance) const;
  // The source pixels of row Y when that row is one cell's row spanning the whole page, so
  // it can be used in place; nullptr otherwise.
  const std::uint8_t* DirectRow(int Y) const;

 private:
  // The cell slot row Y of the packed picture passes through: false when the row lies in no
  // cell (or past the part of a cell that is copied).
  bool LocateRow(int Y, long long& FirstCell, int& InnerY) const;
  // Where row InnerY of source cell Cell starts.
  const std::uint8_t* SourcePixels(long long Cell, int InnerY) const;

  const TBitmap& FSource;
  TPoint FPageSize, FDestCell, FSourceCell;
  int FColumns = 0, FRows = 0, FTotal = 0;
  int FCellsPerRow = 0, FCellRows = 0, FCellsPerPage = 0, FPages = 0;
  int FCopyWidth = 0, FCopyHeight = 0;  // the part of a source cell that fits a destination cell
};

// Packs Source's cells into Dest as TPatternPacking lays them out: Dest becomes a 32-bit
// bitmap PageSize wide and Pages * PageSize high. A Source that is not 32-bit is made opaque
// 32-bit in place first; a 32-bit one keeps its alpha. False, with Dest empty, when Source
// cannot be made 32-bit.
bool PackPatterns(TBitmap& Dest, TBitmap& Source, TPoint PageSize, TPoint DestCell, TPoint SourceCell,
                  bool UseColorKey, std::uint32_t ColorKey, int Tolerance);

}  // namespace qel
