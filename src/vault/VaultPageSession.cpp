// The Password Vault tab at the end of a session.
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include "vault/RecordEditor.h"
#include "vault/RecordListModel.h"
#include "vault/VaultPage.h"

namespace ks {

bool VaultPage::editorHasChanges() const {
    return editor_->hasChanges();
}

void VaultPage::forgetSession() {
    editor_->closeForSessionEnd();
    clearDetails();
    txtCounter_->setText(QString());
    lines_->setLines({});
    {
        const QSignalBlocker quiet(txtSearch_);
        txtSearch_->setText(QString());
    }
    searchAhead_->stop();
    listingAhead_->stop();
    records_.forgetSession();
}

}  // namespace ks
