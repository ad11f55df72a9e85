#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>
#include <vector>

#include "core/Account.h"

namespace ks {

// The short names and categories of a protected account's record lines as stored, each opened
// the first time it is asked for and kept opened for the session. A list shows a screenful of
// lines: at a table's scale, opening every value before the first paint would be most of what
// the user waits for. What nobody asked for yet is opened a slice at a time while the window is
// idle (openAhead), and a category filter opens every category at once.
class SealedLines {
public:
    explicit SealedLines(const Account& account);

    // Adds a line as stored; its place, by which it is asked for.
    qint32 add(QByteArray uuid, QString shortName, QString category);
    qsizetype size() const { return static_cast<qsizetype>(lines_.size()); }

    // The opened values of the line at `at`, opened now when they are not yet; a value that
    // does not open is shown as damaged. Empty once the session's key is gone.
    const QString& shortName(qint32 at);
    const QString& category(qint32 at);
    // Opens every category not opened yet.
    void openAllCategories();
    // Opens both values of up to `count` more lines, in their order; true once every line is
    // open.
    bool openAhead(qsizetype count);
    // Opens everything not opened yet.
    void openAll();

private:
    struct Line {
        QByteArray uuid;
        QString shortName;  // as stored until nameOpen
        QString category;   // as stored until categoryOpen
        bool nameOpen = false;
        bool categoryOpen = false;
    };
    enum class Part { Category, Both };
    // Opens `part` of the lines not open yet, on two threads when there are many.
    void openMany(Part part);
    static void dropIdentityWhenOpen(Line& line);
    void openName(Line& line) const;
    void openCategory(Line& line) const;
    // Keeps each category text once: records share a handful of them.
    void shareCategory(Line& line);

    QString owner_;
    std::weak_ptr<const SecretBytes> key_;
    std::vector<Line> lines_;
    QHash<QString, QString> categories_;
    size_t openBefore_ = 0;  // every line before this one is open whole
};

}  // namespace ks
