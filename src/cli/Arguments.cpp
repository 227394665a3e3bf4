#include "Arguments.h"

Arguments Arguments::parse(const QStringList& words, const QSet<QString>& valueOptions,
                           const QSet<QString>& flagOptions) {
    Arguments arguments;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (!word.startsWith(QStringLiteral("--")) || word == QStringLiteral("--")) {
            if (arguments.command.isEmpty() && arguments.positional.isEmpty() && word != QStringLiteral("--"))
                arguments.command = word;
            else if (word != QStringLiteral("--"))
                arguments.positional << word;
            continue;
        }
        QString name = word.mid(2);
        QString value;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool inlineValue = equals >= 0;
        if (inlineValue) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        if (valueOptions.contains(name)) {
            if (!inlineValue) {
                if (i + 1 >= words.size()) {
                    arguments.error = QStringLiteral("--%1 needs a value.").arg(name);
                    return arguments;
                }
                value = words.at(++i);
            }
            arguments.values.insert(name, value);
        } else if (flagOptions.contains(name) && !inlineValue) {
            arguments.flags.insert(name);
        } else {
            arguments.error = QStringLiteral("unknown option --%1.").arg(name);
            return arguments;
        }
    }
    return arguments;
}
