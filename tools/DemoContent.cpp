#include "DemoContent.h"

#include <QStringList>
#include <random>

namespace ks::demo {

namespace {

struct RecordSeed {
    const char* shortName;
    const char* userName;
    const char* description;
    const char* notes;
    const char* category;
};

// clang-format off
const RecordSeed kRecords[] = {
    {"Northwind Bank", "alex.morgan", "Current account and savings, online banking",
     "Security questions: first school, street of the first flat.\nCard reader in the desk drawer.", "Banking"},
    {"Harbour Credit Union", "AM-204518", "Mortgage account", "Branch: Quay Street. Adviser: R. Patel, ext. 214.", "Banking"},
    {"Card PIN reminder", "Visa ending 4821", "Where the PIN letter is filed", "Blue folder, second shelf.", "Banking"},
    {"Pension portal", "alex.morgan@mail.example", "Workplace pension", "Yearly statement arrives in April.", "Banking"},
    {"Tax office online", "UTR 51 204 88871", "Self-assessment return", "Deadline 31 January.", "Banking"},
    {"Personal mail", "alex.morgan@mail.example", "Main e-mail address", "Recovery phone: the mobile.", "Email"},
    {"Work mail", "a.morgan@lindqvist-design.example", "Office e-mail", "Mail server settings from the IT sheet.", "Email"},
    {"Old university mail", "amorgan07@uni.example", "Forwarding to personal mail", "Expires next year.", "Email"},
    {"Home router", "admin", "Router admin page at 192.168.1.1", "Firmware updated in spring.", "Internet"},
    {"Home Wi-Fi", "Morgan-Home-5G", "Wireless network password", "Guest network: Morgan-Guest.", "Internet"},
    {"Photo cloud", "alex.morgan", "Photo backup, 200 GB plan", "Family album shared with Sam.", "Internet"},
    {"Domain registrar", "amorgan", "morgan-family.example", "Renews every March.", "Internet"},
    {"Code hosting", "alexm-dev", "Hobby projects", "Two-factor codes in the phone app.", "Internet"},
    {"Bookshop", "alex.morgan@mail.example", "Online bookshop and e-books", "Wish list for birthdays.", "Shopping"},
    {"Grocery delivery", "alex.morgan@mail.example", "Weekly shop, Thursday slot", "Substitutions allowed.", "Shopping"},
    {"Outdoor gear shop", "amorgan", "Hiking boots and the tent", "Membership number 88-1204.", "Shopping"},
    {"Marketplace", "alex_m", "Buying and selling", "Sold the old bicycle here.", "Shopping"},
    {"Company VPN", "amorgan", "Remote access to the office", "Token app on the phone.", "Work"},
    {"Time sheets", "a.morgan", "Weekly hours", "Submit by Friday noon.", "Work"},
    {"Project wiki", "amorgan", "Design team wiki", "Space: Harbour Museum redesign.", "Work"},
    {"Expense reports", "a.morgan", "Travel and meal expenses", "Receipts as photos.", "Work"},
    {"Rail pass", "alex.morgan@mail.example", "Season ticket and rail card", "Renew before 3 May.", "Travel"},
    {"Airline miles", "FF 2207 1184", "Frequent flyer account", "Gold until December.", "Travel"},
    {"Hotel bookings", "alex.morgan@mail.example", "Hotel booking site", "Saved: lake hotel, room 12.", "Travel"},
    {"Car rental", "AMORGAN", "Rental account", "Licence scan under Files.", "Travel"},
    {"School portal", "parent.morgan", "Reports and term dates", "Parents' evening in March.", "Family"},
    {"Streaming at home", "morgan.family", "Films and series", "Profiles: Alex, Sam, Kids.", "Family"},
    {"Family calendar", "morgan-family", "Shared calendar", "Bin day is Tuesday.", "Family"},
    {"GP practice", "patient 4857-7734", "Appointments and repeat prescriptions", "Surgery phone in contacts.", "Health"},
    {"Dental plan", "DP-771903", "Monthly dental plan", "Check-up due in autumn.", "Health"},
};
// clang-format on

QString password(std::mt19937& random) {
    static const char kChars[] =
        "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789!#%&*+-=?@";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof(kChars)) - 2);
    QString text;
    for (int i = 0; i < 16; ++i) {
        text += QLatin1Char(kChars[pick(random)]);
    }
    return text;
}

