#pragma once

#include <QObject>

#include "options/OptionsHost.h"

namespace ks {

class Program;

// The program's side of the Options tab: compaction, the status window and the restart.
class ProgramMaintenance : public QObject, public OptionsHost {
    Q_OBJECT
public:
    ProgramMaintenance(Program& program, QObject* parent);

    void compactBeforeExport() override;
    void beginBusy() override;
    void beginBackgroundWork(const QString& status) override;
    void endBusy() override;
    void restartProgram() override;
    void accountChanged() override;
    void rowsChanged() override;
    void syncSettingsChanged() override;
    void holdSync() override;
    void resumeSync() override;

private:
    Program& program_;
};

}  // namespace ks
