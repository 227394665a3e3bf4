// Any byte string as a report layout: reading it and running it over the
// sample database must end in a report or in a clear error.
#include "reports/ReportEngine.h"
#include "reports/ReportLayout.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv); // fonts for the report's text
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static const bool copied = QFile::copy(QStringLiteral(DELIVERED_DIR "/password.mdb"), dir.filePath("password.mdb"));
    (void)copied;
    const QString path = dir.filePath(QStringLiteral("layout.rpt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        ReportEngine::build(ReportLayout::load(path));
    } catch (const ReportError&) {
    }
    return 0;
}
