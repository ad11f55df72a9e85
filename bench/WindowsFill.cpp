#include "WindowsFill.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cstdio>
#include <random>

#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "storage/Database.h"

namespace ks::bench {

namespace {

// Raise when the filled contents change, so that stale cached databases are not reused.
const char* const kFillVersion = "fill-3";

const char* const kWords[] = {
    "morning", "garden",  "letter",   "river",  "market",   "window", "station", "winter",
    "coffee",  "bridge",  "quiet",    "yellow", "machine",  "travel", "cousin",  "kitchen",
    "meeting", "evening", "harbour",  "paper",  "mountain", "silver", "dinner",  "holiday",
    "office",  "bicycle", "question", "summer", "library",  "forest", "pocket",  "journey",
};
constexpr int kWordCount = static_cast<int>(sizeof(kWords) / sizeof(kWords[0]));

// Deterministic text of realistic shape: words, sentences and paragraphs.
class TextMaker {
public:
    explicit TextMaker(unsigned seed) : random_(seed) {}

    int between(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }
    QString word() { return QString::fromLatin1(kWords[between(0, kWordCount - 1)]); }

    // About `length` characters of sentences, with a line break every few hundred.
    QString prose(int length, bool paragraphs) {
        QString text;
        text.reserve(length + 16);
        int paragraph = 0;
        while (text.size() < length) {
            QString sentence = word();
            sentence[0] = sentence[0].toUpper();
            for (int i = between(4, 12); i > 0; --i) {
                sentence += QLatin1Char(' ') + word();
            }
            text += sentence + QStringLiteral(". ");
            paragraph += static_cast<int>(sentence.size());
            if (paragraphs && paragraph > between(300, 600)) {
                text += QLatin1Char('\n');
                paragraph = 0;
            }
        }
        text.truncate(length);
        return text;
    }

    QString password() {
        static const char kChars[] =
            "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789!#%&*+-=?@";
        QString text;
        for (int i = 0; i < 16; ++i) {
            text += QLatin1Char(kChars[between(0, static_cast<int>(sizeof(kChars)) - 2)]);
        }
        return text;
    }

private:
    std::mt19937 random_;
};

struct Owners {
    QStringList ciphers;
};

void addUsers(Connection& connection, const FillPlan& plan, Owners& owners) {
    Statement users = connection.prepare(
        QStringLiteral("INSERT INTO Users (UserName, Password) VALUES (?1, ?2)"));
    Statement categories = connection.prepare(
        QStringLiteral("INSERT INTO LoginsCategory (CategoryName, UserName) VALUES (?1, ?2)"));
    for (int user = 0; user < plan.users; ++user) {
        owners.ciphers.append(EncryptField(userName(user)));
        users.reset();
        users.bind(1, owners.ciphers.last()).bind(2, EncryptField(userPassword())).run();
        for (const char* own : {"Family", "Travel"}) {
            categories.reset();
            categories.bind(1, QString::fromLatin1(own)).bind(2, owners.ciphers.last()).run();
        }
    }
}

// Records of all users interleaved, as they would be added over the years.
void addRecords(Connection& connection, const FillPlan& plan, const Owners& owners,
                TextMaker& maker) {
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO Logins (KeyUserName, ShortName, UserName, Password, "
                       "Description, Notes, Category) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"));
    const QStringList categories = userCategories();
    for (int i = 0; i < plan.recordsPerUser; ++i) {
        for (int user = 0; user < plan.users; ++user) {
            // Short names are unique over the table, as the editor keeps them.
            const QString shortName = maker.word() + QLatin1Char(' ') + maker.word() +
                                      QStringLiteral(" %1-%2").arg(user).arg(i);
            const QString login = maker.word() + QLatin1Char('.') + maker.word() +
                                  QStringLiteral("%1@mail.example").arg(maker.between(1, 99));
            insert.reset();
            insert.bind(1, owners.ciphers[user]).bind(2, EncryptField(shortName));
            insert.bind(3, EncryptField(login)).bind(4, EncryptField(maker.password()));
            insert.bind(5, EncryptField(maker.prose(maker.between(40, 80), false)));
            insert.bind(6, EncryptField(maker.prose(maker.between(150, 600), true)));
            insert.bind(7, categories[i % categories.size()]).run();
        }
    }
}

// The days with an entry: ten years of days up to today with two empty years after the first
// five, or only the days the actions visit.
QList<QDate> journalDays(const FillPlan& plan) {
    const BenchDays days = benchDays();
    QList<QDate> list;
    if (!plan.fullJournal) {
        list = {days.beforeGap, days.afterGap, days.dayBefore, days.bigDay, days.today};
        std::sort(list.begin(), list.end());
        return list;
    }
    for (QDate day = days.beforeGap.addDays(-1824); day <= days.beforeGap; day = day.addDays(1)) {
        list.append(day);
    }
    for (QDate day = days.afterGap; day <= days.today; day = day.addDays(1)) {
        list.append(day);
    }
    return list;
}

void addJournals(Connection& connection, const FillPlan& plan, const Owners& owners,
                 TextMaker& maker) {
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO Journals (UserName, Date, Journal, DateCreated, LastModified) "
                       "VALUES (?1, ?2, ?3, ?4, ?4)"));
    const BenchDays days = benchDays();
    const QList<QDate> visited = {days.today, days.afterGap, days.beforeGap, days.bigDay,
                                  days.dayBefore};
    const int measured = measuredIndex(plan);
    for (const QDate& day : journalDays(plan)) {
        const QString dateText = journalDateText(day);
        for (int user = 0; user < plan.users; ++user) {
            QString text;
            if (user == measured && plan.bigEntry && day == days.bigDay) {
                text = maker.prose(1024 * 1024, true);
            } else if (user == measured && visited.contains(day)) {
                // The days the actions open hold the same entry in every database, so that the
                // small and the large one are compared on the same text.
                text = TextMaker(static_cast<unsigned>(day.toJulianDay())).prose(1600, true);
            } else {
                text = maker.prose(maker.between(200, 3000), true);
            }
            insert.reset();
            insert.bind(1, owners.ciphers[user]).bind(2, dateText);
            insert.bind(3, storedJournalValue(text)).bind(4, dateText).run();
        }
    }
}

