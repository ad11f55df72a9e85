#pragma once

#include <sys/resource.h>
#include <QString>

namespace ks::test {

// Sets up a private mount namespace for this process, so that a test may mount a small file
// system of its own. Call first thing in main(), before any thread starts. False where the
// machine refuses (the tests that need it then skip).
bool enterPrivateMountNamespace();

// Mounts an empty file system of `bytes` at `folder` (made if missing); false when refused.
bool mountSmallDisk(const QString& folder, qint64 bytes);
void unmountSmallDisk(const QString& folder);

// Fills the file system that holds `folder` with one file, `name`, until no byte is left.
bool fillDisk(const QString& folder, const QString& name);

// For as long as it lives, no file of this process may grow beyond `bytes`: every write past
// that fails as on a full disk (with EFBIG), which needs no privileges.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
};

}  // namespace ks::test
