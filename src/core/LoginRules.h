#pragma once

namespace ks {

// What the login window accepts for a name or a password: at most this many characters typed,
// and more than kLoginShortest once the spaces around it are removed.
inline constexpr int kLoginMaxLength = 15;
inline constexpr int kLoginShortest = 3;

// A protected account's pass phrase: 8 to 128 characters as typed, spaces kept.
inline constexpr int kPassPhraseShortest = 8;
inline constexpr int kPassPhraseLongest = 128;

}  // namespace ks
