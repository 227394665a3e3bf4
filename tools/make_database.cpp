// Makes one delivered database file from its SQL text in data/.
// Usage: make_database SOURCE.sql TARGET.mdb
// A target that already exists is left alone: it may hold the user's records.
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
    if (argc != 3)
        return fail("usage: make_database SOURCE.sql TARGET.mdb");
    const fs::path source = argv[1];
    const fs::path target = argv[2];
    if (fs::exists(target))
        return 0;

    std::ifstream in(source, std::ios::binary);
    if (!in)
        return fail("cannot read " + source.string());
    std::stringstream sql;
    sql << in.rdbuf();

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
        return fail(source.string() + ": " + message);
    }
    sqlite3_close(db);
    ::chmod(temporary.c_str(), S_IRUSR | S_IWUSR);
    fs::rename(temporary, target);
    return 0;
}
