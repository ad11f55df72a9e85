// The data folder's privacy: how it is made, what is refused, and the one-copy lock.
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "TestEnvironment.h"
#include "storage/DataFolder.h"
#include "storage/DataFolderLock.h"
#include "storage/DataFolderTrust.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

}  // namespace

class DataFolderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;

    QString folder() const { return env->dataFolder(); }
    QString database() const { return folder() + u"Data.mdb"_s; }
    QString settings() const { return folder() + u"Data.dat"_s; }
    FsResult check(bool narrow = true) const {
        return checkDataFolderTrust(folder(), {database(), settings()}, narrow);
    }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        QVERIFY(ensurePrivateFolder(folder()));
        test::writeFile(database(), "db");
        test::writeFile(settings(), "anna\r\n1\r\n");
        QVERIFY(setMode(database(), 0600) && setMode(settings(), 0600));
    }
    void cleanup() {
        setMode(env->root() + u"data"_s, 0700);  // so that the world can be removed
        env.reset();
    }

    void foldersAreMadePrivateWhateverTheUmask() {
        const mode_t oldMask = ::umask(0);
        const bool made = ensurePrivateFolder(env->root() + u"data/new/deeper/Keystead/"_s);
        const bool shared = ensureSharedFolder(env->root() + u"c/Keystead Users/"_s);
        ::umask(oldMask);
        QVERIFY(made && shared);
        for (const char* path : {"data/new", "data/new/deeper", "data/new/deeper/Keystead"}) {
            QCOMPARE(test::fileMode(env->root() + QLatin1String(path)), 0700);
        }
        QCOMPARE(test::fileMode(env->root() + u"c"_s), 0755);
        QCOMPARE(test::fileMode(env->root() + u"c/Keystead Users"_s), 0755);
        // An existing folder of ours that others may only enter is narrowed; one that others
        // may write to is left for the check to refuse.
        QVERIFY(setMode(folder(), 0755));
        QVERIFY(ensurePrivateFolder(folder()));
        QCOMPARE(test::fileMode(folder()), 0700);
        QVERIFY(setMode(folder(), 0777));
        QVERIFY(ensurePrivateFolder(folder()));
        QCOMPARE(test::fileMode(folder()), 0777);
    }

    void folderOrFilesOthersMayChangeAreRefused() {
        QVERIFY(check());
        // What others may only read is closed; nothing is changed without `narrow`.
        QVERIFY(setMode(folder(), 0750) && setMode(database(), 0644) && setMode(settings(), 0640));
        QVERIFY(check(false));
        QCOMPARE(test::fileMode(database()), 0644);
        QVERIFY(check());
        QCOMPARE(test::fileMode(folder()), 0700);
        QCOMPARE(test::fileMode(database()), 0600);
        QCOMPARE(test::fileMode(settings()), 0600);

        const QList<std::tuple<QString, mode_t, QString>> open = {
            {folder(), 0770, u"chmod 700"_s},
            {folder(), 0703, u"chmod 700"_s},
            {database(), 0666, u"chmod 600"_s},
            {settings(), 0620, u"chmod 600"_s},
            {env->root() + u"data"_s, 0777, u"chmod o-w"_s},
        };
        for (const auto& [path, mode, advice] : open) {
            QVERIFY(setMode(path, mode));
            const FsResult refused = check();
            QVERIFY2(!refused, qPrintable(path));
            QVERIFY2(refused.error.startsWith(path), qPrintable(refused.error));
            QVERIFY2(refused.error.contains(advice), qPrintable(refused.error));
            QCOMPARE(test::fileMode(path), int(mode));  // never "fixed" behind the user's back
            QVERIFY(setMode(path, QFileInfo(path).isDir() ? 0700 : 0600));
        }
        // A folder above that everyone may write to but nobody may empty of others' entries.
        QVERIFY(setMode(env->root() + u"data"_s, 01777));
        QVERIFY(check());
        // A folder not made yet holds nothing to fear.
        QVERIFY(checkDataFolderTrust(env->root() + u"data/later/"_s, {}, true));
    }

    void folderOrFilesOfAnotherAccountAreRefused() {
        if (::geteuid() != 0) {
            QSKIP("only root can give a file to another account");
        }
        constexpr uid_t kNobody = 65534;
        for (const QString& path : {database(), settings(), folder()}) {
            QVERIFY(::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0);
            const FsResult refused = check();
            QVERIFY2(!refused && refused.error.startsWith(path), qPrintable(refused.error));
            QVERIFY2(refused.error.contains(u"belongs to another account"_s),
                     qPrintable(refused.error));
            QVERIFY(::chown(QFile::encodeName(path).constData(), 0, 0) == 0);
        }
        QVERIFY(check());
    }

    void lockIsHeldOnlyByALiveHolder() {
        DataFolderLock first(folder());
        DataFolderLock second(folder());
        QCOMPARE(first.tryLock(0), DataFolderLock::Outcome::Taken);
        QCOMPARE(second.tryLock(100), DataFolderLock::Outcome::HeldByAnother);
        first.unlock();
        QCOMPARE(second.tryLock(0), DataFolderLock::Outcome::Taken);
        QVERIFY(QFileInfo(second.path()).isFile());
        second.unlock();
        QVERIFY(QFileInfo(second.path()).isFile());  // stays, so every taker locks one file
        // A lock file left behind, whatever it holds, is no holder.
        for (const QByteArray& leftover : {QByteArray(), QByteArray("\0\xff garbage", 10),
                                           QByteArray::number(::getpid()) + "\nKeystead\n"}) {
            test::writeFile(first.path(), leftover);
            QCOMPARE(first.tryLock(0), DataFolderLock::Outcome::Taken);
            first.unlock();
        }
        DataFolderLock nowhere(env->root() + u"missing/"_s);
        QCOMPARE(nowhere.tryLock(0), DataFolderLock::Outcome::Unavailable);
    }
};

QTEST_GUILESS_MAIN(DataFolderTest)
#include "tst_data_folder.moc"
