#pragma once

#include <QBuffer>
#include <QDebug>

#include "interchange/CsvReader.h"

namespace ks::test {

// The table of a CSV file held in memory; an empty one, with a warning, when it is refused.
inline CsvTable tableOf(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CsvRead read = readCsv(buffer);
    if (!read.ok()) {
        qWarning() << read.error->message;
    }
    return read.table;
}

}  // namespace ks::test
