#pragma once

#include <QString>
#include <optional>

// The sign-in password: one text in the first record of table "Pass" in
// pass2.mdb, compared with what the user types exactly as typed (case and
// blanks count). The sign-in window and the command line both ask here.
namespace SignIn {

// Whether the typed text opens the program, given the stored password.
bool matches(const QString& stored, const QString& typed);
// The stored password, read without a window; an empty text for an empty
// field. Nothing, with the reason in error, when the file cannot be read.
std::optional<QString> storedPassword(const QString& passwordStorePath, QString* error = nullptr);

} // namespace SignIn
