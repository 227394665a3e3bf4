#pragma once

#include <QString>
#include <SQLiteCpp/Database.h>
#include <memory>

// New database files are only ever made from the program's own layout, the one
// the delivered files come from: conversion, restore and repair all build a
// fresh file from it and copy records in, never patch a file made elsewhere.

// The layout of the record database (true) or of the sign-in password store.
QString schemaSql(bool recordDatabase); // throws StoreError

// Makes an empty database of the program's layout at path, which must be absent
// or an empty file. The connection neither journals to disk nor flushes: the
// caller syncs the finished file before it takes any file's place. Throws StoreError.
std::unique_ptr<SQLite::Database> createFromSchema(const QString& path, bool recordDatabase);

// Opens a file only to read it, without a journal, a lock or a byte written,
// whatever journal mode it claims: for files the program did not make.
std::unique_ptr<SQLite::Database> openUntouched(const QString& path); // throws SQLite::Exception
