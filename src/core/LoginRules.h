#pragma once

namespace ks {

// What the login window accepts for a name or a password: at most this many characters typed,
// and more than kLoginShortest once the spaces around it are removed.
inline constexpr int kLoginMaxLength = 15;
inline constexpr int kLoginShortest = 3;

}  // namespace ks
