#include "vault/SealedLines.h"

#include <span>
#include <thread>

#include "vault/VaultAccount.h"

namespace ks {

SealedLines::SealedLines(const Account& account) : owner_(account.owner), key_(account.dataKey) {
}

qint32 SealedLines::add(QByteArray uuid, QString shortName, QString category) {
    lines_.push_back({std::move(uuid), std::move(shortName), std::move(category)});
    return static_cast<qint32>(lines_.size() - 1);
}

void SealedLines::dropIdentityWhenOpen(Line& line) {
    if (line.nameOpen && line.categoryOpen) {
        line.uuid = QByteArray();  // needed only to open
    }
}

void SealedLines::openName(Line& line) const {
    const Account account(owner_, key_.lock());
    line.shortName = account.isProtected()
                         ? shownOrDamaged(account, columns::kShortName, line.uuid, line.shortName)
                         : QString();
    line.nameOpen = true;
    dropIdentityWhenOpen(line);
}

void SealedLines::openCategory(Line& line) const {
    const Account account(owner_, key_.lock());
    line.category = account.isProtected()
                        ? shownOrDamaged(account, columns::kCategory, line.uuid, line.category)
                        : QString();
    line.categoryOpen = true;
    dropIdentityWhenOpen(line);
}

void SealedLines::shareCategory(Line& line) {
    auto known = categories_.constFind(line.category);
    if (known == categories_.cend()) {
        known = categories_.insert(line.category, line.category);
    }
    line.category = known.value();
}

const QString& SealedLines::shortName(qint32 at) {
    Line& line = lines_.at(static_cast<size_t>(at));
    if (!line.nameOpen) {
        openName(line);
    }
    return line.shortName;
}

const QString& SealedLines::category(qint32 at) {
    Line& line = lines_.at(static_cast<size_t>(at));
    if (!line.categoryOpen) {
        openCategory(line);
        shareCategory(line);
    }
    return line.category;
}

void SealedLines::openMany(Part part) {
    std::vector<Line*> waiting;
    for (size_t at = openBefore_; at < lines_.size(); ++at) {
        Line& line = lines_[at];
        if (!line.categoryOpen || (part == Part::Both && !line.nameOpen)) {
            waiting.push_back(&line);
        }
    }
    const auto open = [this, part](std::span<Line*> some) {
        for (Line* line : some) {
            if (!line->categoryOpen) {
                openCategory(*line);
            }
            if (part == Part::Both && !line->nameOpen) {
                openName(*line);
            }
        }
    };
    // Each value opens on its own: with many of them, half go to a second thread.
    constexpr size_t kWorthAThread = 512;
    const std::span<Line*> all(waiting);
    if (waiting.size() < kWorthAThread) {
        open(all);
    } else {
        const size_t half = waiting.size() / 2;
        std::thread second([&open, rest = all.subspan(half)] { open(rest); });
        open(all.first(half));
        second.join();
    }
    for (Line* line : waiting) {
        shareCategory(*line);
    }
    if (part == Part::Both) {
        openBefore_ = lines_.size();
    }
}

void SealedLines::openAllCategories() {
    openMany(Part::Category);
}

void SealedLines::openAll() {
    openMany(Part::Both);
}

bool SealedLines::openAhead(qsizetype count) {
    for (; openBefore_ < lines_.size() && count > 0; ++openBefore_, --count) {
        Line& line = lines_[openBefore_];
        if (!line.nameOpen) {
            openName(line);
        }
        if (!line.categoryOpen) {
            openCategory(line);
            shareCategory(line);
        }
    }
    return openBefore_ == lines_.size();
}

}  // namespace ks
