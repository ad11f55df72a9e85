#pragma once

#include <QPointer>
#include <vector>

#include "core/Dialogs.h"

class QDialog;
class QWidget;

namespace ks {

// The desktop's message boxes, input box and file choosers, shown over the active window. Each
// box waits in a modal loop of its own; a lock closes the ones that wait (closeForLock).
class QtDialogs final : public Dialogs {
public:
    void message(MessageIcon icon, const QString& title, const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    bool askYesNoWithDefault(const QString& title, const QString& text,
                             DefaultAnswer defaultAnswer) override;
    bool askYesNoKeepingText(const QString& title, const QString& text) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    QString openFile(const QString& title, const QStringList& filters) override;
    QStringList openFiles(const QString& title, const QStringList& filters) override;
    QString saveFile(const QString& title, const QStringList& filters,
                     const QString& suggested) override;
    QString chooseFolder(const QString& title, const QString& start) override;
    BoxesAtLock closeForLock() override;

private:
    // A box that waits for an answer, and what a lock does with it: presses the message box's
    // button `atLock`, or cancels an input box whose text is still `initial`.
    struct OpenBox {
        QPointer<QDialog> box;
        int atLock = 0;
        QString initial;
    };

    // Runs the box's modal loop, known to the lock meanwhile.
    int run(QDialog& box, OpenBox open);
    bool askQuestion(const QString& title, const QString& text, DefaultAnswer defaultAnswer,
                     bool yesAtLock);

    std::vector<OpenBox> open_;
    // The file and folder choosers waiting now (the toolkit's own, found by their class).
    int choosers_ = 0;
};

}  // namespace ks
