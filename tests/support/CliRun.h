#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace ks::test {

// What a run of keystead-cli gave: its exit code (-1 when it did not end normally) and output.
struct CliRun {
    int code = -1;
    QString out;
    QString err;
    // The exit code and the output, to compare at once.
    QString result() const { return QString::number(code) + u'|' + out; }
};

// Runs the keystead-cli built beside the test with `arguments`, `input` as its standard input.
CliRun runCli(const QStringList& arguments, const QByteArray& input);

// Runs it logged in as anna (password "secret1", read from standard input).
CliRun runCliAsAnna(const QStringList& arguments);

// Makes the database at `path` hold anna (password "secret1") with the one record `shortName`;
// the test fails when it cannot.
void addAnnaWith(const QString& path, const QString& shortName);

}  // namespace ks::test
