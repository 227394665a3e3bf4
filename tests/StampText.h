#pragma once

#include <QString>

// A record's identity and computer as the program shows them, in SQL for the
// tests' own queries: the UUID text of the identity's 16 bytes, and the id of
// the computer the file numbers.
inline QString identityText(const QString& column = QStringLiteral("_id")) {
    const QString hex = QStringLiteral("lower(hex(%1))").arg(column);
    return QStringLiteral("CASE WHEN typeof(%1) = 'blob' THEN substr(%2, 1, 8) || '-' || substr(%2, 9, 4) || '-' || "
                          "substr(%2, 13, 4) || '-' || substr(%2, 17, 4) || '-' || substr(%2, 21) ELSE %1 END")
        .arg(column, hex);
}

inline QString machineText(const QString& column = QStringLiteral("_machine")) {
    return QStringLiteral("coalesce((SELECT machine FROM _machines WHERE number = %1), '')").arg(column);
}

// SQL that names a computer in a record, numbering it first: as another
// program that writes the file would.
inline QString stampedBy(const QString& table, const QString& machine, const QString& where) {
    return QStringLiteral("INSERT OR IGNORE INTO _machines (machine) VALUES ('%1'); UPDATE %2 SET _machine = "
                          "(SELECT number FROM _machines WHERE machine = '%1') WHERE %3;")
        .arg(machine, table, where);
}
