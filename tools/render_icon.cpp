// Renders the program's SVG icon into the fixed-size PNGs an icon theme holds
// beside the scalable picture: OUTDIR/<n>x<n>/apps/NAME.png for each size given.
// Usage: render_icon PICTURE.svg OUTDIR NAME SIZE...
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    // A build machine has no display: the picture is drawn off screen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: render_icon PICTURE.svg OUTDIR NAME SIZE...\n");
        return 2;
    }
    QSvgRenderer picture(args[1]);
    if (!picture.isValid()) {
        std::fprintf(stderr, "render_icon: %s is not a picture\n", qPrintable(args[1]));
        return 1;
    }
    for (const QString& sizeText : args.mid(4)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "render_icon: %s is no icon size\n", qPrintable(sizeText));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        picture.render(&painter);
        painter.end();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[2]).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(folder, args[3]);
        if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "render_icon: %s cannot be written\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
