#pragma once

#include <QString>
#include <memory>

#include "protection/SecretBytes.h"

namespace ks {

// The account whose data an operation works on, as every store sees it: its owner value (the
// text in the owner column of its rows) and, for a protected account, the data key that seals
// its values. An account without a key keeps its values in the shared format; an owner value
// alone makes such an account, so callers that only know the owner work as before.
struct Account {
    Account() = default;
    Account(const QString& ownerValue) : owner(ownerValue) {}  // NOLINT: a plain account
    Account(const QString& ownerValue, std::shared_ptr<const SecretBytes> key)
        : owner(ownerValue), dataKey(std::move(key)) {}

    bool isProtected() const { return dataKey != nullptr; }

    QString owner;
    std::shared_ptr<const SecretBytes> dataKey;
};

}  // namespace ks
