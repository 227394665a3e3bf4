#include "BoxBinding.h"

#include "store/DataBinder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <memory>

namespace {

// The box's text as typed: its lines joined by line feeds, every other character
// as it is (toPlainText() would turn no-break spaces into spaces and line
// separators into line feeds).
QString typedText(const QPlainTextEdit* box) {
    QString text;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
        if (block != box->document()->begin())
            text += QLatin1Char('\n');
        text += block.text();
    }
    return text;
}

} // namespace

void bindBox(DataBinder& binder, QLineEdit* box, const QString& field) {
    binder.bind(
        field, box, [box] { return box->text(); },
        [box](const QString& value) {
            box->setText(value);
            box->setCursorPosition(0);
        });
}

void bindBox(DataBinder& binder, QPlainTextEdit* box, const QString& field) {
    // A stored paragraph separator or carriage return shows as a line break and
    // cannot be told from one in the box: while the box shows what was stored,
    // the stored text itself is given back.
    struct Shown {
        QString stored;
        QString asTyped;
    };
    auto shown = std::make_shared<Shown>();
    binder.bind(
        field, box,
        [box, shown] {
            const QString text = typedText(box);
            return text == shown->asTyped ? shown->stored : text;
        },
        [box, shown](const QString& value) {
            box->setPlainText(value);
            shown->stored = value;
            shown->asTyped = typedText(box);
        });
}

void bindBox(DataBinder& binder, QComboBox* box, const QString& field) {
    binder.bind(
        field, box, [box] { return box->currentText(); },
        [box](const QString& value) {
            box->setCurrentIndex(-1);
            box->setEditText(value);
        });
}
