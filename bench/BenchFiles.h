#pragma once

#include <QString>

#include "files/WorkStatus.h"

namespace ks::bench {

// A status window that shows nothing, for the file store's work.
class QuietStatus final : public WorkStatus {
public:
    void begin(const QString&) override {}
    void showStatus(const QString&) override {}
    void end() override {}
};

// A file of `megabytes` MiB, half random blocks and half text (`randomOnly`: all random).
QString makeFile(const QString& path, int megabytes, bool randomOnly);

}  // namespace ks::bench
