#pragma once

#include "core/Dialogs.h"

class QWidget;

namespace ks {

// The desktop's message boxes, input box and file choosers, shown over the active window.
class QtDialogs final : public Dialogs {
public:
    void message(MessageIcon icon, const QString& title, const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    bool askYesNoWithDefault(const QString& title, const QString& text,
                             DefaultAnswer defaultAnswer) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    QString openFile(const QString& title, const QStringList& filters) override;
    QStringList openFiles(const QString& title, const QStringList& filters) override;
    QString saveFile(const QString& title, const QStringList& filters,
                     const QString& suggested) override;
    QString chooseFolder(const QString& title, const QString& start) override;
};

}  // namespace ks
