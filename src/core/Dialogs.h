#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ks {

// The icon of a message box; the title is given with every message.
enum class MessageIcon { None, Information, Exclamation, Critical, Question };

// What a lock found of the boxes that wait for an answer: none, some that it closed (their modal
// loops end once the lock's attempt returns), or one that stays (an input box with typed text).
enum class BoxesAtLock { None, Closing, Kept };

// The button of a question that Enter presses.
enum class DefaultAnswer { Yes, No };

// Every message, question and chooser the program shows goes through this interface, so that
// windows and routines never create message boxes themselves. The desktop implementation wraps
// the toolkit's standard dialogs; tests use a scripted one.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message with an OK button. Lines are separated by "\r".
    virtual void message(MessageIcon icon, const QString& title, const QString& text) = 0;

    // A question with Yes and No buttons; true only for Yes (closing the box counts as No).
    virtual bool askYesNo(const QString& title, const QString& text) = 0;

    // The same question with the button that Enter presses chosen: No for a question whose Yes
    // would lose something the user may not expect to lose. Without a way to choose, the
    // question is asked as askYesNo asks it.
    virtual bool askYesNoWithDefault(const QString& title, const QString& text,
                                     DefaultAnswer /*defaultAnswer*/) {
        return askYesNo(title, text);
    }

    // A question whose No would throw away text the user typed (a journal entry not saved yet):
    // asked as askYesNo asks it, but a lock that comes while it waits answers it Yes, as a lock
    // saves such text itself. A lock answers every other question No.
    virtual bool askYesNoKeepingText(const QString& title, const QString& text) {
        return askYesNo(title, text);
    }

    // A line of text; nullopt when cancelled.
    virtual std::optional<QString> inputText(const QString& title, const QString& prompt,
                                             const QString& initial) = 0;

    // The chosen file's full path; empty when cancelled. `filters` are Qt name filters.
    virtual QString openFile(const QString& title, const QStringList& filters) = 0;

    // The chosen files' full paths in the order chosen; empty when cancelled.
    virtual QStringList openFiles(const QString& title, const QStringList& filters) {
        const QString path = openFile(title, filters);
        return path.isEmpty() ? QStringList() : QStringList{path};
    }

    // The full path of a file to write, suggested as `suggested` (a name or a path); empty when
    // cancelled. The chooser asks before it names an existing file.
    virtual QString saveFile(const QString& /*title*/, const QStringList& /*filters*/,
                             const QString& /*suggested*/) {
        return {};
    }

    // The chosen folder; empty when cancelled.
    virtual QString chooseFolder(const QString& title, const QString& start) = 0;

    // The session locks: every box of this interface that waits is closed as a lock closes it.
    // A message is closed as by OK, a question answered as said above, a chooser cancelled, and
    // an input box cancelled unless text was typed into it (that one stays, and holds the lock
    // back). While a box is open, closed now or not, the code that showed it has still to go on
    // before the session can end.
    virtual BoxesAtLock closeForLock() { return BoxesAtLock::None; }
};

}  // namespace ks
