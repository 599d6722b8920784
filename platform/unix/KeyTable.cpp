#include "platform/unix/KeyTable.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace qel::posix {
namespace {

struct TKeyPair {
  unsigned long Sym;
  std::uint16_t Key;
};

constexpr TKeyPair Named[] = {
    {XKB_KEY_BackSpace, 8},      {XKB_KEY_Tab, 9},
    {XKB_KEY_ISO_Left_Tab, 9},   {XKB_KEY_Return, 13},
    {XKB_KEY_KP_Enter, 13},      {XKB_KEY_Shift_L, 16},
    {XKB_KEY_Shift_R, 16},       {XKB_KEY_Control_L, 17},
    {XKB_KEY_Control_R, 17},     {XKB_KEY_Alt_L, 18},
    {XKB_KEY_Alt_R, 18},         {XKB_KEY_Meta_L, 18},
    {XKB_KEY_Meta_R, 18},        {XKB_KEY_ISO_Level3_Shift, 18},
    {XKB_KEY_Pause, 19},         {XKB_KEY_Caps_Lock, 20},
    {XKB_KEY_Escape, 27},        {XKB_KEY_space, 32},
    {XKB_KEY_KP_Space, 32},      {XKB_KEY_Prior, 33},
    {XKB_KEY_KP_Prior, 33},      {XKB_KEY_Next, 34},
    {XKB_KEY_KP_Next, 34},       {XKB_KEY_End, 35},
    {XKB_KEY_KP_End, 35},        {XKB_KEY_Home, 36},
    {XKB_KEY_KP_Home, 36},       {XKB_KEY_Left, 37},
    {XKB_KEY_KP_Left, 37},       {XKB_KEY_Up, 38},
    {XKB_KEY_KP_Up, 38},         {XKB_KEY_Right, 39},
    {XKB_KEY_KP_Right, 39},      {XKB_KEY_Down, 40},
    {XKB_KEY_KP_Down, 40},       {XKB_KEY_KP_Begin, 12},
    {XKB_KEY_Select, 41},        {XKB_KEY_Print, 44},
    {XKB_KEY_Insert, 45},        {XKB_KEY_KP_Insert, 45},
    {XKB_KEY_Delete, 46},        {XKB_KEY_KP_Delete, 46},
    {XKB_KEY_Help, 47},          {XKB_KEY_Super_L, 91},
    {XKB_KEY_Super_R, 92},       {XKB_KEY_Menu, 93},
    {XKB_KEY_KP_Multiply, 106},  {XKB_KEY_KP_Add, 107},
    {XKB_KEY_KP_Separator, 108}, {XKB_KEY_KP_Subtract, 109},
    {XKB_KEY_KP_Decimal, 110},   {XKB_KEY_KP_Divide, 111},
    {XKB_KEY_Num_Lock, 144},     {XKB_KEY_Scroll_Lock, 145},
    {XKB_KEY_semicolon, 186},    {XKB_KEY_equal, 187},
    {XKB_KEY_comma, 188},        {XKB_KEY_minus, 189},
    {XKB_KEY_period, 190},       {XKB_KEY_slash, 191},
    {XKB_KEY_grave, 192},        {XKB_KEY_bracketleft, 219},
    {XKB_KEY_backslash, 220},    {XKB_KEY_bracketright, 221},
    {XKB_KEY_apostrophe, 222},   {XKB_KEY_less, 226},
};

// A key the program cannot name still counts as a key: it must not look like "no key".
constexpr std::uint16_t Unnamed = 0xFF;

}  // namespace

std::uint16_t VirtualKeyOf(unsigned long Sym) {
  if (Sym >= XKB_KEY_a && Sym <= XKB_KEY_z) return static_cast<std::uint16_t>('A' + (Sym - XKB_KEY_a));
  if (Sym >= XKB_KEY_A && Sym <= XKB_KEY_Z) return static_cast<std::uint16_t>('A' + (Sym - XKB_KEY_A));
  if (Sym >= XKB_KEY_0 && Sym <= XKB_KEY_9) return static_cast<std::uint16_t>('0' + (Sym - XKB_KEY_0));
  if (Sym >= XKB_KEY_KP_0 && Sym <= XKB_KEY_KP_9) return static_cast<std::uint16_t>(96 + (Sym - XKB_KEY_KP_0));
  if (Sym >= XKB_KEY_F1 && Sym <= XKB_KEY_F24) return static_cast<std::uint16_t>(112 + (Sym - XKB_KEY_F1));
  for (const TKeyPair& P : Named)
    if (P.Sym == Sym) return P.Key;
  return Unnamed;
}

}  // namespace qel::posix
