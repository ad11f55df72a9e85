#pragma once

#include <QStringList>

#include "files/Archiver.h"

namespace ks {

// The archiver as the `gcab` program, found in the program's own folder or else on the PATH.
// It runs with an argument vector, never through a shell, while the event loop keeps turning, so
// that windows repaint during a long run.
class GcabArchiver final : public Archiver {
public:
    explicit GcabArchiver(QString appFolder);

    bool available() const override;
    ArchiverOutcome create(const QString& archive, const QString& file) override;
    ArchiverOutcome extract(const QString& archive, const QString& folder) override;

    // The program that would run; empty when there is none.
    QString program() const;

private:
    ArchiverOutcome run(const QStringList& arguments) const;

    QString appFolder_;
};

}  // namespace ks
