#include "ScriptedDialogs.h"

namespace ks::test {

void ScriptedDialogs::record(MessageIcon icon, const QString& title, const QString& text,
                             bool defaultNo) {
    shown.append({icon, title, text, defaultNo});
    if (onShown) {
        onShown(shown.last());
    }
}

bool ScriptedDialogs::scriptedAnswer(const QString& text) {
    if (answers_.empty()) {
        unexpected.append(QStringLiteral("question: ") + text);
        return false;
    }
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

void ScriptedDialogs::message(MessageIcon icon, const QString& title, const QString& text) {
    record(icon, title, text, false);
    if (desktop != nullptr) {
        desktop->message(icon, title, text);
    }
}

bool ScriptedDialogs::askYesNo(const QString& title, const QString& text) {
    return askYesNoWithDefault(title, text, DefaultAnswer::Yes);
}

bool ScriptedDialogs::askYesNoWithDefault(const QString& title, const QString& text,
                                          DefaultAnswer defaultAnswer) {
    record(MessageIcon::Question, title, text, defaultAnswer == DefaultAnswer::No);
    return desktop != nullptr ? desktop->askYesNoWithDefault(title, text, defaultAnswer)
                              : scriptedAnswer(text);
}

bool ScriptedDialogs::askYesNoKeepingText(const QString& title, const QString& text) {
    record(MessageIcon::Question, title, text, false);
    return desktop != nullptr ? desktop->askYesNoKeepingText(title, text) : scriptedAnswer(text);
}

std::optional<QString> ScriptedDialogs::inputText(const QString& title, const QString& prompt,
                                                  const QString&) {
    shown.append({MessageIcon::None, title, prompt, false});
    if (inputs_.empty()) {
        unexpected.append(QStringLiteral("input: ") + prompt);
        return std::nullopt;
    }
    std::optional<QString> text = inputs_.front();
    inputs_.pop_front();
    return text;
}

QString ScriptedDialogs::openFile(const QString& title, const QStringList& filters) {
    lastFilters = filters;
    if (files_.empty()) {
        unexpected.append(QStringLiteral("open file: ") + title);
        return {};
    }
    QString path = files_.front();
    files_.pop_front();
    return path;
}

QStringList ScriptedDialogs::openFiles(const QString& title, const QStringList& filters) {
    if (fileLists_.empty()) {
        return Dialogs::openFiles(title, filters);
    }
    lastFilters = filters;
    QStringList paths = fileLists_.front();
    fileLists_.pop_front();
    return paths;
}

QString ScriptedDialogs::saveFile(const QString& title, const QStringList& filters,
                                  const QString& suggested) {
    // With none queued, the desktop's chooser answers when it is set (and a lock may cancel it).
    if (files_.empty() && desktop != nullptr) {
        lastFilters = filters;
        return desktop->saveFile(title, filters, suggested);
    }
    return openFile(title, filters);
}

QString ScriptedDialogs::chooseFolder(const QString& title, const QString&) {
    if (folders_.empty()) {
        unexpected.append(QStringLiteral("choose folder: ") + title);
        return {};
    }
    QString path = folders_.front();
    folders_.pop_front();
    return path;
}

BoxesAtLock ScriptedDialogs::closeForLock() {
    return desktop != nullptr ? desktop->closeForLock() : BoxesAtLock::None;
}

ScriptedDialogs& ScriptedDialogs::answer(bool yes) {
    answers_.push_back(yes);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::input(std::optional<QString> text) {
    inputs_.push_back(std::move(text));
    return *this;
}

ScriptedDialogs& ScriptedDialogs::file(const QString& path) {
    files_.push_back(path);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::files(const QStringList& paths) {
    fileLists_.push_back(paths);
    return *this;
}

ScriptedDialogs& ScriptedDialogs::folder(const QString& path) {
    folders_.push_back(path);
    return *this;
}

QStringList ScriptedDialogs::texts() const {
    QStringList all;
    for (const Shown& s : shown) {
        all.append(s.text);
    }
    return all;
}

bool ScriptedDialogs::pendingAnswers() const {
    return !answers_.empty() || !inputs_.empty() || !files_.empty() || !fileLists_.empty() ||
           !folders_.empty();
}

void ScriptedDialogs::clear() {
    shown.clear();
}

}  // namespace ks::test
