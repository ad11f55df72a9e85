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
// newest first, each with a snippet. Choosing a day asks the page to go there.
class JournalSearchPanel : public QWidget {
    Q_OBJECT
public:
    explicit JournalSearchPanel(Services& services, QWidget* parent = nullptr);

    // Forgets the search (a user has logged in).
    void clear();
    // Runs the search for the field's text at once.
    void search();

Q_SIGNALS:
    void daySelected(QDate day);

private:
    Services& services_;
    QLineEdit* txtJournalSearch_;
    JournalFoundModel* found_;
    QListView* lstJournalFound_;
    QTimer* typingPause_;
};

}  // namespace ks
