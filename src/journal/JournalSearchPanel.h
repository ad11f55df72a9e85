#pragma once

#include <QDate>
#include <QWidget>

#include "core/Services.h"

class QLineEdit;
class QListView;
class QTimer;

namespace ks {

class JournalFoundModel;

// Finds the user's journal days by what their entries say: a search field and the days found,
// newest first, each with a snippet. Choosing a day asks the page to go there and show the match.
class JournalSearchPanel : public QWidget {
    Q_OBJECT
public:
    explicit JournalSearchPanel(Services& services, QWidget* parent = nullptr);

    // Forgets the search (a user has logged in).
    void clear();
    // Runs the search for the field's text at once.
    void search();

Q_SIGNALS:
    // A day found was chosen; `searched` is the text it was found by.
    void daySelected(QDate day, const QString& searched);

private:
    Services& services_;
    QLineEdit* txtJournalSearch_;
    JournalFoundModel* found_;
    QListView* lstJournalFound_;
    QTimer* typingPause_;
    QString searched_;  // the text the listed days were found by
};

}  // namespace ks
