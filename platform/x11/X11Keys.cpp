#include "platform/x11/X11Keys.h"

#include <X11/keysym.h>

namespace qel::x11 {
namespace {

struct TKeyPair {
  unsigned long Sym;
  std::uint16_t Key;
};

constexpr TKeyPair Named[] = {
    {XK_BackSpace, 8},    {XK_Tab, 9},          {XK_ISO_Left_Tab, 9}, {XK_Return, 13},     {XK_KP_Enter, 13},
    {XK_Shift_L, 16},     {XK_Shift_R, 16},     {XK_Control_L, 17},   {XK_Control_R, 17},  {XK_Alt_L, 18},
    {XK_Alt_R, 18},       {XK_Meta_L, 18},      {XK_Meta_R, 18},      {XK_ISO_Level3_Shift, 18},
    {XK_Pause, 19},       {XK_Caps_Lock, 20},   {XK_Escape, 27},      {XK_space, 32},      {XK_KP_Space, 32},
    {XK_Prior, 33},       {XK_KP_Prior, 33},    {XK_Next, 34},        {XK_KP_Next, 34},    {XK_End, 35},
    {XK_KP_End, 35},      {XK_Home, 36},        {XK_KP_Home, 36},     {XK_Left, 37},       {XK_KP_Left, 37},
    {XK_Up, 38},          {XK_KP_Up, 38},       {XK_Right, 39},       {XK_KP_Right, 39},   {XK_Down, 40},
    {XK_KP_Down, 40},     {XK_KP_Begin, 12},    {XK_Select, 41},      {XK_Print, 44},      {XK_Insert, 45},
    {XK_KP_Insert, 45},   {XK_Delete, 46},      {XK_KP_Delete, 46},   {XK_Help, 47},       {XK_Super_L, 91},
    {XK_Super_R, 92},     {XK_Menu, 93},        {XK_KP_Multiply, 106}, {XK_KP_Add, 107},   {XK_KP_Separator, 108},
    {XK_KP_Subtract, 109}, {XK_KP_Decimal, 110}, {XK_KP_Divide, 111}, {XK_Num_Lock, 144},  {XK_Scroll_Lock, 145},
    {XK_semicolon, 186},  {XK_equal, 187},      {XK_comma, 188},      {XK_minus, 189},     {XK_period, 190},
    {XK_slash, 191},      {XK_grave, 192},      {XK_bracketleft, 219}, {XK_backslash, 220}, {XK_bracketright, 221},
    {XK_apostrophe, 222}, {XK_less, 226},
};

// A key the program cannot name still counts as a key: it must not look like "no key".
constexpr std::uint16_t Unnamed = 0xFF;

}  // namespace

std::uint16_t VirtualKeyOf(unsigned long Sym) {
  if (Sym >= XK_a && Sym <= XK_z) return static_cast<std::uint16_t>('A' + (Sym - XK_a));
  if (Sym >= XK_A && Sym <= XK_Z) return static_cast<std::uint16_t>('A' + (Sym - XK_A));
  if (Sym >= XK_0 && Sym <= XK_9) return static_cast<std::uint16_t>('0' + (Sym - XK_0));
  if (Sym >= XK_KP_0 && Sym <= XK_KP_9) return static_cast<std::uint16_t>(96 + (Sym - XK_KP_0));
  if (Sym >= XK_F1 && Sym <= XK_F24) return static_cast<std::uint16_t>(112 + (Sym - XK_F1));
  for (const TKeyPair& P : Named)
    if (P.Sym == Sym) return P.Key;
  return Unnamed;
}

}  // namespace qel::x11
