#include "interchange/CsvReader.h"

#include <QFile>
#include <QSet>
#include <QStringDecoder>

#include "interchange/CsvMessages.h"
#include "interchange/CsvSniffing.h"

namespace ks {

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;
constexpr qint64 kSniffBytes = 8 * 1024;  // looked at before anything is parsed

// A state machine over the bytes of the file. The characters that structure CSV (quote, comma,
// CR, LF) are ASCII, which never occurs inside a multi-byte UTF-8 sequence, so fields are cut
// as bytes and each is decoded (and checked) once it is complete.
class CsvParser {
public:
    explicit CsvParser(const CsvLimits& limits) : limits_(limits) {}

    bool feed(const char* data, qint64 size);
    bool finish();
    CsvRead take();
    bool fail(CsvError error);
    int line() const { return line_; }

private:
    enum class State { FieldStart, Unquoted, Quoted, QuotedCr, QuoteInQuoted, AfterCr };

    bool step(char c);
    bool stepFieldStart(char c);
    bool stepUnquoted(char c);
    bool stepQuoted(char c);
    bool stepAfterQuote(char c);
    bool append(char c);
    bool endField();
    bool endRecord();
    bool acceptHeader();
    int fieldNumber() const { return static_cast<int>(row_.size()) + 1; }

    const CsvLimits& limits_;
    State state_ = State::FieldStart;
    int line_ = 1;       // the physical line being read
    int rowLine_ = 1;    // where the current record started
    int fieldLine_ = 1;  // where the current field started
    bool rowStarted_ = false;
    bool quoted_ = false;
    QByteArray field_;
    QStringList row_;
    CsvTable table_;
    bool haveHeader_ = false;
    int headerLine_ = 1;  // a header never spans lines
    std::optional<CsvError> error_;
};

bool CsvParser::fail(CsvError error) {
    if (!error_) {
        error_ = std::move(error);
    }
    return false;
}

bool CsvParser::feed(const char* data, qint64 size) {
    for (qint64 i = 0; i < size; ++i) {
        if (!step(data[i])) {
            return false;
        }
    }
    return true;
}

bool CsvParser::step(char c) {
    if (c == '\0') {
        return fail(csvmsg::nulCharacter(line_));
    }
    if (!rowStarted_) {
        rowStarted_ = true;
        rowLine_ = line_;
        fieldLine_ = line_;
    }
    switch (state_) {
        case State::FieldStart:
            return stepFieldStart(c);
        case State::Unquoted:
            return stepUnquoted(c);
        case State::Quoted:
        case State::QuotedCr:
            return stepQuoted(c);
        case State::QuoteInQuoted:
            return stepAfterQuote(c);
        case State::AfterCr:
            if (c != '\n') {
                return fail(csvmsg::strayCarriageReturn(line_));
            }
            ++line_;
            state_ = State::FieldStart;
            return endRecord();
    }
    return false;
}

bool CsvParser::stepFieldStart(char c) {
    fieldLine_ = line_;
    if (c == '"') {
        quoted_ = true;
        state_ = State::Quoted;
        return true;
    }
    quoted_ = false;
    state_ = State::Unquoted;
    return stepUnquoted(c);
}

bool CsvParser::stepUnquoted(char c) {
    switch (c) {
        case ',':
            state_ = State::FieldStart;
            return endField();
        case '\r':
            state_ = State::AfterCr;
            return endField();
        case '\n':
            ++line_;
            state_ = State::FieldStart;
            return endField() && endRecord();
        case '"':
            return fail(csvmsg::quoteInUnquoted(line_, fieldNumber()));
        default:
            return append(c);
    }
}

bool CsvParser::stepQuoted(char c) {
    if (state_ == State::QuotedCr) {
        state_ = State::Quoted;
        if (c == '\n') {  // CRLF inside a field: an LF alone
            ++line_;
            return append('\n');
        }
        if (!append('\r')) {
            return false;
        }
    }
    switch (c) {
        case '"':
            state_ = State::QuoteInQuoted;
            return true;
        case '\r':
            state_ = State::QuotedCr;
            return true;
        case '\n':
            ++line_;
            return append(c);
        default:
            return append(c);
    }
}

bool CsvParser::stepAfterQuote(char c) {
    switch (c) {
        case '"':  // a doubled quote stands for one
            state_ = State::Quoted;
            return append(c);
        case ',':
        case '\r':
        case '\n':
            return stepUnquoted(c);
        default:
            return fail(csvmsg::textAfterQuote(line_, fieldNumber()));
    }
}

bool CsvParser::append(char c) {
    if (field_.size() >= limits_.fieldBytes) {
        return fail(csvmsg::fieldTooLong(fieldLine_, fieldNumber(), limits_.fieldBytes));
    }
    field_.append(c);
    return true;
}

// The first line of `bytes` (pieces cut at LF) that is not valid UTF-8, or -1.
int firstInvalidLine(const QByteArray& bytes) {
    const QList<QByteArray> pieces = bytes.split('\n');
    for (int i = 0; i < pieces.size(); ++i) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder.decode(pieces[i]);  // decodes only when converted
        if (decoder.hasError()) {
            return i;
        }
    }
    return -1;
}

