#include "app/AboutWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Version.h"
#include "widgets/Captions.h"
#include "widgets/Icons.h"

namespace ks {

AboutWindow::AboutWindow(const QString& appTitle, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(appTitle);
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setPixmap(appIcon().pixmap(64, 64));
    auto* label1 = new QLabel(appTitle, this);
    label1->setObjectName(QStringLiteral("Label1"));
    QFont big = label1->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    label1->setFont(big);
    auto* label3 = new QLabel(QStringLiteral("Version " KEYSTEAD_VERSION), this);
    label3->setObjectName(QStringLiteral("Label3"));
    auto* shape1 = new QFrame(this);
    shape1->setObjectName(QStringLiteral("Shape1"));
    shape1->setFrameShape(QFrame::HLine);
    shape1->setFrameShadow(QFrame::Sunken);
    auto* label4 = new QLabel(
        QStringLiteral("Keystead is a full featured database personal information manager.") +
            tr(" It keeps your passwords, a journal, pictures and files in one encrypted "
               "database."),
        this);
    label4->setObjectName(QStringLiteral("Label4"));
    label4->setWordWrap(true);
    auto* command1 = new QPushButton(closeCaption(), this);
    command1->setObjectName(QStringLiteral("Command1"));
    command1->setDefault(true);
    connect(command1, &QPushButton::clicked, this, &QDialog::hide);

    auto* title = new QVBoxLayout;
    title->addWidget(label1);
    title->addWidget(label3);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(title, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(shape1);
    layout->addWidget(label4);
    layout->addWidget(command1, 0, Qt::AlignRight);
    setFixedWidth(420);
}

}  // namespace ks