// clang-format off
const char* const kOpenings[] = {
    "Grey and windy all day; the ferry was late again.",
    "Bright, cold morning. Frost on the car until nine.",
    "Rain from breakfast to dinner, so mostly indoors.",
    "The first properly warm day of the year.",
    "Fog over the harbour until noon, then sunshine.",
    "Woke early and walked along the river before work.",
    "A slow Sunday.",
    "Busy day, not much time to think.",
};
const char* const kMiddles[] = {
    "Finished the first drafts for the museum signs and sent them to Lena for comments.",
    "Long meeting about the exhibition plan; we agreed to move the opening to spring.",
    "Sam cooked the lentil soup from grandmother's recipe, better than last time.",
    "Took the children to the library; they came back with eleven books between them.",
    "Fixed the dripping tap in the bathroom at last. Twenty minutes, after three months of putting it off.",
    "Read two chapters of the lighthouse book on the train.",
    "Called Mum. She is planning the garden again and wants help with the fence in May.",
    "Went to the market for vegetables and came home with flowers as well.",
    "The new bicycle light works, so the ride home in the dark was fine.",
    "Spent the evening sorting photos from the summer trip to the lakes.",
    "Ran five kilometres along the harbour wall, the best time since autumn.",
    "Tried the new bakery on Quay Street; the rye bread is very good.",
    "Paid the insurance and filed the letter, one job less.",
    "Lena's presentation went well; the client liked the colour study.",
    "Booked the train for the weekend at the coast.",
    "Planted tomatoes and basil in the window boxes.",
};
const char* const kEndings[] = {
    "Early night.",
    "Tired but content.",
    "Tomorrow: finish the report and call the garage.",
    "Must remember to water the plants.",
    "A good day, all in all.",
    "Still thinking about what Lena said about the project.",
    "Music and tea before bed.",
};
// clang-format on

template <size_t N>
QString pickFrom(const char* const (&pool)[N], std::mt19937& random) {
    return QString::fromUtf8(pool[std::uniform_int_distribution<size_t>(0, N - 1)(random)]);
}

QString entryText(std::mt19937& random) {
    QStringList paragraphs;
    const int count = std::uniform_int_distribution<int>(1, 3)(random);
    for (int p = 0; p < count; ++p) {
        QStringList sentences;
        if (p == 0) {
            sentences.append(pickFrom(kOpenings, random));
        }
        for (int s = std::uniform_int_distribution<int>(1, 3)(random); s > 0; --s) {
            sentences.append(pickFrom(kMiddles, random));
        }
        if (p == count - 1) {
            sentences.append(pickFrom(kEndings, random));
        }
        sentences.removeDuplicates();
        paragraphs.append(sentences.join(QLatin1Char(' ')));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

QString todaysText() {
    return QStringLiteral(
        "Clear sky after a week of rain. Walked to the harbour before breakfast; the fishing "
        "boats were already out and the water was completely still.\n\n"
        "At work we finally printed the test panels for the museum. The blue is too dark on "
        "the matt paper, so Lena will try the lighter one tomorrow.\n\n"
        "Evening: lentil soup, one more chapter of the lighthouse book, early night.\n\n"
        "To do:\n- renew the rail pass\n- call Mum about the fence\n- back up the photos");
}

}  // namespace

Account account() {
    return {QStringLiteral("Alex Morgan"), QStringLiteral("demo-vault-42")};
}

QList<RecordFields> records() {
    std::mt19937 random(20260305);
    QList<RecordFields> list;
    for (const RecordSeed& seed : kRecords) {
        list.append({QString::fromUtf8(seed.shortName), QString::fromUtf8(seed.userName),
                     password(random), QString::fromUtf8(seed.description),
                     QString::fromUtf8(seed.notes), QString::fromUtf8(seed.category)});
    }
    return list;
}

QList<JournalDay> journal(QDate today) {
    // The seed does not depend on the date, so the entries are the same on every run of a day.
    std::mt19937 random(42);
    QList<JournalDay> days;
    for (int back = 150; back > 0; --back) {
        const bool written = std::uniform_int_distribution<int>(0, 9)(random) < 6;
        const QString text = entryText(random);
        if (written) {
            days.append({today.addDays(-back), text});
        }
    }
    days.append({today, todaysText()});
    return days;
}

}  // namespace ks::demo
