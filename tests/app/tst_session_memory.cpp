// What a session leaves in the memory of the running program: a real process is driven through
// a session with marked secrets, and its memory is read while logged in (the marks are there)
// and after logout or lock (none is left, in UTF-8, UTF-16 or Latin-1).
#include <QtTest>

#include "app/ProcessMemory.h"

using namespace Qt::StringLiterals;

namespace {

const QString kPassword = u"pwé-Login-4417"_s;
const QString kPhrase = u"Pässphrase märker 9925 ty"_s;
const QString kRecordPassword = u"Récord-Pass-8839-zq"_s;
const QString kNotes = u"Nötes marker 5521 xq"_s;
const QString kJournalSaved = u"Jöurnal saved marker 7730 wv"_s;
const QString kJournalTyped = u"Jöurnal unsaved marker 3317 pk"_s;
// What follows the saved mark in its entry: copies of a text this long are freed as blocks too
// large for the heap's per-thread cache and smaller than a page, which only a sweep of the
// heap's free blocks reaches.
const QString kJournalRest = u" and then some"_s.repeated(100);
// Notes of half a megabyte, marked at their end: blocks of this size come from the heap's own
// pages rather than pages of their own, and must be overwritten when freed as well.
const QString kBigNotesMark = u"Big nötes marker 6631 zr"_s;

// The helper process and its answers.
class Helper {
public:
    explicit Helper(bool keepDumps) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        if (keepDumps) {
            // The memory is read from outside, which a process that is not dumpable forbids
            // (unless the reader may trace any process).
            environment.insert(QString::fromLatin1(ks::kCoreDumpsVariable), u"1"_s);
        } else {
            environment.remove(QString::fromLatin1(ks::kCoreDumpsVariable));
        }
        process_.setProcessEnvironment(environment);
        process_.start(QStringLiteral(MEMORY_HELPER), QStringList());
    }
    ~Helper() {
        process_.write("quit\n");
        if (!process_.waitForFinished(20000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    // Runs one command; its answer lines before "ok" (nullopt when it failed).
    std::optional<QStringList> run(const QStringList& command) {
        process_.write(command.join(u'\t').toUtf8() + '\n');
        QStringList lines;
        for (;;) {
            while (!process_.canReadLine()) {
                if (!process_.waitForReadyRead(60000)) {
                    return std::nullopt;
                }
            }
            const QString line = QString::fromUtf8(process_.readLine()).chopped(1);
            if (line == u"ok"_s) {
                return lines;
            }
            if (line == u"unknown"_s) {
                return std::nullopt;
            }
            lines << line;
        }
    }
    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
};

// The process's writable and anonymous memory, read through /proc, with where each part of it
// comes from (a line of the maps file).
struct Memory {
    QByteArray bytes;
    QList<std::pair<qsizetype, QByteArray>> regions;  // where each mapping begins in `bytes`

    // The mapping that holds `at`, and how far into it `at` is.
    QString whereIs(qsizetype at) const {
        for (qsizetype i = regions.size() - 1; i >= 0; --i) {
            if (regions.at(i).first <= at) {
                return u"%1 +0x%2"_s.arg(QString::fromLatin1(regions.at(i).second))
                    .arg(at - regions.at(i).first, 0, 16);
            }
        }
        return {};
    }
};

Memory memoryOf(qint64 pid) {
    QFile maps(u"/proc/%1/maps"_s.arg(pid));
    QFile mem(u"/proc/%1/mem"_s.arg(pid));
    if (!maps.open(QIODevice::ReadOnly) || !mem.open(QIODevice::ReadOnly)) {
        return {};
    }
    Memory memory;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5 || !fields.at(1).startsWith("rw") ||
            (fields.size() > 5 && fields.at(5).startsWith("[v"))) {
            continue;  // code and constants hold no session value; [vvar] cannot be read
        }
        const QList<QByteArray> range = fields.at(0).split('-');
        const qint64 from = range.at(0).toLongLong(nullptr, 16);
        const qint64 to = range.at(1).toLongLong(nullptr, 16);
        if (mem.seek(from)) {
            memory.regions.append({memory.bytes.size(), line.simplified()});
            memory.bytes += mem.read(to - from);
        }
    }
    return memory;
}

// How many copies of `text` the memory holds, in each encoding, and where the first of each
// lies with the 32 bytes before it (a heap block's header, a freed block's links).
QString copiesIn(const Memory& memory, const QString& text) {
    QStringList places;
    const auto count = [&memory, &places](const QByteArray& bytes) {
        const qsizetype found = memory.bytes.count(bytes);
        if (const qsizetype at = memory.bytes.indexOf(bytes); at >= 0) {
            const qsizetype from = std::max<qsizetype>(0, at - 32);
            places << u"  at %1 after %2"_s.arg(
                memory.whereIs(at),
                QString::fromLatin1(memory.bytes.mid(from, at - from).toHex(' ')));
        }
        return found;
    };
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const qsizetype utf8 = count(text.toUtf8());
    const qsizetype latin1 = count(text.toLatin1());
    const qsizetype wide = count(utf16);
    if (utf8 + latin1 + wide == 0) {
        return {};
    }
    return u"%1: %2 UTF-8, %3 UTF-16, %4 Latin-1\n%5"_s.arg(text)
        .arg(utf8)
        .arg(wide)
        .arg(latin1)
        .arg(places.join(u'\n'));
}

// The secrets of `secrets` the memory holds, with their copies; empty when none.
QStringList secretsIn(qint64 pid, const QStringList& secrets) {
    const Memory memory = memoryOf(pid);
    if (memory.bytes.isEmpty()) {
        return {u"the memory could not be read"_s};
    }
    QStringList found;
    for (const QString& secret : secrets) {
        if (const QString copies = copiesIn(memory, secret); !copies.isEmpty()) {
            found << copies;
        }
    }
    return found;
}

}  // namespace

