#pragma once

// Helpers shared by the report tests: every page of a report, the text a page
// draws, and the pages of a PDF file.
#include "reports/PagePainter.h"
#include "reports/Report.h"

#include <QFile>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QRegularExpression>
#include <QTest>

// A paint device that keeps the text drawn on it, with where it was drawn.
class TextRecorder : public QPaintDevice {
public:
    struct Text {
        QString text;
        QPointF at;
    };
    TextRecorder(QSize size) : m_size(size) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    QList<Text> texts() const { return m_engine.texts; }
    QStringList strings() const {
        QStringList all;
        for (const Text& t : m_engine.texts)
            all << t.text;
        return all;
    }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 1200;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 1;
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath&) override {}
        void drawRects(const QRectF*, int) override {}
        void drawLines(const QLineF*, int) override {}
        void drawTextItem(const QPointF& p, const QTextItem& item) override {
            texts.append({item.text(), painter()->transform().map(p)});
        }
        Type type() const override { return User; }
        QList<Text> texts;
    };
    QSize m_size;
    mutable Engine m_engine;
};

// The texts one page of a report draws, top to bottom.
inline QList<TextRecorder::Text> drawnTexts(Report& report, const PageContent& page) {
    TextRecorder device(report.format().pageSize);
    QPainter painter(&device);
    paintPage(painter, report.format(), report.layout(), page);
    painter.end();
    return device.texts();
}

// Every page of a counted report.
inline std::vector<PageContent> allPages(Report& report) {
    std::vector<PageContent> pages;
    for (int i = 0; i < report.knownPages(); ++i)
        pages.push_back(report.page(i));
    return pages;
}

// The lines of each record over all pages, joined in page order, by key.
inline std::vector<std::pair<qint64, std::vector<QStringList>>> recordsOf(const std::vector<PageContent>& pages) {
    std::vector<std::pair<qint64, std::vector<QStringList>>> records;
    for (const PageContent& page : pages) {
        for (const PageRow& row : page.rows) {
            if (!row.continued || records.empty() || records.back().first != row.key)
                records.push_back({row.key, row.cells});
            else
                for (std::size_t c = 0; c < row.cells.size(); ++c)
                    records.back().second[c] += row.cells[c];
        }
    }
    return records;
}

// The number of pages in a PDF file.
inline int pdfPages(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return int(QString::fromLatin1(f.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}
