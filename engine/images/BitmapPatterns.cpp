#include "engine/images/BitmapPatterns.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "engine/images/ColorFormats.h"
#include "engine/images/ColorKey.h"

namespace qel {

namespace {

void StoreARGB(std::uint8_t* P, std::uint32_t V) {
  P[0] = static_cast<std::uint8_t>(V);
  P[1] = static_cast<std::uint8_t>(V >> 8);
  P[2] = static_cast<std::uint8_t>(V >> 16);
  P[3] = static_cast<std::uint8_t>(V >> 24);
}

}  // namespace

void FillBitmap(TBitmap& Bitmap, std::uint32_t Color) {
  if (Bitmap.PixelFormat() != TPixelFormat::pf32bit) Bitmap.SetPixelFormat(TPixelFormat::pf32bit);
  const std::uint32_t Value = SwapRedBlue(Color);
  for (int Y = 0; Y < Bitmap.Height(); ++Y) {
    std::uint8_t* Row = Bitmap.ScanLine(Y);
    if (Value == 0) {
      std::memset(Row, 0, static_cast<std::size_t>(Bitmap.Width()) * 4);
    } else {
      for (int X = 0; X < Bitmap.Width(); ++X) StoreARGB(Row + X * 4, Value);
    }
  }
}

bool ForceOpaque(TBitmap& Bitmap) {
  const int Width = Bitmap.Width(), Height = Bitmap.Height();
  if (Bitmap.PixelFormat() != TPixelFormat::pf32bit) {
    // A refused widening would empty the bitmap under the rows still to be written.
    if (!TBitmap::SizeFits(Width, Height, TPixelFormat::pf32bit)) return false;
    // Widening needs the old rows while the bitmap is resized: keep them aside.
    const int OldPitch = Bitmap.Pitch();
    std::vector<std::uint8_t> Old(static_cast<std::size_t>(OldPitch) * Height);
    if (!Old.empty()) std::memcpy(Old.data(), Bitmap.ScanLine(0), Old.size());
    Bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    for (int Y = 0; Y < Height; ++Y) {
      const std::uint8_t* S = Old.data() + static_cast<std::size_t>(Y) * OldPitch;
      std::uint8_t* D = Bitmap.ScanLine(Y);
      for (int X = 0; X < Width; ++X, S += 3, D += 4) {
        D[0] = S[0];
        D[1] = S[1];
        D[2] = S[2];
        D[3] = 255;
      }
    }
    return true;
  }
  for (int Y = 0; Y < Height; ++Y) {
    std::uint8_t* D = Bitmap.ScanLine(Y);
    for (int X = 0; X < Width; ++X) D[X * 4 + 3] = 255;
  }
  return true;
}

TPatternPacking::TPatternPacking(const TBitmap& Source, TPoint PageSize, TPoint DestCell, TPoint SourceCell)
    : FSource(Source), FPageSize(PageSize), FDestCell(DestCell), FSourceCell(SourceCell) {
  if (PageSize.X < 1 || PageSize.Y < 1 || DestCell.X < 1 || DestCell.Y < 1 || SourceCell.X < 1 || SourceCell.Y < 1) {
    FPageSize = TPoint{std::max(PageSize.X, 0), std::max(PageSize.Y, 0)};
    return;
  }
  FColumns = Source.Width() / SourceCell.X;
  FRows = Source.Height() / SourceCell.Y;
  FTotal = FColumns * FRows;  // at most the source's pixel count
  FCellsPerRow = PageSize.X / DestCell.X;
  FCellRows = PageSize.Y / DestCell.Y;
  FCellsPerPage = FCellsPerRow * FCellRows;
  if (FCellsPerPage < 1 || FTotal < 1) return;
  const long long Pages = (static_cast<long long>(FTotal) + FCellsPerPage - 1) / FCellsPerPage;
  // A packed picture taller than an int can address is refused rather than wrapped.
  if (Pages * PageSize.Y > INT_MAX) return;
  FPages = static_cast<int>(Pages);
  FCopyWidth = std::min(SourceCell.X, DestCell.X);
  FCopyHeight = std::min(SourceCell.Y, DestCell.Y);
}

bool TPatternPacking::LocateRow(int Y, long long& FirstCell, int& InnerY) const {
  if (Y < 0 || Y >= Height()) return false;
  const int Page = Y / FPageSize.Y;
  const int PageY = Y % FPageSize.Y;
  const int CellRow = PageY / FDestCell.Y;
  InnerY = PageY % FDestCell.Y;
  if (CellRow >= FCellRows || InnerY >= FCopyHeight) return false;
  FirstCell = static_cast<long long>(Page) * FCellsPerPage + static_cast<long long>(CellRow) * FCellsPerRow;
  return FirstCell < FTotal;
}

void TPatternPacking::ComposeRow(int Y, std::uint8_t* Row, bool UseColorKey, std::uint32_t ColorKey,
                                 int Tolerance) const {
  const std::size_t RowBytes = static_cast<std::size_t>(FPageSize.X) * 4;
  long long FirstCell = 0;
  int InnerY = 0;
  if (!LocateRow(Y, FirstCell, InnerY)) {
    std::memset(Row, 0, RowBytes);
    return;
  }
  const int Cells = static_cast<int>(std::min<long long>(FTotal - FirstCell, FCellsPerRow));
  // Clear what the cells leave uncovered: gaps between cells, the right margin, empty slots.
  if (Cells < FCellsPerRow || FCopyWidth < FDestCell.X || FCellsPerRow * FDestCell.X < FPageSize.X)
    std::memset(Row, 0, RowBytes);
  for (int C = 0; C < Cells; ++C) {
    const std::uint8_t* From = SourcePixels(FirstCell + C, InnerY);
    std::uint8_t* To = Row + static_cast<std::size_t>(C) * FDestCell.X * 4;
    if (UseColorKey) {
      ColorKeyLine(From, To, FCopyWidth, ColorKey, Tolerance);
    } else {
      std::memcpy(To, From, static_cast<std::size_t>(FCopyWidth) * 4);
    }
  }
}

const std::uint8_t* TPatternPacking::DirectRow(int Y) const {
  long long FirstCell = 0;
  int InnerY = 0;
  if (FCellsPerRow != 1 || FCopyWidth != FPageSize.X || !LocateRow(Y, FirstCell, InnerY)) return nullptr;
  return SourcePixels(FirstCell, InnerY);
}

const std::uint8_t* TPatternPacking::SourcePixels(long long Cell, int InnerY) const {
  const int SourceX = static_cast<int>(Cell % FColumns) * FSourceCell.X;
  const int SourceY = static_cast<int>((Cell / FColumns) % FRows) * FSourceCell.Y + InnerY;
  return FSource.ScanLine(SourceY) + static_cast<std::size_t>(SourceX) * 4;
}

bool PackPatterns(TBitmap& Dest, TBitmap& Source, TPoint PageSize, TPoint DestCell, TPoint SourceCell,
                  bool UseColorKey, std::uint32_t ColorKey, int Tolerance) {
  if (Source.PixelFormat() != TPixelFormat::pf32bit && !ForceOpaque(Source)) {
    Dest.SetSize(0, 0, TPixelFormat::pf32bit);
    return false;
  }
  const TPatternPacking Packing(Source, PageSize, DestCell, SourceCell);
  // SetSize leaves every pixel 0, transparent black, as the empty slots must be.
  Dest.SetSize(std::max(PageSize.X, 0), Packing.Height(), TPixelFormat::pf32bit);
  for (int Y = 0; Y < Dest.Height(); ++Y) Packing.ComposeRow(Y, Dest.ScanLine(Y), UseColorKey, ColorKey, Tolerance);
  return true;
}

}  // namespace qel
