#pragma once

#include <QStringList>

namespace ks::cli {

// Runs the companion with its arguments (without the program's name); the exit code.
int run(const QStringList& arguments);

}  // namespace ks::cli
