#pragma once

#include <QString>
#include <optional>

namespace ks {

// Which kinds of character a generated password draws from; each chosen kind appears at
// least once.
struct PasswordClasses {
    bool upper = true;
    bool lower = true;
    bool digits = true;
    bool symbols = true;

    int count() const { return int(upper) + int(lower) + int(digits) + int(symbols); }
};

constexpr int kDefaultPasswordLength = 20;
constexpr int kLongestGeneratedPassword = 128;

// A password of `length` characters drawn from the system's cryptographic random source.
// nullopt when no kind is chosen or the length cannot hold one character of each chosen kind
// (or exceeds kLongestGeneratedPassword).
std::optional<QString> generatePassword(int length, const PasswordClasses& classes);

// The strength of such a password in bits: length × log2(size of the alphabet drawn from),
// rounded down; 0 when no password can be made.
int passwordStrengthBits(int length, const PasswordClasses& classes);

}  // namespace ks
