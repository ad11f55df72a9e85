#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

namespace ks {

// One running copy per data folder, as desktop users expect it: the copy that holds the data
// folder listens on a local socket there, and a second start asks it to bring its window to
// the front instead of starting again.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of the copy running on a data folder (ending in "/").
    static QString socketPathIn(const QString& dataFolder);

    // Asks the copy listening at `socketPath` to show its window. True when it says it did
    // within `timeoutMs`; false at once when nobody listens there.
    static bool askToShow(const QString& socketPath, int timeoutMs);

    // Starts answering. Only the copy that holds the data folder's lock calls it, so a socket
    // left behind by a copy that died is taken over. False when no socket can be made there
    // (the program then runs without).
    bool listen();
    // Stops answering: later starts wait for the data folder instead.
    void close();
    bool isListening() const { return server_.isListening(); }

    // Shows the window for another start; false when there is none to show (the program is
    // ending), which leaves the other start to wait for the data folder.
    std::function<bool()> showWindow;

private:
    void answer(class QLocalSocket* socket);

    QString socketPath_;
    QLocalServer server_;
};

}  // namespace ks