bool CsvParser::endField() {
    const int columns = haveHeader_ ? static_cast<int>(table_.header.size()) : limits_.columns;
    if (row_.size() >= columns) {
        return fail(haveHeader_ ? csvmsg::tooManyFields(rowLine_, columns)
                                : csvmsg::tooManyColumns(columns));
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(field_);
    if (decoder.hasError()) {
        return fail(csvmsg::invalidUtf8(fieldLine_ + qMax(0, firstInvalidLine(field_))));
    }
    row_.append(std::move(text));
    field_.clear();
    return true;
}

bool CsvParser::endRecord() {
    rowStarted_ = false;
    const bool emptyLine = row_.size() == 1 && row_.first().isEmpty() && !quoted_;
    QStringList fields = std::exchange(row_, {});
    if (emptyLine) {
        return true;
    }
    if (!haveHeader_) {
        table_.header = std::move(fields);
        headerLine_ = rowLine_;
        return acceptHeader();
    }
    if (fields.size() != table_.header.size()) {
        return fail(csvmsg::tooFewFields(rowLine_, static_cast<int>(fields.size()),
                                         static_cast<int>(table_.header.size())));
    }
    if (table_.rows.size() >= limits_.rows) {
        return fail(csvmsg::tooManyRecords(rowLine_, limits_.rows));
    }
    table_.rows.append({rowLine_, std::move(fields)});
    return true;
}

bool CsvParser::acceptHeader() {
    haveHeader_ = true;
    const QStringList& names = table_.header;
    if (names.size() == 1 && (names.first().contains(u';') || names.first().contains(u'\t'))) {
        return fail(csvmsg::otherSeparator());
    }
    QHash<QString, int> seen;
    for (int i = 0; i < table_.header.size(); ++i) {
        QString& name = table_.header[i];
        name = name.trimmed();
        if (name.isEmpty() || name.size() > limits_.headerNameChars || name.contains(u'\n') ||
            name.contains(u'\r')) {
            return fail(csvmsg::notAHeader(i + 1));
        }
        const auto known = seen.constFind(name.toCaseFolded());
        if (known != seen.constEnd()) {
            return fail(csvmsg::duplicateColumn(name, known.value() + 1, i + 1));
        }
        seen.insert(name.toCaseFolded(), i);
    }
    return true;
}

bool CsvParser::finish() {
    switch (state_) {
        case State::Quoted:
        case State::QuotedCr:
            return fail(csvmsg::unterminatedQuote(fieldLine_, fieldNumber()));
        case State::AfterCr:  // a CR ends the last line as well as a CRLF would
            return endRecord();
        default:
            break;
    }
    if (rowStarted_ && !(endField() && endRecord())) {
        return false;
    }
    if (!haveHeader_) {
        return fail(csvmsg::empty());
    }
    if (table_.rows.isEmpty()) {
        return fail(csvmsg::onlyHeader(headerLine_ + 1));
    }
    return true;
}

CsvRead CsvParser::take() {
    CsvRead read;
    if (error_) {
        read.error = error_;
    } else {
        read.table = std::move(table_);
    }
    return read;
}

// The device, read in pieces, with a count of the bytes read against the limit.
class Input {
public:
    Input(QIODevice& device, CsvParser& parser, const CsvLimits& limits)
        : device_(device), parser_(parser), limits_(limits) {}

    bool atEnd() const { return atEnd_; }

    // Adds up to `bytes` more to `into`; false when the device failed or the file is too large.
    bool readMore(QByteArray& into, qint64 bytes) {
        const qint64 had = into.size();
        into.resize(had + bytes);
        qint64 got = device_.read(into.data() + had, bytes);
        if (got == 0 && !device_.atEnd() && device_.waitForReadyRead(-1)) {
            got = device_.read(into.data() + had, bytes);
        }
        if (got < 0) {
            return parser_.fail(csvmsg::unreadable(device_.errorString()));
        }
        into.resize(had + got);
        atEnd_ = got == 0;
        total_ += got;
        if (total_ > limits_.totalBytes) {
            return parser_.fail(csvmsg::tooLarge(parser_.line(), limits_.totalBytes));
        }
        return true;
    }

private:
    QIODevice& device_;
    CsvParser& parser_;
    const CsvLimits& limits_;
    qint64 total_ = 0;
    bool atEnd_ = false;
};

// Reads the device in pieces; the first few kilobytes are looked at before any is parsed.
// False once the parser or the device has failed.
bool pump(QIODevice& device, CsvParser& parser, const CsvLimits& limits) {
    Input input(device, parser, limits);
    QByteArray head;
    while (!input.atEnd() && head.size() < kSniffBytes) {
        if (!input.readMore(head, kSniffBytes - head.size())) {
            return false;
        }
    }
    if (std::optional<CsvError> refused = sniffText(head)) {
        return parser.fail(*refused);
    }
    const qint64 bom = utf8BomLength(head);
    if (!parser.feed(head.constData() + bom, head.size() - bom)) {
        return false;
    }
    QByteArray chunk;
    while (!input.atEnd()) {
        chunk.clear();
        if (!input.readMore(chunk, kChunkBytes) || !parser.feed(chunk.constData(), chunk.size())) {
            return false;
        }
    }
    return true;
}

}  // namespace

CsvRead readCsv(QIODevice& device, const CsvLimits& limits) {
    CsvParser parser(limits);
    if (pump(device, parser, limits)) {
        parser.finish();
    }
    return parser.take();
}

CsvRead readCsvFile(const QString& path, const CsvLimits& limits) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CsvRead read;
        read.error = csvmsg::unreadable(file.errorString());
        return read;
    }
    if (file.size() > limits.totalBytes) {
        CsvRead read;
        read.error = csvmsg::tooLarge(1, limits.totalBytes);
        return read;
    }
    return readCsv(file, limits);
}

}  // namespace ks
