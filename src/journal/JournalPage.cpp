#include "journal/JournalPage.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/Icons.h"

namespace ks {

JournalPage::JournalPage(Services& services, QWidget* parent)
    : QWidget(parent), services_(services) {
    panel_ = new QWidget;
    panel_->setObjectName(QStringLiteral("pctJournal"));
    auto* buttons = new QVBoxLayout(panel_);
    buttons->addWidget(makePictureButton(
        panel_, QStringLiteral("cmdJournalSave"),
        themedIcon(QStringLiteral("document-save"), QStringLiteral("save")), tr("Save entry")));
    auto* today = new QPushButton(QStringLiteral("Today"), this);
    today->setObjectName(QStringLiteral("cmdToday"));
}

void JournalPage::goToToday() {
}
void JournalPage::reloadEntry() {
}
void JournalPage::resetStatistics() {
}

}  // namespace ks
