// The record editor at the end of a session (whether it holds typed values, and closing it) and
// its record's history.
#include <QCryptographicHash>
#include <QLineEdit>

#include "vault/CategoryHintPanel.h"
#include "vault/RecordEditor.h"
#include "vault/RecordHistoryWindow.h"

namespace ks {

bool RecordEditor::hasChanges() const {
    return isVisible() && typedDigest() != openedDigest_;
}

void RecordEditor::closeForSessionEnd() {
    for (const char* name : {"frmPasswordGenerator", "frmRecordHistory"}) {
        for (QWidget* window : findChildren<QWidget*>(QString::fromLatin1(name))) {
            window->close();
        }
    }
    pctHint_->dismiss();
    hide();
    emptyBoxes();
    openedDigest_.clear();
}

void RecordEditor::openHistory() {
    auto* window = new RecordHistoryWindow(services_, records_, lblLineKey_->text().toLongLong(),
                                           typedDigest() != openedDigest_, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &RecordHistoryWindow::restored, this, &RecordEditor::showRestored);
    window->refresh();
    window->open();
}

void RecordEditor::showRestored(const RecordFields& fields, bool categoryAdded) {
    // The lists are filled again first: a refill sets the category box back to unfiled, which a
    // save would then write over the restored category.
    if (categoryAdded) {
        emit categoriesChanged();
    }
    StoredRecord record;
    record.counter = lblLineKey_->text().toLongLong();
    record.fields = fields;
    prepareEdit(record);
}

QByteArray RecordEditor::typedDigest() const {
    const RecordFields fields = typedFields();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString* value : {&fields.shortName, &fields.userName, &fields.password,
                                 &fields.description, &fields.notes, &fields.category}) {
        const QByteArray bytes = value->toUtf8();
        hash.addData(QByteArray::number(bytes.size()) + ':' + bytes);
    }
    return hash.result();
}

}  // namespace ks
