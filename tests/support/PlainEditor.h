#pragma once

#include "store/DataBinder.h"
#include "store/Schema.h"

#include <QHash>
#include <QString>

// A binder whose boxes are plain texts, standing in for an editor.
struct PlainEditor {
    DataBinder binder;
    QHash<QString, QString> boxes;
    PlainEditor(const QString& path, const Schema::Table& table) {
        binder.setDatabaseName(path);
        binder.setRecordSource(table.name);
        binder.open();
        for (const QString& field : table.fields)
            binder.bind(
                field, &binder, [this, field] { return boxes.value(field); },
                [this, field](const QString& value) { boxes[field] = value; });
    }
};
