-- The sign-in password store. One record; the initial password is "wren".
CREATE TABLE "Pass" ("_key" INTEGER PRIMARY KEY AUTOINCREMENT, "Password" TEXT);
CREATE INDEX "Pass keys" ON "Pass" ("_key");

-- Keys that no longer hold a record, kept by triggers whoever deletes: with
-- them a binder knows a table's keys from its first and last key alone, without
-- reading the table.
CREATE TABLE "_deleted" ("tableName" TEXT NOT NULL, "key" INTEGER NOT NULL, PRIMARY KEY ("tableName", "key"))
    WITHOUT ROWID;
-- Each table's number of records, kept by the same triggers: it proves that the
-- keys a binder takes from the first key, the last key and the deleted keys are
-- all there are, whatever program wrote the file.
CREATE TABLE "_counts" ("tableName" TEXT PRIMARY KEY, "rows" INTEGER NOT NULL) WITHOUT ROWID;
INSERT INTO "_counts" ("tableName", "rows") VALUES ('Pass', 0);
CREATE TRIGGER "Pass deleted" AFTER DELETE ON "Pass" BEGIN
    INSERT OR IGNORE INTO "_deleted" ("tableName", "key") VALUES ('Pass', old."_key");
    UPDATE "_counts" SET "rows" = "rows" - 1 WHERE "tableName" = 'Pass'; END;
CREATE TRIGGER "Pass inserted" AFTER INSERT ON "Pass" BEGIN
    DELETE FROM "_deleted" WHERE "tableName" = 'Pass' AND "key" = new."_key";
    UPDATE "_counts" SET "rows" = "rows" + 1 WHERE "tableName" = 'Pass'; END;
