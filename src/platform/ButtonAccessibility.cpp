#include "ButtonAccessibility.h"

#include <QAccessibleWidget>
#include <QPushButton>
#include <mutex>

namespace {

// Every push button, checkable or not: its checkable state may be set after a
// screen reader has already asked about it, and the answer is kept.
class PushButtonAccessible : public QAccessibleWidget {
public:
    explicit PushButtonAccessible(QPushButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::Role role() const override { return button()->menu() ? QAccessible::ButtonMenu : QAccessible::Button; }

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Name)
            return QAccessibleWidget::text(kind);
        const QString name = button()->accessibleName();
        return name.isEmpty() ? withoutAccessKeyMarks(button()->text()) : name;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        const QPushButton* b = button();
        state.checkable = b->isCheckable();
        state.checked = b->isCheckable() && b->isChecked();
        // A toggle button that is on shows itself pressed, and says so.
        state.pressed = b->isDown() || state.checked;
        state.defaultButton = b->isDefault();
        return state;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (button()->isEnabled())
            names << pressAction();
        if (button()->isEnabled() && button()->isCheckable())
            names << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (!button()->isEnabled())
            return;
        if (action == pressAction() || action == toggleAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QPushButton* button() const { return static_cast<QPushButton*>(object()); }

    static QString withoutAccessKeyMarks(QString text) {
        // "&Exit" reads "Exit"; "&&" is a real ampersand.
        QString plain;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u'&' && i + 1 < text.size())
                ++i;
            plain += text[i];
        }
        return plain;
    }
};

QAccessibleInterface* makeInterface(const QString& className, QObject* object) {
    if (className == QStringLiteral("QPushButton") && object && object->isWidgetType())
        return new PushButtonAccessible(static_cast<QPushButton*>(object));
    return nullptr;
}

} // namespace

void installButtonAccessibility() {
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(makeInterface); });
}
