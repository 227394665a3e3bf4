-- The record database: five tables of text fields. "_key" is the hidden bookmark
-- that gives each record its identity and its place in the natural order; the
-- index on it lets a binder read the keys without touching the records' text.
CREATE TABLE "account" (
    "_key" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Account" TEXT, "Website" TEXT, "User" TEXT, "Password" TEXT, "Notes" TEXT);
CREATE INDEX "account keys" ON "account" ("_key");

CREATE TABLE "Credit Card" (
    "_key" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Type Card" TEXT, "Card Number" TEXT, "Security Code" TEXT, "Month" TEXT, "Year" TEXT,
    "Bank Name" TEXT, "Address" TEXT, "Bank City" TEXT, "Bank State" TEXT, "Zip Code" TEXT,
    "Phone" TEXT, "Website" TEXT);
CREATE INDEX "Credit Card keys" ON "Credit Card" ("_key");

CREATE TABLE "Personal" (
    "_key" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Full Name" TEXT, "Address" TEXT, "Address1" TEXT, "City" TEXT, "State" TEXT, "Zip" TEXT, "Email" TEXT);
CREATE INDEX "Personal keys" ON "Personal" ("_key");

CREATE TABLE "Notes" ("_key" INTEGER PRIMARY KEY AUTOINCREMENT, "Title" TEXT, "Note" TEXT);
CREATE INDEX "Notes keys" ON "Notes" ("_key");

CREATE TABLE "Reminder" ("_key" INTEGER PRIMARY KEY AUTOINCREMENT, "Date" TEXT, "Reminder" TEXT);
CREATE INDEX "Reminder keys" ON "Reminder" ("_key");

-- Keys that no longer hold a record, kept by triggers whoever deletes: with
-- them a binder knows a table's keys from its first and last key alone, without
-- reading the table.
-- "deletion" numbers the deletions in the order they happened, so a binder that
-- took its keys earlier still sees the table as it was then.
CREATE TABLE "_deleted" ("tableName" TEXT NOT NULL, "key" INTEGER NOT NULL, "deletion" INTEGER,
    PRIMARY KEY ("tableName", "key")) WITHOUT ROWID;
-- The number of deleted keys in each block of 1024 keys ("block" is key >> 10) and
-- the number of the last deletion: a binder counts the deleted keys below any key
-- from these few rows, and reads the deleted keys of a block only when it shows it.
CREATE TABLE "_deletedBlocks" ("tableName" TEXT NOT NULL, "block" INTEGER NOT NULL, "keys" INTEGER NOT NULL,
    PRIMARY KEY ("tableName", "block")) WITHOUT ROWID;
CREATE TABLE "_deletions" ("last" INTEGER NOT NULL);
INSERT INTO "_deletions" ("last") VALUES (0);
CREATE TRIGGER "_deleted added" AFTER INSERT ON "_deleted" BEGIN
    UPDATE "_deletions" SET "last" = "last" + 1;
    UPDATE "_deleted" SET "deletion" = (SELECT "last" FROM "_deletions")
        WHERE "tableName" = new."tableName" AND "key" = new."key";
    INSERT INTO "_deletedBlocks" ("tableName", "block", "keys") VALUES (new."tableName", new."key" >> 10, 1)
        ON CONFLICT DO UPDATE SET "keys" = "keys" + 1; END;
CREATE TRIGGER "_deleted removed" AFTER DELETE ON "_deleted" BEGIN
    UPDATE "_deletedBlocks" SET "keys" = "keys" - 1 WHERE "tableName" = old."tableName" AND "block" = old."key" >> 10;
END;
-- Each table's number of records, kept by the same triggers: it proves that the
-- keys a binder takes from the first key, the last key and the deleted keys are
-- all there are, whatever program wrote the file.
CREATE TABLE "_counts" ("tableName" TEXT PRIMARY KEY, "rows" INTEGER NOT NULL) WITHOUT ROWID;
INSERT INTO "_counts" ("tableName", "rows") VALUES ('account', 0), ('Credit Card', 0), ('Personal', 0), ('Notes', 0), ('Reminder', 0);
CREATE TRIGGER "account deleted" AFTER DELETE ON "account" BEGIN
    INSERT OR IGNORE INTO "_deleted" ("tableName", "key") VALUES ('account', old."_key");
    UPDATE "_counts" SET "rows" = "rows" - 1 WHERE "tableName" = 'account'; END;
CREATE TRIGGER "account inserted" AFTER INSERT ON "account" BEGIN
    DELETE FROM "_deleted" WHERE "tableName" = 'account' AND "key" = new."_key";
    UPDATE "_counts" SET "rows" = "rows" + 1 WHERE "tableName" = 'account'; END;
CREATE TRIGGER "Credit Card deleted" AFTER DELETE ON "Credit Card" BEGIN
    INSERT OR IGNORE INTO "_deleted" ("tableName", "key") VALUES ('Credit Card', old."_key");
    UPDATE "_counts" SET "rows" = "rows" - 1 WHERE "tableName" = 'Credit Card'; END;
CREATE TRIGGER "Credit Card inserted" AFTER INSERT ON "Credit Card" BEGIN
    DELETE FROM "_deleted" WHERE "tableName" = 'Credit Card' AND "key" = new."_key";
    UPDATE "_counts" SET "rows" = "rows" + 1 WHERE "tableName" = 'Credit Card'; END;
CREATE TRIGGER "Personal deleted" AFTER DELETE ON "Personal" BEGIN
    INSERT OR IGNORE INTO "_deleted" ("tableName", "key") VALUES ('Personal', old."_key");
    UPDATE "_counts" SET "rows" = "rows" - 1 WHERE "tableName" = 'Personal'; END;
CREATE TRIGGER "Personal inserted" AFTER INSERT ON "Personal" BEGIN
    DELETE FROM "_deleted" WHERE "tableName" = 'Personal' AND "key" = new."_key";
    UPDATE "_counts" SET "rows" = "rows" + 1 WHERE "tableName" = 'Personal'; END;
CREATE TRIGGER "Notes deleted" AFTER DELETE ON "Notes" BEGIN
    INSERT OR IGNORE INTO "_deleted" ("tableName", "key") VALUES ('Notes', old."_key");
    UPDATE "_counts" SET "rows" = "rows" - 1 WHERE "tableName" = 'Notes'; END;
CREATE TRIGGER "Notes inserted" AFTER INSERT ON "Notes" BEGIN
    DELETE FROM "_deleted" WHERE "tableName" = 'Notes' AND "key" = new."_key";
    UPDATE "_counts" SET "rows" = "rows" + 1 WHERE "tableName" = 'Notes'; END;
CREATE TRIGGER "Reminder deleted" AFTER DELETE ON "Reminder" BEGIN
    INSERT OR IGNORE INTO "_deleted" ("tableName", "key") VALUES ('Reminder', old."_key");
    UPDATE "_counts" SET "rows" = "rows" - 1 WHERE "tableName" = 'Reminder'; END;
CREATE TRIGGER "Reminder inserted" AFTER INSERT ON "Reminder" BEGIN
    DELETE FROM "_deleted" WHERE "tableName" = 'Reminder' AND "key" = new."_key";
    UPDATE "_counts" SET "rows" = "rows" + 1 WHERE "tableName" = 'Reminder'; END;
