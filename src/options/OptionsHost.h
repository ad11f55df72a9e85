#pragma once

class QString;

namespace ks {

// What the Options tab asks of the program around it: the compaction, the status window and
// the restart after an import belong to the program's frame, not to the tab.
class OptionsHost {
public:
    virtual ~OptionsHost() = default;

    // Compacts the database now, whatever was deleted, without a question.
    virtual void compactBeforeExport() = 0;
    // Disables the main window and shows the status window.
    virtual void beginBusy() = 0;
    // The same for a step that runs beside the windows: the status window shows `status` and a
    // moving bar while the window's events go on.
    virtual void beginBackgroundWork(const QString& status) = 0;
    // Hides the status window, enables the main window and brings it to the front.
    virtual void endBusy() = 0;
    // After an import: hides the main window, closes every database object, starts a new copy
    // of the program and closes every window of this one, which ends.
    virtual void restartProgram() = 0;
    // The logged-in account was protected: the tabs read its rows again, now sealed.
    virtual void accountChanged() = 0;
    // Rows of the database were changed from elsewhere (a merge): the shown lists are read again,
    // keeping what the user is typing.
    virtual void rowsChanged() = 0;
    // The sync folder or this machine's name there was saved: the program follows them.
    virtual void syncSettingsChanged() = 0;
    // Before an import replaces the database file: the sync passes stop, this machine's changes
    // written out first; resumeSync() when the file stays after all.
    virtual void holdSync() = 0;
    virtual void resumeSync() = 0;
};

}  // namespace ks
