#include "app/CompactPrompt.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ks {

namespace {

QLabel* wrappedLabel(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

}  // namespace

CompactPrompt::CompactPrompt(ProgramState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(state.AppTitle + QStringLiteral(" - Compact Database"));
    setModal(true);

    auto* frame2 = new QGroupBox(QStringLiteral("Database maintenance recommended"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* text = new QVBoxLayout(frame2);
    text->addWidget(wrappedLabel(frame2, QStringLiteral("Label1"),
                                 QStringLiteral("Because you have deleted data from the database, "
                                                "it is recommended that you compact your "
                                                "database.")));
    text->addWidget(wrappedLabel(
        frame2, QStringLiteral("Label2"),
        QStringLiteral("Compacting your database will regain disk space and improve the "
                       "performance of Keystead.  This task is completely optional.")));
    text->addWidget(wrappedLabel(frame2, QStringLiteral("Label3"),
                                 QStringLiteral("Would you like to perfom this task now?")));

    cmdYes_ = new QPushButton(QStringLiteral("Yes"), this);
    cmdYes_->setObjectName(QStringLiteral("cmdYes"));
    cmdYes_->setDefault(true);
    auto* cmdNo = new QPushButton(QStringLiteral("No"), this);
    cmdNo->setObjectName(QStringLiteral("cmdNo"));

    auto* frame1 = new QGroupBox(QStringLiteral("In future"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    optAsk_ = new QRadioButton(QStringLiteral("Ask me before performing this task."), frame1);
    optAsk_->setObjectName(QStringLiteral("optAsk"));
    optDo_ = new QRadioButton(QStringLiteral("Always perform this task, if required."), frame1);
    optDo_->setObjectName(QStringLiteral("optDo"));
    optNever_ = new QRadioButton(QStringLiteral("Never perform this task."), frame1);
    optNever_->setObjectName(QStringLiteral("optNever"));
    auto* options = new QVBoxLayout(frame1);
    options->addWidget(optAsk_);
    options->addWidget(optDo_);
    options->addWidget(optNever_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdYes_);
    buttons->addWidget(cmdNo);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame2);
    layout->addLayout(buttons);
    layout->addWidget(frame1);
    setFixedWidth(440);
    selectPolicy(1);

    connect(cmdYes_, &QPushButton::clicked, this, [this] { answer(true); });
    connect(cmdNo, &QPushButton::clicked, this, [this] { answer(false); });
}

void CompactPrompt::selectPolicy(int policy) {
    (policy == 0 ? optNever_ : policy == 1 ? optAsk_ : optDo_)->setChecked(true);
}

int CompactPrompt::chosenPolicy() const {
    if (optNever_->isChecked()) {
        return 0;
    }
    if (optDo_->isChecked()) {
        return 2;
    }
    return 1;
}

void CompactPrompt::ask() {
    exec();
}

void CompactPrompt::answer(bool compactNow) {
    state_.CompactNow = compactNow;
    hide();
}

void CompactPrompt::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    cmdYes_->setFocus();
}

void CompactPrompt::closeEvent(QCloseEvent* event) {
    // While the prompt is up, closing it means No, also on the way out of the program.
    if (isVisible()) {
        event->ignore();
        answer(false);
        return;
    }
    event->accept();
}

void CompactPrompt::reject() {
    answer(false);
}

}  // namespace ks
