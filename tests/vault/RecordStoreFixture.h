#pragma once

// What the tests of the record store share: a database, a store on it, two owners, records
// made of a name, and the names a listing or a search of them shows.
#include <QtTest>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "crypto/FieldCipher.h"
#include "vault/RecordStore.h"

namespace ks::test {

using namespace Qt::StringLiterals;

// A record whose every value is made of its name.
inline RecordFields fields(const QString& name, const QString& category = {}) {
    return {name, u"u-"_s + name, u"p-"_s + name, u"d-"_s + name, u"n\n"_s + name, category};
}

class RecordStoreFixture : public test::DatabaseTest {
protected:
    test::ScriptedDialogs dialogs;
    std::unique_ptr<RecordStore> store;
    const QString anna = EncryptField(u"anna"_s), bert = EncryptField(u"bert"_s);

    void startStore() {
        startDatabase();
        store = std::make_unique<RecordStore>(*database);
        setCipherDialogs(&dialogs, u"Keystead"_s);
    }
    void endStore() {
        QCOMPARE(dialogs.texts(), QStringList());  // the cipher never complained
        setCipherDialogs(nullptr, QString());
        store.reset();
        endDatabase();
    }

    qint64 create(const QString& owner, const RecordFields& f) {
        const SaveResult result = store->CreateRecord(owner, f);
        return result.outcome == SaveOutcome::Saved ? result.counter : -1;
    }
    // What anna's attempt to create a record of this name comes to.
    SaveOutcome creating(const QString& name) {
        return store->CreateRecord(anna, fields(name)).outcome;
    }
    // Anna's records a search finds, in this category.
    QStringList found(const QString& search, const QString& category = u"All Records"_s) {
        return names(anna, category, search);
    }
    QStringList names(const QString& owner, const QString& category = u"All Records"_s,
                      const QString& search = {}) {
        const Result<QList<RecordLine>> listed = store->ListRecords(owner, category, search);
        QStringList out;
        for (const RecordLine& line : listed.value()) {
            out.append(line.shortName);
        }
        return out;
    }
};

}  // namespace ks::test
