#include "QtSeams.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QUrl>

namespace {

void showBox(QMessageBox::Icon icon, const QString& text, const QString& title) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

QString fullPath(const FileDialogRequest& request) {
    return request.proposedName.isEmpty() ? request.folder : QDir(request.folder).filePath(request.proposedName);
}

} // namespace

void QtPrompter::warn(const QString& text, const QString& title) {
    showBox(QMessageBox::Warning, text, title);
}

void QtPrompter::info(const QString& text, const QString& title) {
    showBox(QMessageBox::Information, text, title);
}

void QtPrompter::critical(const QString& text, const QString& title) {
    showBox(QMessageBox::Critical, text, title);
}

bool QtPrompter::ask(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Yes;
}

void QtClipboard::setText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    auto* data = new QMimeData;
    data->setText(text);
    // Clipboard managers leave entries marked this way out of their history.
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    clipboard->setMimeData(data);
}

void QtBrowser::open(const QString& address) {
    // A bare host name such as "www.example.com" becomes an http address here.
    QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

std::optional<QString> QtFileDialogs::saveFile(const FileDialogRequest& request) {
    const QString path =
        QFileDialog::getSaveFileName(QApplication::activeWindow(), request.title, fullPath(request), request.filter);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QString> QtFileDialogs::openFile(const FileDialogRequest& request) {
    const QString path =
        QFileDialog::getOpenFileName(QApplication::activeWindow(), request.title, fullPath(request), request.filter);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

void QtReportViewer::show(std::unique_ptr<QTextDocument> report, const QString& title) {
    auto* preview = new QPrintPreviewDialog;
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setWindowTitle(title);
    QTextDocument* document = report.release();
    document->setParent(preview);
    QObject::connect(preview, &QPrintPreviewDialog::paintRequested, preview,
                     [document](QPrinter* printer) { document->print(printer); });
    const bool landscape = document->property("landscape").toBool();
    preview->printer()->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    preview->resize(900, 700);
    preview->show();
}
