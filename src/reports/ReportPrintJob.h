#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QTimer>
#include <memory>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;
class Report;

// Prints a report or writes it as a PDF file, a few pages at a time between
// the windows' events, with a progress bar and Cancel. A PDF file is written
// under a temporary name beside its place and takes its name only once
// complete, so a cancelled or failed export leaves no file behind.
class ReportPrintJob : public QObject {
    Q_OBJECT
public:
    // A PDF file at the given path.
    ReportPrintJob(Report& report, const QString& pdfPath, QWidget* window);
    // The printer the user chose.
    ReportPrintJob(Report& report, std::unique_ptr<QPrinter> printer, QWidget* window);
    ~ReportPrintJob() override;

    void cancel();
    QProgressDialog* progressDialog() const { return m_progress; }
    int pagesWritten() const { return m_next; }

signals:
    // Once, at the end: whether the whole report went out, and if it failed, why.
    void finished(bool complete, const QString& failure);

private:
    ReportPrintJob(Report& report, QWidget* window);
    void step();
    bool begin();
    void writePage();
    void finish(bool complete, const QString& failure = {});

    Report& m_report;
    QString m_pdfPath, m_partPath;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPagedPaintDevice> m_pdf;
    std::unique_ptr<QPainter> m_painter;
    QPointer<QProgressDialog> m_progress;
    QTimer m_timer;
    int m_next = 0, m_total = 0;
    bool m_done = false, m_stepping = false;
};
