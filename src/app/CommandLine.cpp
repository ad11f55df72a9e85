#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "core/Version.h"

namespace ks {

namespace {

constexpr int kUsageError = 2;

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// The parser of the program's options: --help and --version only.
void describeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Keystead keeps passwords, a journal, pictures and files in one encrypted "
                       "database.\nIt starts at its login window; it takes no other arguments."));
    parser.addHelpOption();
    parser.addVersionOption();
}

bool asks(const char* argument) {
    static const char* const kNames[] = {"-h", "--help", "-?", "--help-all", "-v", "--version"};
    for (const char* name : kNames) {
        if (qstrcmp(argument, name) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<int> answerInformationRequest(int& argc, char** argv) {
    bool asked = false;
    for (int i = 1; i < argc && !asked; ++i) {
        asked = asks(argv[i]);
    }
    if (!asked) {
        return std::nullopt;
    }
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("keystead"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KEYSTEAD_VERSION));
    QCommandLineParser parser;
    describeOptions(parser);
    parser.parse(QCoreApplication::arguments());  // the toolkit's own options are not known here
    if (parser.isSet(QStringLiteral("version"))) {
        print(stdout, QStringLiteral("keystead %1\n").arg(QStringLiteral(KEYSTEAD_VERSION)));
    } else {
        print(stdout, parser.helpText());
    }
    return 0;
}

std::optional<int> refuseOtherArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    describeOptions(parser);
    QString error;
    if (!parser.parse(arguments)) {
        error = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
    } else {
        return std::nullopt;
    }
    print(stderr, QStringLiteral("keystead: %1\nTry 'keystead --help'.\n").arg(error));
    return kUsageError;
}

}  // namespace ks
