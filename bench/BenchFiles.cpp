#include "BenchFiles.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

namespace ks::bench {

QString makeFile(const QString& path, int megabytes, bool randomOnly) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    const QByteArray text =
        QByteArray("The quick brown fox jumps over the lazy dog; ").repeated(1457);
    QByteArray noise(65536, '\0');
    for (int block = 0; block < megabytes * 16; ++block) {
        if (randomOnly || block % 2 == 0) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.data()),
                                                  noise.size() / 4);
            file.write(noise);
        } else {
            file.write(text.left(65536));
        }
    }
    return path;
}

}  // namespace ks::bench
