#include "storage/SchemaCheck.h"

#include <QHash>
#include <algorithm>

#include "storage/Schema.h"
#include "storage/ShownName.h"

namespace ks {

namespace {

constexpr int kMostReasons = 1;  // the first is the one to mend first

struct MasterRow {
    QString type;
    QString name;
    QString table;
    QString sql;
};

struct ColumnFacts {
    QString name;
    QString type;
    bool notNull = false;
    bool hasDefault = false;
    QString defaultValue;
    bool key = false;
};

// A schema as the checks need it: its entries and, for each table of ours, its columns.
struct SchemaFacts {
    DbStatus status;
    QList<MasterRow> rows;
    QHash<QString, QList<ColumnFacts>> columns;  // by lower-case table name
};

QString lower(const QString& text) {
    return text.toLower();
}

bool isPunctuation(QChar c) {
    return c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char(',');
}

// The statement in lower case with one space between words and none around punctuation, so
// that texts written differently but meaning the same compare equal.
QString normalized(const QString& sql) {
    QString out;
    bool space = false;
    for (const QChar c : sql) {
        if (c.isSpace()) {
            space = true;
            continue;
        }
        if (space && !out.isEmpty() && !isPunctuation(out.back()) && !isPunctuation(c)) {
            out += QLatin1Char(' ');
        }
        space = false;
        out += c.toLower();
    }
    return out;
}

// A CREATE TABLE statement cut into what comes before its parentheses, the definitions inside
// (split at every comma) and what follows them.
struct TableText {
    QString head;
    QStringList pieces;
    QString tail;
};

TableText splitTable(const QString& sql) {
    const QString text = normalized(sql);
    const qsizetype open = text.indexOf(QLatin1Char('('));
    const qsizetype close = text.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open) {
        return {text, {}, {}};
    }
    return {text.left(open), text.mid(open + 1, close - open - 1).split(QLatin1Char(',')),
            text.mid(close + 1)};
}

QString firstWord(const QString& piece) {
    return piece.section(QLatin1Char(' '), 0, 0);
}

Result<QList<MasterRow>> readMaster(Connection& connection) {
    Statement query =
        connection.prepare(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master"));
    QList<MasterRow> rows;
    while (query.next()) {
        rows.append({query.text(0), query.text(1), query.text(2),
                     query.isNull(3) ? QString() : query.text(3)});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return rows;
}

// `table` is always one of the schema's own names, never a name read from the file.
Result<QList<ColumnFacts>> columnsOf(Connection& connection, const QString& table) {
    Statement info = connection.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    QList<ColumnFacts> columns;
    while (info.next()) {
        columns.append({info.text(1), info.text(2), info.integer(3) != 0, !info.isNull(4),
                        info.isNull(4) ? QString() : info.text(4), info.integer(5) != 0});
    }
    if (!info.status().ok()) {
        return info.status();
    }
    return columns;
}

SchemaFacts factsOf(Connection& connection, const QStringList& tables) {
    SchemaFacts facts;
    Result<QList<MasterRow>> rows = readMaster(connection);
    if (!rows.ok()) {
        facts.status = rows.status();
        return facts;
    }
    facts.rows = rows.value();
    for (const QString& table : tables) {
        const bool present =
            std::any_of(facts.rows.cbegin(), facts.rows.cend(), [&](const auto& r) {
                return r.type == QLatin1String("table") && lower(r.name) == lower(table);
            });
        if (present) {
            // A table whose columns the engine cannot tell now (another connection writing, say)
            // is the engine's failure, not a sign of a foreign file.
            Result<QList<ColumnFacts>> columns = columnsOf(connection, table);
            if (!columns.ok()) {
                facts.status = columns.status();
                return facts;
            }
            facts.columns.insert(lower(table), columns.value());
        }
    }
    return facts;
}

const SchemaFacts& reference() {
    static const SchemaFacts facts = [] {
        Result<Connection> schema = referenceSchema();
        if (!schema.ok()) {
            return SchemaFacts{schema.status(), {}, {}};
        }
        return factsOf(schema.value(), allTableNames());
    }();
    return facts;
}

const MasterRow* find(const QList<MasterRow>& rows, const QString& type, const QString& name) {
    for (const MasterRow& row : rows) {
        if (row.type == type && lower(row.name) == lower(name)) {
            return &row;
        }
    }
    return nullptr;
}

const ColumnFacts* find(const QList<ColumnFacts>& columns, const QString& name) {
    for (const ColumnFacts& column : columns) {
        if (lower(column.name) == lower(name)) {
            return &column;
        }
    }
    return nullptr;
}

// What a check found: reasons to refuse the file, and what an upgrade would change.
struct Findings {
    QStringList foreign;
    QStringList older;

    void refuse(const QString& reason) { foreign.append(reason); }
};

// The columns of one of our tables: names, types, keys, defaults.
void compareColumns(const QString& table, const QList<ColumnFacts>& have,
                    const QList<ColumnFacts>& want, Findings& found) {
    for (const ColumnFacts& column : want) {
        const ColumnFacts* present = find(have, column.name);
        if (present == nullptr) {
            if (column.key || (column.notNull && !column.hasDefault)) {
                found.refuse(
                    QStringLiteral("the table %1 has no column %2").arg(table, column.name));
            } else {
                found.older.append(
                    QStringLiteral("the table %1 lacks the column %2").arg(table, column.name));
            }
        } else if (column.key != present->key) {
            found.refuse((column.key
                              ? QStringLiteral("the table %1 has a column %2 that is not its "
                                               "row key")
                              : QStringLiteral("the table %1 has a key %2 that is not ours"))
                             .arg(table, column.name));
        } else if (lower(column.type) != lower(present->type)) {
            found.refuse(
                QStringLiteral("the column %1 of the table %2 has the type %3 instead of %4")
                    .arg(column.name, table, shownName(present->type), column.type));
        } else if (column.notNull != present->notNull || column.hasDefault != present->hasDefault ||
                   lower(column.defaultValue) != lower(present->defaultValue)) {
            found.refuse(QStringLiteral("the column %1 of the table %2 is not defined as ours")
                             .arg(column.name, table));
        }
    }
    for (const ColumnFacts& column : have) {
        if (find(want, column.name) == nullptr) {
            found.refuse(QStringLiteral("the table %1 has a column %2 that is not ours")
                             .arg(table, shownName(column.name)));
        }
    }
}

// The statement itself, part by part: what the columns do not show (a rule, a collation, a
// key in descending order, a table without row keys) differs here.
void compareTableText(const QString& table, const QString& have, const QString& want,
                      Findings& found) {
    const TableText file = splitTable(have);
    const TableText ours = splitTable(want);
    QHash<QString, QString> wanted;
    for (const QString& piece : ours.pieces) {
        wanted.insert(firstWord(piece), piece);
    }
    QStringList extra;
    if (file.head != ours.head) {
        extra << file.head;
    }
    for (const QString& piece : file.pieces) {
        if (wanted.value(firstWord(piece)) != piece) {
            extra << piece;
        }
    }
    if (file.tail != ours.tail) {
        extra << file.tail;
    }
    if (!extra.isEmpty()) {
        found.refuse(QStringLiteral("the table %1 is defined differently from ours: %2")
                         .arg(table, shownName(extra.first())));
    }
}

void compareTables(const SchemaFacts& file, Findings& found) {
    const SchemaFacts& ours = reference();
    for (const MasterRow& row : file.rows) {
        if (row.type == QLatin1String("table") && find(ours.rows, row.type, row.name) == nullptr) {
            found.refuse(QStringLiteral("the file holds a table %1 that is not ours")
                             .arg(shownName(row.name)));
        }
    }
    for (const MasterRow& want : ours.rows) {
        if (want.type != QLatin1String("table")) {
            continue;
        }
        const MasterRow* have = find(file.rows, want.type, want.name);
        if (have == nullptr) {
            // Made by the engine at the first row of a counted table: a file may lack it.
            // The tables added later are made by the upgrade.
            if (!addedTableDefinition(want.name).isEmpty()) {
                found.older.append(QStringLiteral("the file has no table %1 yet").arg(want.name));
            } else if (lower(want.name) != QLatin1String("sqlite_sequence")) {
                found.refuse(QStringLiteral("the file has no table %1").arg(want.name));
            }
            continue;
        }
        if (ours.columns.contains(lower(want.name))) {
            if (!file.columns.contains(lower(want.name))) {
                found.refuse(QStringLiteral("the table %1 cannot be read").arg(want.name));
                continue;
            }
            compareColumns(want.name, file.columns.value(lower(want.name)),
                           ours.columns.value(lower(want.name)), found);
        }
        compareTableText(want.name, have->sql, want.sql, found);
    }
}

// Whether an index is one of ours as an earlier build made it.
bool isFormerDefinition(const QString& normalizedSql) {
    static const QStringList former = [] {
        QStringList texts;
        for (const QString& sql : formerIndexDefinitions()) {
            texts << normalized(sql);
        }
        return texts;
    }();
    return former.contains(normalizedSql);
}

void compareIndexes(const SchemaFacts& file, Findings& found) {
    const SchemaFacts& ours = reference();
    const QString unique = QStringLiteral("create unique index ");
    for (const MasterRow& have : file.rows) {
        if (have.type != QLatin1String("index")) {
            continue;
        }
        const MasterRow* want = find(ours.rows, have.type, have.name);
        if (want == nullptr) {
            found.refuse(
                have.name.startsWith(QLatin1String("sqlite_autoindex_"))
                    ? QStringLiteral("the table %1 has a unique rule or key that is not ours")
                          .arg(shownName(have.table))
                    : QStringLiteral("the file holds an index %1 that is not ours")
                          .arg(shownName(have.name)));
            continue;
        }
        const QString text = normalized(have.sql);
        const QString wanted = normalized(want->sql);
        if (text == wanted && lower(have.table) == lower(want->table)) {
            continue;
        }
        if (wanted.startsWith(unique) &&
            text == QStringLiteral("create index ") + wanted.mid(unique.size())) {
            found.older.append(QStringLiteral("the index %1 is not unique yet").arg(want->name));
        } else if (isFormerDefinition(text) && lower(have.table) == lower(want->table)) {
            found.older.append(QStringLiteral("the index %1 is out of date").arg(want->name));
        } else {
            found.refuse(
                QStringLiteral("the index %1 is defined differently from ours").arg(want->name));
        }
    }
    for (const MasterRow& want : ours.rows) {
        if (want.type == QLatin1String("index") &&
            find(file.rows, want.type, want.name) == nullptr) {
            found.older.append(QStringLiteral("the index %1 is missing").arg(want.name));
        }
    }
}

}  // namespace

DbStatus refusalOf(const SchemaVerdict& verdict) {
    if (!verdict.status.ok()) {
        return verdict.status;
    }
    if (verdict.fit == SchemaFit::Foreign) {
        return {DbCode::MissingTables, verdict.reasons.join(QStringLiteral("; "))};
    }
    return {};
}

Result<Connection> referenceSchema() {
    // Keyed like every connection (a raw key costs nothing to derive).
    const QByteArray key = QByteArray("x'") + QByteArray(64, '0') + QByteArray("'");
    Result<Connection> schema = Connection::openFile(QStringLiteral(":memory:"), key, true);
    if (!schema.ok()) {
        return schema;
    }
    if (DbStatus status = createSchema(schema.value()); !status.ok()) {
        return status;
    }
    return schema;
}

SchemaVerdict checkSchema(Connection& connection) {
    if (!reference().status.ok()) {
        return {reference().status, SchemaFit::Foreign, {}};
    }
    const SchemaFacts file = factsOf(connection, allTableNames());
    if (!file.status.ok()) {
        return {file.status, SchemaFit::Foreign, {}};
    }
    Findings found;
    // Triggers (rules that run by themselves when rows change) and views come first: the
    // program makes none.
    for (const MasterRow& row : file.rows) {
        if (row.type != QLatin1String("table") && row.type != QLatin1String("index")) {
            found.refuse(QStringLiteral("the file holds a %1 %2")
                             .arg(shownName(row.type), shownName(row.name)));
        }
    }
    compareTables(file, found);
    compareIndexes(file, found);
    if (!found.foreign.isEmpty()) {
        return {{}, SchemaFit::Foreign, found.foreign.mid(0, kMostReasons)};
    }
    return {{}, found.older.isEmpty() ? SchemaFit::Exact : SchemaFit::Older, found.older};
}

}  // namespace ks