class SessionMemoryTest : public QObject {
    Q_OBJECT

    // A session of an account that shows, copies, edits and generates secrets, then ends with
    // `end`; the secrets it had.
    void runSession(Helper& helper, const QString& password, const QString& end,
                    bool keysLocked = false) {
        // A protected account's data key lives in memory locked against swapping (a page more
        // than the database engine locks for its own key), until the session ends.
        const auto lockedKb = [&helper] {
            const std::optional<QStringList> answer = helper.run({u"lockedkb"_s});
            return answer && answer->size() == 1 ? answer->first().toInt() : -1;
        };
        const int lockedBefore = lockedKb();
        QVERIFY(helper.run({u"login"_s, u"anna"_s, password}));
        const int lockedIn = lockedKb();
        if (keysLocked) {
            QVERIFY2(lockedIn > lockedBefore, qPrintable(u"%1 kB"_s.arg(lockedIn)));
        }
        const std::optional<QStringList> generated = helper.run({u"generate"_s});
        QVERIFY(generated && generated->size() == 1);
        QVERIFY(helper.run({u"bignotes"_s, u"large notes"_s, u"large-pass"_s, kBigNotesMark}));
        QCOMPARE(secretsIn(helper.pid(), {kBigNotesMark}).size(), 1);
        QVERIFY(helper.run({u"record"_s, u"bank"_s, kRecordPassword, kNotes}));
        QVERIFY(helper.run({u"journal"_s, kJournalSaved + kJournalRest}));
        QVERIFY(helper.run({u"journal"_s, kJournalTyped}));
        const QStringList secrets = {password,      kRecordPassword, kNotes,
                                     kBigNotesMark, kJournalSaved,   generated->first()};
        // While logged in, the marks the windows show are there to be found: the search can
        // fail. (The login has let go of its password already, and the editor of the generated
        // one when it was opened again.)
        const QStringList shown = {kRecordPassword, kNotes, kJournalSaved};
        const QStringList held = secretsIn(helper.pid(), shown);
        QVERIFY2(held.size() == shown.size(), qPrintable(held.join(u'\n')));
        QVERIFY(helper.run({end}));
        if (keysLocked) {
            QCOMPARE(lockedKb(), lockedBefore);
        }
        const QStringList left = secretsIn(helper.pid(), secrets + QStringList{kJournalTyped});
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u'\n')));
    }

private Q_SLOTS:
    void nothingOfASessionIsLeftAfterLogout() {
        Helper helper(true);
        runSession(helper, kPassword, u"logout"_s);
    }

    void nothingOfAProtectedSessionIsLeftAfterLock() {
        Helper helper(true);
        QVERIFY(helper.run({u"protect"_s, u"anna"_s, kPassword, kPhrase}));
        runSession(helper, kPhrase, u"lock"_s, true);
    }

    // The heap's per-thread cache is off too: the program started itself again without it.
    void coreDumpsAreOffUnlessAskedFor() {
        Helper production(false);
        QCOMPARE(production.run({u"dumps"_s}), std::optional(QStringList{u"off"_s}));
        QCOMPARE(production.run({u"heapcache"_s}), std::optional(QStringList{u"off"_s}));
        Helper debugging(true);
        QCOMPARE(debugging.run({u"dumps"_s}), std::optional(QStringList{u"on"_s}));
    }
};

QTEST_GUILESS_MAIN(SessionMemoryTest)
#include "tst_session_memory.moc"
