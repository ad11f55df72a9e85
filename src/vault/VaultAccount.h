#pragma once

#include <QByteArrayView>
#include <QString>
#include <memory>

#include "core/Account.h"
#include "core/AccountValues.h"

namespace ks {

// Which account something kept in memory was read for: its owner value and, for a protected
// account, its data key. The key is only watched, never kept alive: once the session lets go of
// it, nothing kept is that account's any more.
class CachedAccount {
public:
    void set(const Account& account) {
        owner_ = account.owner;
        key_ = account.dataKey;
        protected_ = account.isProtected();
    }
    bool is(const Account& account) const {
        if (account.owner != owner_ || account.isProtected() != protected_) {
            return false;
        }
        return !protected_ || (!key_.expired() && !key_.owner_before(account.dataKey) &&
                               !account.dataKey.owner_before(key_));
    }

private:
    QString owner_;
    std::weak_ptr<const SecretBytes> key_;
    bool protected_ = false;
};

// The value of a stored text as the vault shows it: a value that does not open is shown as
// damaged, never as anything else.
inline QString shownOrDamaged(const Account& account, const ValueColumn& column,
                              QByteArrayView rowUuid, const QString& stored) {
    std::optional<QString> shown = shownValue(account, column, rowUuid, stored);
    return shown ? *std::move(shown) : damagedValueText();
}

}  // namespace ks
