// Writes the application icon at each size of the icon theme:
//   make-icon <source.png> <theme folder> <icon name> <size>...
// gives <theme folder>/<size>x<size>/apps/<icon name>.png.
#include <QDir>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fputs("usage: make-icon <source.png> <theme folder> <icon name> <size>...\n", stderr);
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull()) {
        std::fprintf(stderr, "make-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 4; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "make-icon: bad size %s\n", argv[i]);
            return 2;
        }
        // Theme icons are square; a source of another shape is centred.
        const QImage scaled = source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage icon(size, size, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        QPainter(&icon).drawImage((size - scaled.width()) / 2, (size - scaled.height()) / 2, scaled);

        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        const QString path = folder + QLatin1Char('/') + QString::fromLocal8Bit(argv[3]) + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !icon.save(path, "PNG")) {
            std::fprintf(stderr, "make-icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