bool fill(const QString& path, const FillPlan& plan) {
    DatabaseAccess database(path, PassPhrase());
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return false;
    }
    Transaction transaction = connection->begin();
    TextMaker maker(static_cast<unsigned>(qHash(plan.name)));
    Owners owners;
    addUsers(connection.value(), plan, owners);
    addRecords(connection.value(), plan, owners, maker);
    addJournals(connection.value(), plan, owners, maker);
    return transaction.commit().ok();
}

QString cacheRoot() {
    const QString chosen = qEnvironmentVariable("KEYSTEAD_BENCH_CACHE");
    return (chosen.isEmpty() ? QStringLiteral("/tmp/keystead-bench-windows") : chosen) +
           QLatin1Char('/') + QString::fromLatin1(kFillVersion) + QLatin1Char('/');
}

}  // namespace

BenchDays benchDays() {
    BenchDays days;
    days.today = QDate(2026, 3, 5);
    days.afterGap = days.today.addDays(-1824);
    days.beforeGap = days.afterGap.addDays(-731);
    const QDate hundredBack = days.today.addDays(-100);
    days.bigDay = QDate(hundredBack.year(), hundredBack.month(), 15);
    days.dayBefore = days.bigDay.addDays(-1);
    return days;
}

QString userName(int index) {
    // The login window takes at most 15 characters.
    static const char* const kNames[] = {
        "Amelia Fair",  "Bart Okafor",    "Chiara Lind",   "Dmitri Vasquez", "Eleanor Naka",
        "Farid Castel", "Greta Oyelaran", "Hamish Petrov", "Ingrid Mbeki",   "Jonah Abernath"};
    return QString::fromLatin1(kNames[index % 10]);
}

QString userPassword() {
    return QStringLiteral("horse battery42");
}

int measuredIndex(const FillPlan& plan) {
    return plan.users > measuredUser ? measuredUser : 0;
}

QStringList userCategories() {
    return {QStringLiteral("Banking"),  QStringLiteral("Email"),  QStringLiteral("Internet"),
            QStringLiteral("Shopping"), QStringLiteral("Work"),   QStringLiteral("Family"),
            QStringLiteral("Travel"),   QStringLiteral("Unfiled")};
}

QString cachedDatabase(const FillPlan& plan, const QString& templatePath) {
    const QString path = cacheRoot() + plan.name + QStringLiteral(".mdb");
    if (QFileInfo::exists(path)) {
        // A database filled by an older build gets this build's indexes here, once, rather
        // than at every timed first login.
        DatabaseAccess(path, PassPhrase()).open();
        return path;
    }
    QDir().mkpath(cacheRoot());
    QFile::setPermissions(cacheRoot(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    QFile::copy(templatePath, partial);
    QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner);
    std::fprintf(stderr, "filling %s (once; kept in %s)\n", qPrintable(plan.name),
                 qPrintable(cacheRoot()));
    if (!fill(partial, plan) || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return QString();
    }
    return path;
}

}  // namespace ks::bench
