#include "cli/CliRun.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <variant>

#include "app/DatabasePreparation.h"
#include "app/LoginCheck.h"
#include "cli/CliCommands.h"
#include "cli/ConsoleIo.h"
#include "core/DatabaseTexts.h"
#include "core/ProgramState.h"
#include "core/Version.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/DataFolder.h"
#include "storage/DataFolderLock.h"

namespace ks::cli {

namespace {

// Logs the credentials in against the accounts; the account, or the exit code.
std::variant<Account, int> logIn(DatabaseAccess& database, const Credentials& credentials) {
    const QString name = credentials.name.trimmed();
    if (const LoginRefusal refusal = checkLoginLengths(name, credentials.password);
        refusal != LoginRefusal::None) {
        tell(loginRefusalMessage(refusal));
        return kRefused;
    }
    if (EncryptField(name).isEmpty()) {
        return kError;  // the cipher has said why
    }
    // A protected account's pass phrase is taken as typed, spaces and all.
    Result<LoginAttempt> attempt = attemptLogin(database, name, credentials.password);
    if (!attempt.ok() && attempt.status().code == DbCode::NeedsUpgrade) {
        // Reading never writes: the window program brings the database up to date.
        tell(QStringLiteral("The database was written by an older version of %1 and must be "
                            "brought up to date first. Start %1 once, then try again.")
                 .arg(ProgramState().AppTitle));
        return kError;
    }
    if (!attempt.ok()) {
        tell(describeDatabaseStatus(attempt.status()) + u' ' + attempt.status().detail);
        return kError;
    }
    // The companion never creates accounts: an unknown name is refused like a wrong password.
    if (attempt->match != LoginMatch::Matches) {
        tell(invalidLoginMessage());
        return kRefused;
    }
    return std::move(attempt->account);
}

// The data folder named on the command line, else the window program's.
QString dataFolderOf(const CliOptions& options, const QString& appTitle) {
    if (!options.dataFolder.isEmpty()) {
        return withTrailingSlash(QDir::cleanPath(QFileInfo(options.dataFolder).absoluteFilePath()));
    }
    return chooseDataFolder(QProcessEnvironment::systemEnvironment(), appTitle).folder;
}

}  // namespace

int run(const QStringList& arguments) {
    QString error;
    const std::optional<CliOptions> options = parseArguments(arguments, error);
    if (!options) {
        tell(error + QStringLiteral("\rTry keystead-cli --help."));
        return kError;
    }
    if (options->command == Command::Help || options->command == Command::Version) {
        out() << (options->command == Command::Help ? usageText() : versionText());
        out().flush();
        return kDone;
    }
    const QString appTitle = ProgramState().AppTitle;
    ConsoleDialogs dialogs;
    setCipherDialogs(&dialogs, appTitle);

    const QString folder = dataFolderOf(*options, appTitle);
    // Nothing is read from a folder that another account controls (nothing is narrowed either:
    // the companion changes nothing).
    if (const FsResult trusted = checkDataFolder(folder, false); !trusted) {
        tell(untrustedDataFolderMessage(appTitle, folder, trusted.error));
        return kError;
    }
    const QString path = databasePathIn(folder);
    if (!QFileInfo(path).isFile()) {
        tell(QStringLiteral("There is no %1 database in %2.").arg(appTitle, folder));
        return kError;
    }
    const std::optional<Credentials> credentials = readCredentials(options->readStdin);
    if (!credentials) {
        tell(QStringLiteral("No login name and password were given."));
        return kError;
    }
    // A command that writes holds the window program's lock for its whole run, so that the two
    // never write at once; the window program holding it refuses the command.
    DataFolderLock lock(folder);
    const bool writes = writesData(options->command) && !options->dryRun;
    if (writes && lock.tryLock(0) == DataFolderLock::Outcome::HeldByAnother) {
        tell(QStringLiteral("%1 is running on the data folder %2. Quit it first, then try again.")
                 .arg(appTitle, folder));
        return kRefused;
    }
    // A reading command opens the database read-only: it never writes, not even to bring an
    // older file up to date.
    DatabaseAccess database(
        path, PassPhrase(),
        writes ? DatabaseAccess::Mode::ReadWrite : DatabaseAccess::Mode::ReadOnly);
    const std::variant<Account, int> login = logIn(database, *credentials);
    if (const int* code = std::get_if<int>(&login)) {
        return *code;
    }
    const Account& account = std::get<Account>(login);
    const int code = runCommand(*options, database, account, folder);
    database.CloseAllDatabaseObjects();
    setCipherDialogs(nullptr, QString());
    return code;
}

}  // namespace ks::cli
