// Makes one delivered database file from SQL text in data/: its schema, then its sample entries.
// Usage: make_database TARGET.mdb SOURCE.sql...
// A target that already exists is left alone: it may hold the user's records.
// The records of a record database get identities derived from what they hold,
// as a file brought up to date at start gives its older records: every copy of
// the delivered file, made by any build, agrees on its sample entries.
#include "store/RecordIdentity.h"
#include "store/StoreError.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

static int fail(const std::string& what) {
    std::cerr << "make_database: " << what << "\n";
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 3)
        return fail("usage: make_database TARGET.mdb SOURCE.sql...");
    const fs::path target = argv[1];
    if (fs::exists(target))
        return 0;

    std::stringstream sql;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in)
            return fail(std::string("cannot read ") + argv[i]);
        sql << in.rdbuf() << "\n";
    }

    const fs::path temporary = target.string() + ".making";
    fs::remove(temporary);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return fail("cannot create " + temporary.string());
    char* error = nullptr;
    const std::string script = "PRAGMA journal_mode=DELETE;\nBEGIN;\n" + sql.str() + "\nCOMMIT;";
    const int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        sqlite3_close(db);
        fs::remove(temporary);
        return fail(target.string() + ": " + message);
    }
    try {
        sqlite3_stmt* probe = nullptr;
        sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = '_tombstones'", -1, &probe, nullptr);
        const bool recordDatabase = sqlite3_step(probe) == SQLITE_ROW;
        sqlite3_finalize(probe);
        if (recordDatabase)
            RecordIdentity::deriveIdentities(db, true);
    } catch (const StoreError& e) {
        sqlite3_close(db);
        fs::remove(temporary);
        return fail(target.string() + ": " + e.what());
    }
    sqlite3_close(db);
    ::chmod(temporary.c_str(), S_IRUSR | S_IWUSR);
    fs::rename(temporary, target);
    return 0;
}
