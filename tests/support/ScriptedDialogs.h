#pragma once

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>

#include "core/Dialogs.h"

namespace ks::test {

// Records every message box and answers questions, inputs and choosers from queues. A question
// with no answer queued is recorded as unexpected (and answered No); tests check for that. With
// `desktop` set, messages and questions are recorded and then shown by it, and answered there.
class ScriptedDialogs final : public Dialogs {
public:
    struct Shown {
        MessageIcon icon;
        QString title;
        QString text;
        bool defaultNo = false;  // a question whose Enter answers No
    };

    void message(MessageIcon icon, const QString& title, const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    bool askYesNoWithDefault(const QString& title, const QString& text,
                             DefaultAnswer defaultAnswer) override;
    bool askYesNoKeepingText(const QString& title, const QString& text) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    QString openFile(const QString& title, const QStringList& filters) override;
    // Several files answer from their own queue; otherwise one file from the queue of file().
    QStringList openFiles(const QString& title, const QStringList& filters) override;
    // Answers from the queue of file(), like openFile().
    QString saveFile(const QString& title, const QStringList& filters,
                     const QString& suggested) override;
    QString chooseFolder(const QString& title, const QString& start) override;
    BoxesAtLock closeForLock() override;

    // Queues answers, used in order.
    ScriptedDialogs& answer(bool yes);
    ScriptedDialogs& input(std::optional<QString> text);
    ScriptedDialogs& file(const QString& path);
    ScriptedDialogs& files(const QStringList& paths);
    ScriptedDialogs& folder(const QString& path);

    // Run after each message or question is recorded (to look at the windows meanwhile).
    std::function<void(const Shown&)> onShown;
    // The desktop's boxes, which show the messages and questions when set.
    Dialogs* desktop = nullptr;

    QList<Shown> shown;
    QStringList unexpected;
    // The filters the last file chooser offered.
    QStringList lastFilters;

    QStringList texts() const;
    bool pendingAnswers() const;
    // Forgets what was shown; unexpected questions stay until the test looks at them.
    void clear();

private:
    void record(MessageIcon icon, const QString& title, const QString& text, bool defaultNo);
    bool scriptedAnswer(const QString& text);

    std::deque<bool> answers_;
    std::deque<std::optional<QString>> inputs_;
    std::deque<QString> files_;
    std::deque<QStringList> fileLists_;
    std::deque<QString> folders_;
};

}  // namespace ks::test
