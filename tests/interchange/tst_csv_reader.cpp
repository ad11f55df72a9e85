// The CSV reader: what it reads, and every kind of file it refuses with the line of the fault.
#include <QtTest>

#include "interchange/CsvReader.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

CsvRead readBytes(const QByteArray& bytes, const CsvLimits& limits = {}) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readCsv(buffer, limits);
}

// A pipe-like device that hands out `prefix`, then `filler` bytes up to `size` in all, a few
// kilobytes per read, counting what was taken.
class GeneratedInput : public QIODevice {
public:
    GeneratedInput(QByteArray prefix, char filler, qint64 size)
        : prefix_(std::move(prefix)), filler_(filler), size_(size) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return size_ - handed + QIODevice::bytesAvailable(); }
    qint64 handed = 0;

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = std::min<qint64>({max, size_ - handed, 4096});
        for (qint64 i = 0; i < n; ++i, ++handed) {
            data[i] = handed < prefix_.size() ? prefix_[handed] : filler_;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray prefix_;
    char filler_;
    qint64 size_;
};

QList<QStringList> fieldsOf(const CsvRead& read) {
    QList<QStringList> rows{read.table.header};
    for (const CsvRow& row : read.table.rows) {
        rows.append(row.fields);
    }
    return rows;
}

// Files the reader refuses: what is wrong, the line named and the message.
struct Refusal {
    const char* kind;
    QByteArray bytes;
    int line;
    QString message;
};

const QByteArray kPng = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0"_ba;

const Refusal kRefusals[] = {
    {"empty", QByteArray(), 1, u"Line 1: the file is empty."_s},
    {"blank lines only", "\n\r\n\n"_ba, 1, u"Line 1: the file is empty."_s},
    {"only a header", "a,b\n\n"_ba, 2, u"Line 2: the file holds a header line but no records."_s},
    {"binary", kPng, 1, u"Line 1: this is not a text file, so it cannot be CSV."_s},
    {"zeros", QByteArray(100, '\0'), 1, u"Line 1: this is not a text file, so it cannot be CSV."_s},
    {"UTF-16 with mark", "\xFF\xFE\x61\0\n\0"_ba, 1,
     u"Line 1: the file is UTF-16 text; save it as UTF-8 and try again."_s},
    {"UTF-16 without mark", "a\0,\0b\0\n\0x\0,\0y\0\n\0"_ba, 1,
     u"Line 1: the file is UTF-16 text; save it as UTF-8 and try again."_s},
    {"KeePass database", "\x03\xD9\xA2\x9A\x67\xFB\x4B\xB5"_ba, 1,
     u"Line 1: this is a KeePass database, not CSV; export it as CSV from KeePassXC first."_s},
    {"ZIP", "PK\x03\x04\x14\0\x06\0"_ba, 1,
     u"Line 1: this is a ZIP archive (a spreadsheet, perhaps), not CSV; save it as CSV first."_s},
    {"unterminated quote", "a,b\n1,2\n3,\"open\n\nstill open\n"_ba, 3,
     u"Line 3: the quote that opens field 2 here is never closed."_s},
    {"quote inside an unquoted field", "a,b\n1,2\nx,ab\"c\"\n"_ba, 3,
     u"Line 3: field 2 holds a quote but does not start with one; a field with quotes must be "
     "quoted, its quotes doubled."_s},
    {"text after a closing quote, after a line break in the field", "a,b\n1,\"two\nlines\" x\n"_ba,
     3,
     u"Line 3: text follows the closing quote of field 2 (a quote inside a quoted field must be "
     "doubled)."_s},
    {"carriage return alone", "a,b\n1,2\r3,4\n"_ba, 2,
     u"Line 2: a carriage return that does not end the line (lines must end with CRLF or LF)."_s},
    {"NUL", "a,b\n1,2\nx,\"y\nz\0\"\n"_ba, 4,
     u"Line 4: the line holds a NUL character, which no text may hold."_s},
    {"invalid UTF-8 on the second line of a field", "a,b\n1,\"fine\ncaf\xE9\"\n"_ba, 3,
     u"Line 3: the line is not valid UTF-8 text; save the file as UTF-8 and try again."_s},
    {"too few fields", "a,b,c\n1,2,3\n\"x\ny\",2\n"_ba, 3,
     u"Line 3: the record has 2 fields; the header has 3."_s},
    {"too many fields", "a,b\n1,2,\n"_ba, 2,
     u"Line 2: the record has more fields than the header's 2."_s},
    {"no recognisable header", "Title,,Password\nx,y,z\n"_ba, 1,
     u"Line 1: the first line is not a header of column names (its field 2 is empty, too long or "
     "spans lines)."_s},
    {"header name spans lines", "\"Title\nx\",b\n1,2\n"_ba, 1,
     u"Line 1: the first line is not a header of column names (its field 1 is empty, too long or "
     "spans lines)."_s},
    {"duplicate header names", "URL,Title, url \n1,2,3\n"_ba, 1,
     u"Line 1: the header names the column \"url\" twice (fields 1 and 3)."_s},
    {"too many columns", QByteArray("c,").repeated(100) + "c\n", 1,
     u"Line 1: the header has more than 100 columns."_s},
    {"semicolons", "Title;Password\nx;y\n"_ba, 1,
     u"Line 1: the fields are separated by semicolons or tabs, not commas; save the file as "
     "comma-separated CSV."_s},
    {"field over 1 MiB", "a,b\n1,2\n\"x\n"_ba + QByteArray(1024 * 1024, 'y') + "\",2\n", 3,
     u"Line 3: field 1, which starts here, is longer than 1 MiB."_s},
    {"more than 100,000 records", "n\n"_ba + QByteArray("1\n").repeated(100'001), 100'002,
     u"Line 100002: the file holds more than 100,000 records."_s},
};

}  // namespace

class CsvReaderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsWhatRfc4180Allows_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QStringList>>("rows");  // the header first
        QTest::addColumn<QList<int>>("lines");         // where each record starts
        using Rows = QList<QStringList>;
        QTest::newRow("quoted commas, quotes, line breaks")
            << "Title,Notes\n\"a,b\",\"say \"\"hi\"\"\nnext\"\nc,\n"_ba
            << Rows{{u"Title"_s, u"Notes"_s}, {u"a,b"_s, u"say \"hi\"\nnext"_s}, {u"c"_s, {}}}
            << QList<int>{2, 4};
        QTest::newRow("CRLF ends, CRLF inside quotes becomes LF, lone CR kept, no last break")
            << "a,b\r\n\"x\r\ny\",\"p\rq\"\r\n\"\",\"\""_ba
            << Rows{{u"a"_s, u"b"_s}, {u"x\ny"_s, u"p\rq"_s}, {{}, {}}} << QList<int>{2, 4};
        QTest::newRow("byte-order mark, names trimmed, spaces in fields kept, non-Latin text")
            << "\xEF\xBB\xBF Name , Ort\n  Ünïcødé ,日本語\n"_ba
            << Rows{{u"Name"_s, u"Ort"_s}, {u"  Ünïcødé "_s, u"日本語"_s}} << QList<int>{2};
        QTest::newRow("empty lines are no records, a quoted empty field is")
            << "\n\nx\n\nv\n\n\"\"\n\n"_ba << Rows{{u"x"_s}, {u"v"_s}, {QString()}}
            << QList<int>{5, 7};
        QTest::newRow("a mark inside a field is text")
            << "a\n\"\xEF\xBB\xBFz\"\n"_ba << Rows{{u"a"_s}, {u"\uFEFFz"_s}} << QList<int>{2};
    }
    void readsWhatRfc4180Allows() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QList<int>, lines);
        const CsvRead read = readBytes(bytes);
        QVERIFY2(read.ok(), qPrintable(read.error ? read.error->message : QString()));
        QCOMPARE(fieldsOf(read), rows);
        QList<int> starts;
        for (const CsvRow& row : read.table.rows) {
            starts.append(row.line);
        }
        QCOMPARE(starts, lines);
    }

    void refusesMalformedInput_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("message");
        for (const Refusal& refusal : kRefusals) {
            QTest::newRow(refusal.kind) << refusal.bytes << refusal.line << refusal.message;
        }
    }
    void refusesMalformedInput() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        QFETCH(QString, message);
        const CsvRead read = readBytes(bytes);
        QVERIFY(!read.ok());
        QCOMPARE(read.error->message, message);
        QCOMPARE(read.error->line, line);
        QVERIFY(read.table.header.isEmpty() && read.table.rows.isEmpty());
    }

    void refusesWhatIsTooBigWithoutReadingIt() {
        // A 100 MB field is refused once its first MiB is read, at the line where it starts.
        GeneratedInput endless("Title,Notes\nx,y\nz,\"", 'n', 100'000'000);
        CsvRead read = readCsv(endless);
        QCOMPARE(read.error->line, 3);
        QCOMPARE(read.error->message,
                 u"Line 3: field 2, which starts here, is longer than 1 MiB."_s);
        QVERIFY2(endless.handed < 2 * 1024 * 1024, qPrintable(QString::number(endless.handed)));

        // The whole input, read from a pipe, and a file, whose size says it at once.
        CsvLimits small;
        small.totalBytes = 2 * 1024 * 1024;
        small.fieldBytes = 4 * 1024 * 1024;
        GeneratedInput many("a\n", 'b', 10'000'000);
        read = readCsv(many, small);
        QCOMPARE(read.error->message,
                 u"Line 2: the file is larger than 2 MiB, more than any "
                 "password list needs."_s);
        QVERIFY(many.handed < 3 * 1024 * 1024);
        QTemporaryDir dir;
        QFile huge(dir.filePath(u"huge.csv"_s));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(65LL * 1024 * 1024));  // sparse
        huge.close();
        read = readCsvFile(huge.fileName());
        QCOMPARE(read.error->message,
                 u"Line 1: the file is larger than 64 MiB, more than any "
                 "password list needs."_s);

        read = readCsvFile(dir.filePath(u"missing.csv"_s));
        QCOMPARE(read.error->line, 1);
        QVERIFY(read.error->message.startsWith(u"Line 1: the file could not be read ("_s));
    }

    void readsAFileAsItComesInPieces() {
        // The same file handed out a few kilobytes at a time: pieces may cut a CRLF or a
        // multi-byte character in two.
        QByteArray file = "\xEF\xBB\xBFTitle,Notes\r\n"_ba;
        for (int i = 0; i < 3000; ++i) {
            file += "\"Ü " + QByteArray::number(i) + "\",\"a\r\nb, \"\"c\"\"\"\r\n";
        }
        GeneratedInput pieces(file, ' ', file.size());
        const CsvRead read = readCsv(pieces);
        QVERIFY(read.ok());
        QCOMPARE(read.table.header, QStringList({u"Title"_s, u"Notes"_s}));
        QCOMPARE(read.table.rows.size(), 3000);
        QCOMPARE(read.table.rows[2999].fields, QStringList({u"Ü 2999"_s, u"a\nb, \"c\""_s}));
        QCOMPARE(read.table.rows[2999].line, 2 + 2 * 2999);
    }
};

QTEST_GUILESS_MAIN(CsvReaderTest)
#include "tst_csv_reader.moc"
