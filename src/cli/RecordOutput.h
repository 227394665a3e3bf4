#pragma once

#include "exchange/Section.h"

#include <QList>
#include <QStringList>

// How the command line shows records: which fields a listing shows, which are
// secrets that only "show --secrets" prints.
struct SectionView {
    Section section;
    QList<int> listed;  // fields a listing shows; a record is named by any of them
    QList<int> secrets; // fields never printed unless asked
};
const SectionView& viewOf(Section section);

// Every record of a section in natural order, each field as the windows show it.
QList<QStringList> readRecords(const QString& databasePath, Section section); // throws ExchangeError
// The records one of whose listed fields is the name: exactly, else without regard to case.
QList<QStringList> recordsNamed(const QList<QStringList>& records, const SectionView& view, const QString& name);

QString listingText(const QList<QStringList>& records, const SectionView& view);
QString listingJson(const QList<QStringList>& records, const SectionView& view);
QString detailText(const QList<QStringList>& records, const SectionView& view, bool secrets);
QString detailJson(const QList<QStringList>& records, const SectionView& view, bool secrets);
