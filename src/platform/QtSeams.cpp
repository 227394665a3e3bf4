#include "QtSeams.h"

#include "MessageText.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

namespace {

// No message is taller than a screen, whatever text reaches it.
constexpr int MaxMessageCharacters = 2000;
constexpr int MaxMessageLines = 30;

// What a window manager's title bar needs to show the title in full: the title
// in a bold font a little larger than the program's, the window icon, three
// buttons and the margins between them.
int titleBarWidth(const QString& title) {
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(std::max(font.pointSizeF(), 8.25) * 1.2);
    const int height = QFontMetrics(font).height();
    return QFontMetrics(font).horizontalAdvance(title) + 4 * (height + 12) + 40;
}

// The box's text is shortened to what a screen holds, and the box is as wide as its title needs.
void fitBox(QMessageBox& box, const QString& text, const QString& title) {
    box.setWindowTitle(title);
    box.setText(shortenedInTheMiddle(text, MaxMessageCharacters, MaxMessageLines));
    // The box sizes itself to its text; a spacer across its layout makes it as wide as its title needs.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const QMargins margins = grid->contentsMargins();
        const int width = titleBarWidth(title) - margins.left() - margins.right();
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
}

int runBox(QMessageBox::Icon icon, const QString& text, const QString& title, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, QString(), buttons, QApplication::activeWindow());
    fitBox(box, text, title);
    return box.exec();
}

// The dialog starts in a folder that exists: the nearest one up from the folder asked for.
QString existingFolder(const QString& folder) {
    QString path = QDir::cleanPath(QDir(folder.isEmpty() ? QDir::homePath() : folder).absolutePath());
    while (!QFileInfo(path).isDir() && !QDir(path).isRoot())
        path = QFileInfo(path).absolutePath();
    return QFileInfo(path).isDir() ? path : QDir::homePath();
}

// A path to a folder that does not exist would put the folder's name in the
// dialog's name box; only a proposed name goes there.
QString startingPath(const FileDialogRequest& request) {
    const QString folder = existingFolder(request.folder);
    return request.proposedName.isEmpty() ? folder + QLatin1Char('/') : QDir(folder).filePath(request.proposedName);
}

} // namespace

void QtPrompter::warn(const QString& text, const QString& title) {
    runBox(QMessageBox::Warning, text, title, QMessageBox::Ok);
}

void QtPrompter::info(const QString& text, const QString& title) {
    runBox(QMessageBox::Information, text, title, QMessageBox::Ok);
}

void QtPrompter::critical(const QString& text, const QString& title) {
    runBox(QMessageBox::Critical, text, title, QMessageBox::Ok);
}

bool QtPrompter::ask(const QString& text, const QString& title) {
    return runBox(QMessageBox::Question, text, title, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

int QtPrompter::choose(const QString& text, const QStringList& buttons, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, QString(), QMessageBox::NoButton, QApplication::activeWindow());
    QList<QPushButton*> pushed;
    for (qsizetype i = 0; i < buttons.size(); ++i)
        pushed << box.addButton(buttons[i], i + 1 < buttons.size() ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    box.setEscapeButton(pushed.isEmpty() ? nullptr : pushed.last());
    fitBox(box, text, title);
    box.exec();
    const qsizetype chosen = pushed.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return chosen < 0 ? int(buttons.size()) - 1 : int(chosen);
}

std::optional<QString> QtPrompter::password(const QString& text, const QString& title) {
    bool ok = false;
    const QString typed =
        QInputDialog::getText(QApplication::activeWindow(), title, text, QLineEdit::Password, QString(), &ok);
    return ok ? std::optional<QString>(typed) : std::nullopt;
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
    const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), request.title,
                                                      startingPath(request), request.filter);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QString> QtFileDialogs::openFile(const FileDialogRequest& request) {
    const QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), request.title,
                                                      startingPath(request), request.filter);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}
