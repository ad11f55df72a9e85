#pragma once

#include <QList>
#include <QString>
#include <utility>

namespace ks {

// Values that have no box of their own in a vault record (a web address, a one-time password
// key, a source's custom fields) travel at the end of the notes, in a block that starts with a
// marker line; so does the description on its way through a KeePassXC file, which has no column
// for it:
//
//     the notes themselves
//
//     --- More fields ---
//     URL: https://mail.example.com/
//     TOTP: otpauth://totp/Mail?secret=...
//     Description: first line
//       second line
//
// Each value follows its label and ": "; its further lines are indented by two spaces. The
// block is recognised only when it is the last thing in the notes and every line after the
// last marker has this form (an empty line inside a value may have lost its two spaces), so
// notes that merely mention the marker stay as they are.
class LabelledNotes {
public:
    static LabelledNotes split(const QString& notes);
    // The notes followed by the block; the notes alone when no field is set.
    QString joined() const;

    const QString& notes() const { return notes_; }
    void setNotes(const QString& notes) { notes_ = notes; }
    const QList<std::pair<QString, QString>>& fields() const { return fields_; }

    // The value of a label (compared ignoring letter case); empty when it is not there.
    QString value(const QString& label) const;
    // The value of a label, which leaves the block.
    QString take(const QString& label);
    // Sets a label's value where it stands, or adds it at the end; an empty value removes it.
    // A colon or a line break in the label becomes a hyphen or a space.
    void set(const QString& label, const QString& value);

private:
    qsizetype find(const QString& label) const;
    bool parseBlock(const QStringList& lines);

    QString notes_;
    QList<std::pair<QString, QString>> fields_;
};

namespace notelabel {
// The labels the vault gives meaning to; any other label is carried as it is.
inline QString url() {
    return QStringLiteral("URL");
}
inline QString totp() {
    return QStringLiteral("TOTP");
}
inline QString description() {
    return QStringLiteral("Description");
}
// The whole category of a record whose category holds a slash, which a KeePassXC group path
// would cut into nested groups.
inline QString category() {
    return QStringLiteral("Category");
}
}  // namespace notelabel

}  // namespace ks
