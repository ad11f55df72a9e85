// The record editor at the end of a session: whether it holds typed values, and closing it.
#include <QCryptographicHash>
#include <QLineEdit>

#include "vault/CategoryHintPanel.h"
#include "vault/RecordEditor.h"

namespace ks {

bool RecordEditor::hasChanges() const {
    return isVisible() && typedDigest() != openedDigest_;
}

void RecordEditor::closeForSessionEnd() {
    for (QWidget* generator : findChildren<QWidget*>(QStringLiteral("frmPasswordGenerator"))) {
        generator->close();
    }
    pctHint_->dismiss();
    hide();
    emptyBoxes();
    openedDigest_.clear();
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
