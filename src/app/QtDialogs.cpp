#include "app/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>

namespace ks {

namespace {

QWidget* owner() {
    return QApplication::activeWindow();
}

// Messages separate their lines with CR; the toolkit breaks lines at LF.
QString displayed(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// Counts a chooser of the toolkit while it waits.
class ChooserWaiting {
public:
    explicit ChooserWaiting(int& count) : count_(count) { ++count_; }
    ~ChooserWaiting() { --count_; }
    ChooserWaiting(const ChooserWaiting&) = delete;
    ChooserWaiting& operator=(const ChooserWaiting&) = delete;

private:
    int& count_;
};

// Closes one box as a lock does; false when it stays (an input box with typed text).
bool closedAtLock(QDialog* box, int atLock, const QString& initial) {
    if (auto* messageBox = qobject_cast<QMessageBox*>(box); messageBox != nullptr) {
        if (QAbstractButton* button =
                messageBox->button(static_cast<QMessageBox::StandardButton>(atLock))) {
            button->click();
            return true;
        }
    }
    if (auto* input = qobject_cast<QInputDialog*>(box);
        input != nullptr && input->textValue() != initial) {
        return false;
    }
    box->reject();
    return true;
}

}  // namespace

int QtDialogs::run(QDialog& box, OpenBox open) {
    open.box = &box;
    open_.push_back(open);
    const int result = box.exec();
    std::erase_if(open_, [&box](const OpenBox& waiting) { return waiting.box == &box; });
    return result;
}

void QtDialogs::message(MessageIcon icon, const QString& title, const QString& text) {
    QMessageBox box(boxIcon(icon), title, displayed(text), QMessageBox::Ok, owner());
    box.setTextFormat(Qt::PlainText);
    run(box, {nullptr, QMessageBox::Ok, {}});
}

bool QtDialogs::askYesNo(const QString& title, const QString& text) {
    return askYesNoWithDefault(title, text, DefaultAnswer::Yes);
}

bool QtDialogs::askYesNoWithDefault(const QString& title, const QString& text,
                                    DefaultAnswer defaultAnswer) {
    return askQuestion(title, text, defaultAnswer, false);
}

bool QtDialogs::askYesNoKeepingText(const QString& title, const QString& text) {
    return askQuestion(title, text, DefaultAnswer::Yes, true);
}

bool QtDialogs::askQuestion(const QString& title, const QString& text, DefaultAnswer defaultAnswer,
                            bool yesAtLock) {
    QMessageBox box(QMessageBox::Question, title, displayed(text),
                    QMessageBox::Yes | QMessageBox::No, owner());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultAnswer == DefaultAnswer::No ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return run(box, {nullptr, yesAtLock ? QMessageBox::Yes : QMessageBox::No, {}}) ==
           QMessageBox::Yes;
}

std::optional<QString> QtDialogs::inputText(const QString& title, const QString& prompt,
                                            const QString& initial) {
    QInputDialog box(owner());
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::TextInput);
    box.setTextValue(initial);
    if (run(box, {nullptr, 0, initial}) != QDialog::Accepted) {
        return std::nullopt;
    }
    return box.textValue();
}

QString QtDialogs::openFile(const QString& title, const QStringList& filters) {
    const ChooserWaiting waiting(choosers_);
    return QFileDialog::getOpenFileName(owner(), title, QString(),
                                        filters.join(QStringLiteral(";;")));
}

QStringList QtDialogs::openFiles(const QString& title, const QStringList& filters) {
    const ChooserWaiting waiting(choosers_);
    return QFileDialog::getOpenFileNames(owner(), title, QString(),
                                         filters.join(QStringLiteral(";;")));
}

QString QtDialogs::saveFile(const QString& title, const QStringList& filters,
                            const QString& suggested) {
    const ChooserWaiting waiting(choosers_);
    return QFileDialog::getSaveFileName(owner(), title, suggested,
                                        filters.join(QStringLiteral(";;")));
}

QString QtDialogs::chooseFolder(const QString& title, const QString& start) {
    const ChooserWaiting waiting(choosers_);
    return QFileDialog::getExistingDirectory(owner(), title, start);
}

BoxesAtLock QtDialogs::closeForLock() {
    // The ones shown last first: a box over another is answered before the one beneath.
    for (auto open = open_.rbegin(); open != open_.rend(); ++open) {
        if (open->box != nullptr && open->box->isVisible() &&
            !closedAtLock(open->box, open->atLock, open->initial)) {
            return BoxesAtLock::Kept;
        }
    }
    if (choosers_ > 0) {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (auto* chooser = qobject_cast<QFileDialog*>(window);
                chooser != nullptr && chooser->isVisible()) {
                // The chooser's own boxes first (replace the file chosen?): No, or OK.
                const QList<QMessageBox*> boxes = chooser->findChildren<QMessageBox*>();
                for (QMessageBox* box : boxes) {
                    if (box->isVisible()) {
                        box->reject();
                    }
                }
                chooser->reject();
            }
        }
    }
    return open_.empty() && choosers_ == 0 ? BoxesAtLock::None : BoxesAtLock::Closing;
}

}  // namespace ks
