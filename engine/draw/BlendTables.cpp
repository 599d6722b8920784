#include "engine/draw/BlendTables.h"

#include <iterator>

namespace qel {

namespace {

constexpr D3DBLEND Factors[] = {
    D3DBLEND_ZERO,        D3DBLEND_ONE,          D3DBLEND_SRCCOLOR,  D3DBLEND_INVSRCCOLOR,
    D3DBLEND_SRCALPHA,    D3DBLEND_INVSRCALPHA,  D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA,
    D3DBLEND_DESTCOLOR,   D3DBLEND_INVDESTCOLOR, D3DBLEND_SRCALPHASAT,
};

// Reverse subtraction comes before plain subtraction: effect values in use depend on it.
constexpr D3DBLENDOP Ops[] = {
    D3DBLENDOP_ADD, D3DBLENDOP_REVSUBTRACT, D3DBLENDOP_SUBTRACT, D3DBLENDOP_MIN, D3DBLENDOP_MAX,
};

}  // namespace

bool BlendFactorAt(int Index, D3DBLEND& Factor) {
  if (Index < 0 || Index >= static_cast<int>(std::size(Factors))) return false;
  Factor = Factors[Index];
  return true;
}

bool BlendOpAt(int Index, D3DBLENDOP& Op) {
  if (Index < 0 || Index >= static_cast<int>(std::size(Ops))) return false;
  Op = Ops[Index];
  return true;
}

}  // namespace qel
