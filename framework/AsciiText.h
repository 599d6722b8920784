#pragma once
#include <string>
#include <string_view>

namespace qel {

// Names and keys are compared with only the ASCII letters A-Z folded; other bytes, letters
// beyond ASCII included, must match exactly.
constexpr char LowerAscii(char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; }

inline std::string LowerCaseAscii(std::string_view Text) {
  std::string Result(Text);
  for (char& C : Result) C = LowerAscii(C);
  return Result;
}

constexpr bool SameTextAscii(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I)
    if (LowerAscii(A[I]) != LowerAscii(B[I])) return false;
  return true;
}

}  // namespace qel
