#pragma once

#include <QStringList>
#include <optional>

namespace ks {

// The window program's command line: --help and --version print and end; nothing else is
// taken. Both routines answer with the exit code when the program is to end at once.

// Before the toolkit starts (no window, no display needed): the answer to --help or --version.
// Arguments it does not know are left for the toolkit, which takes its own options.
std::optional<int> answerInformationRequest(int& argc, char** argv);

// Once the toolkit has taken its own options (`arguments` with the program's name first): any
// argument left is refused with a short text on the error output.
std::optional<int> refuseOtherArguments(const QStringList& arguments);

}  // namespace ks
