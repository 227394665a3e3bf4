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

-- Version 1: the search index.
-- Each table's text is indexed in three-letter pieces (trigrams), so a search for
-- any part of a word, in any letter case, reads the index and never the table. The
-- index holds no text of its own: it points at the records ("external content"),
-- and triggers keep it in step with every write, in the write's own transaction.
-- The secrets ("Password", "Card Number", "Security Code") are never indexed.
-- The small indexes on the first one and two letters of each record's name serve
-- searches too short for trigrams.
-- A file made before this version gets this part, and its index filled, from the
-- start-up migration; that is the only place the program adds tables to a file.
CREATE VIRTUAL TABLE "account search" USING fts5 ("Account", "Website", "User", "Notes",
    content = 'account', content_rowid = '_key', tokenize = 'trigram', columnsize = 0);
CREATE TRIGGER "account search added" AFTER INSERT ON "account" BEGIN
    INSERT INTO "account search" (rowid, "Account", "Website", "User", "Notes")
        VALUES (new."_key", new."Account", new."Website", new."User", new."Notes"); END;
CREATE TRIGGER "account search removed" AFTER DELETE ON "account" BEGIN
    INSERT INTO "account search" ("account search", rowid, "Account", "Website", "User", "Notes")
        VALUES ('delete', old."_key", old."Account", old."Website", old."User", old."Notes"); END;
CREATE TRIGGER "account search changed" AFTER UPDATE OF "_key", "Account", "Website", "User", "Notes" ON "account" BEGIN
    INSERT INTO "account search" ("account search", rowid, "Account", "Website", "User", "Notes")
        VALUES ('delete', old."_key", old."Account", old."Website", old."User", old."Notes");
    INSERT INTO "account search" (rowid, "Account", "Website", "User", "Notes")
        VALUES (new."_key", new."Account", new."Website", new."User", new."Notes"); END;
CREATE INDEX "account name 1" ON "account" (substr("Account", 1, 1));
CREATE INDEX "account name 2" ON "account" (substr("Account", 1, 2));
INSERT INTO "account search" ("account search") VALUES ('rebuild');

CREATE VIRTUAL TABLE "Credit Card search" USING fts5 ("Type Card", "Month", "Year", "Bank Name", "Address",
    "Bank City", "Bank State", "Zip Code", "Phone", "Website",
    content = 'Credit Card', content_rowid = '_key', tokenize = 'trigram', columnsize = 0);
CREATE TRIGGER "Credit Card search added" AFTER INSERT ON "Credit Card" BEGIN
    INSERT INTO "Credit Card search" (rowid, "Type Card", "Month", "Year", "Bank Name", "Address", "Bank City",
        "Bank State", "Zip Code", "Phone", "Website")
        VALUES (new."_key", new."Type Card", new."Month", new."Year", new."Bank Name", new."Address", new."Bank City",
        new."Bank State", new."Zip Code", new."Phone", new."Website"); END;
CREATE TRIGGER "Credit Card search removed" AFTER DELETE ON "Credit Card" BEGIN
    INSERT INTO "Credit Card search" ("Credit Card search", rowid, "Type Card", "Month", "Year", "Bank Name",
        "Address", "Bank City", "Bank State", "Zip Code", "Phone", "Website")
        VALUES ('delete', old."_key", old."Type Card", old."Month", old."Year", old."Bank Name", old."Address",
        old."Bank City", old."Bank State", old."Zip Code", old."Phone", old."Website"); END;
CREATE TRIGGER "Credit Card search changed" AFTER UPDATE OF "_key", "Type Card", "Month", "Year", "Bank Name",
    "Address", "Bank City", "Bank State", "Zip Code", "Phone", "Website" ON "Credit Card" BEGIN
    INSERT INTO "Credit Card search" ("Credit Card search", rowid, "Type Card", "Month", "Year", "Bank Name",
        "Address", "Bank City", "Bank State", "Zip Code", "Phone", "Website")
        VALUES ('delete', old."_key", old."Type Card", old."Month", old."Year", old."Bank Name", old."Address",
        old."Bank City", old."Bank State", old."Zip Code", old."Phone", old."Website");
    INSERT INTO "Credit Card search" (rowid, "Type Card", "Month", "Year", "Bank Name", "Address", "Bank City",
        "Bank State", "Zip Code", "Phone", "Website")
        VALUES (new."_key", new."Type Card", new."Month", new."Year", new."Bank Name", new."Address", new."Bank City",
        new."Bank State", new."Zip Code", new."Phone", new."Website"); END;
CREATE INDEX "Credit Card name 1" ON "Credit Card" (substr("Type Card", 1, 1));
CREATE INDEX "Credit Card name 2" ON "Credit Card" (substr("Type Card", 1, 2));
CREATE INDEX "Credit Card bank 1" ON "Credit Card" (substr("Bank Name", 1, 1));
CREATE INDEX "Credit Card bank 2" ON "Credit Card" (substr("Bank Name", 1, 2));
INSERT INTO "Credit Card search" ("Credit Card search") VALUES ('rebuild');

CREATE VIRTUAL TABLE "Personal search" USING fts5 ("Full Name", "Address", "Address1", "City", "State", "Zip",
    "Email", content = 'Personal', content_rowid = '_key', tokenize = 'trigram', columnsize = 0);
CREATE TRIGGER "Personal search added" AFTER INSERT ON "Personal" BEGIN
    INSERT INTO "Personal search" (rowid, "Full Name", "Address", "Address1", "City", "State", "Zip", "Email")
        VALUES (new."_key", new."Full Name", new."Address", new."Address1", new."City", new."State", new."Zip",
        new."Email"); END;
CREATE TRIGGER "Personal search removed" AFTER DELETE ON "Personal" BEGIN
    INSERT INTO "Personal search" ("Personal search", rowid, "Full Name", "Address", "Address1", "City", "State",
        "Zip", "Email")
        VALUES ('delete', old."_key", old."Full Name", old."Address", old."Address1", old."City", old."State",
        old."Zip", old."Email"); END;
CREATE TRIGGER "Personal search changed" AFTER UPDATE OF "_key", "Full Name", "Address", "Address1", "City", "State",
    "Zip", "Email" ON "Personal" BEGIN
    INSERT INTO "Personal search" ("Personal search", rowid, "Full Name", "Address", "Address1", "City", "State",
        "Zip", "Email")
        VALUES ('delete', old."_key", old."Full Name", old."Address", old."Address1", old."City", old."State",
        old."Zip", old."Email");
    INSERT INTO "Personal search" (rowid, "Full Name", "Address", "Address1", "City", "State", "Zip", "Email")
        VALUES (new."_key", new."Full Name", new."Address", new."Address1", new."City", new."State", new."Zip",
        new."Email"); END;
CREATE INDEX "Personal name 1" ON "Personal" (substr("Full Name", 1, 1));
CREATE INDEX "Personal name 2" ON "Personal" (substr("Full Name", 1, 2));
INSERT INTO "Personal search" ("Personal search") VALUES ('rebuild');

CREATE VIRTUAL TABLE "Notes search" USING fts5 ("Title", "Note",
    content = 'Notes', content_rowid = '_key', tokenize = 'trigram', columnsize = 0);
CREATE TRIGGER "Notes search added" AFTER INSERT ON "Notes" BEGIN
    INSERT INTO "Notes search" (rowid, "Title", "Note") VALUES (new."_key", new."Title", new."Note"); END;
CREATE TRIGGER "Notes search removed" AFTER DELETE ON "Notes" BEGIN
    INSERT INTO "Notes search" ("Notes search", rowid, "Title", "Note")
        VALUES ('delete', old."_key", old."Title", old."Note"); END;
CREATE TRIGGER "Notes search changed" AFTER UPDATE OF "_key", "Title", "Note" ON "Notes" BEGIN
    INSERT INTO "Notes search" ("Notes search", rowid, "Title", "Note")
        VALUES ('delete', old."_key", old."Title", old."Note");
    INSERT INTO "Notes search" (rowid, "Title", "Note") VALUES (new."_key", new."Title", new."Note"); END;
CREATE INDEX "Notes name 1" ON "Notes" (substr("Title", 1, 1));
CREATE INDEX "Notes name 2" ON "Notes" (substr("Title", 1, 2));
INSERT INTO "Notes search" ("Notes search") VALUES ('rebuild');

CREATE VIRTUAL TABLE "Reminder search" USING fts5 ("Date", "Reminder",
    content = 'Reminder', content_rowid = '_key', tokenize = 'trigram', columnsize = 0);
CREATE TRIGGER "Reminder search added" AFTER INSERT ON "Reminder" BEGIN
    INSERT INTO "Reminder search" (rowid, "Date", "Reminder") VALUES (new."_key", new."Date", new."Reminder"); END;
CREATE TRIGGER "Reminder search removed" AFTER DELETE ON "Reminder" BEGIN
    INSERT INTO "Reminder search" ("Reminder search", rowid, "Date", "Reminder")
        VALUES ('delete', old."_key", old."Date", old."Reminder"); END;
CREATE TRIGGER "Reminder search changed" AFTER UPDATE OF "_key", "Date", "Reminder" ON "Reminder" BEGIN
    INSERT INTO "Reminder search" ("Reminder search", rowid, "Date", "Reminder")
        VALUES ('delete', old."_key", old."Date", old."Reminder");
    INSERT INTO "Reminder search" (rowid, "Date", "Reminder") VALUES (new."_key", new."Date", new."Reminder"); END;
CREATE INDEX "Reminder name 1" ON "Reminder" (substr("Date", 1, 1));
CREATE INDEX "Reminder name 2" ON "Reminder" (substr("Date", 1, 2));
INSERT INTO "Reminder search" ("Reminder search") VALUES ('rebuild');

PRAGMA user_version = 1;

-- Version 2: identities, so that copies of the file changed on other computers can be merged.
-- Every record carries an identity that is the same on every computer ("_id", a UUID as
-- text), the time of its last change ("_modified", UTC milliseconds since 1970) and the
-- computer that made it ("_machine", an id kept in that user's configuration folder;
-- empty when not known). The keys stay each file's own: the same record may have
-- another key in another copy. The file's own triggers give a new record a random
-- identity and the time, and move the time on at every change of a field, whoever
-- writes; the time never goes back, even when a clock does, so a change is always newer
-- than the version it changed. The program's connections add the computer with
-- triggers of their own (they are not stored in the file).
-- Records that existed before this version get identities derived from their table,
-- key and text (see RecordIdentity), time 0 and no computer: two computers that had
-- the same file and were brought up to date apart agree on every record.
-- "_tombstones" keeps the identity and time of every deletion, so that a merge can
-- tell a record deleted here from one added elsewhere; "_history" keeps the version
-- of a record that lost in a merge, readable, with its fields as a JSON object.
CREATE TABLE "_tombstones" ("identity" TEXT PRIMARY KEY, "tableName" TEXT NOT NULL, "deleted" INTEGER NOT NULL,
    "machine" TEXT NOT NULL DEFAULT '') WITHOUT ROWID;
CREATE TABLE "_history" ("tableName" TEXT NOT NULL, "identity" TEXT NOT NULL, "modified" INTEGER NOT NULL,
    "machine" TEXT NOT NULL, "fields" TEXT NOT NULL, "kept" INTEGER NOT NULL,
    UNIQUE ("identity", "modified", "machine", "fields"));


ALTER TABLE "account" ADD COLUMN "_id" TEXT;
ALTER TABLE "account" ADD COLUMN "_modified" INTEGER;
ALTER TABLE "account" ADD COLUMN "_machine" TEXT;
CREATE UNIQUE INDEX "account identities" ON "account" ("_id");
CREATE TRIGGER "account identity given" AFTER INSERT ON "account"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "account" SET "_id" = coalesce(new."_id", lower(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' ||
        substr(hex(randomblob(2)), 2) || '-' || substr('89AB', 1 + abs(random() % 4), 1) ||
        substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)))),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
CREATE TRIGGER "account modified" AFTER UPDATE OF "Account", "Website", "User", "Password", "Notes" ON "account"
    WHEN new."Account" IS NOT old."Account" OR new."Website" IS NOT old."Website" OR
        new."User" IS NOT old."User" OR new."Password" IS NOT old."Password" OR new."Notes" IS NOT old."Notes" BEGIN
    UPDATE "account" SET "_modified" = max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1) WHERE "_key" = new."_key"; END;
CREATE TRIGGER "account tombstone" AFTER DELETE ON "account" WHEN old."_id" IS NOT NULL BEGIN
    INSERT INTO "_tombstones" ("identity", "tableName", "deleted")
        VALUES (old."_id", 'account', max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1))
        ON CONFLICT ("identity") DO UPDATE SET "deleted" = max("deleted", excluded."deleted"); END;

ALTER TABLE "Credit Card" ADD COLUMN "_id" TEXT;
ALTER TABLE "Credit Card" ADD COLUMN "_modified" INTEGER;
ALTER TABLE "Credit Card" ADD COLUMN "_machine" TEXT;
CREATE UNIQUE INDEX "Credit Card identities" ON "Credit Card" ("_id");
CREATE TRIGGER "Credit Card identity given" AFTER INSERT ON "Credit Card"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "Credit Card" SET "_id" = coalesce(new."_id", lower(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' ||
        substr(hex(randomblob(2)), 2) || '-' || substr('89AB', 1 + abs(random() % 4), 1) ||
        substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)))),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
CREATE TRIGGER "Credit Card modified" AFTER UPDATE OF "Type Card", "Card Number", "Security Code", "Month", "Year",
    "Bank Name", "Address", "Bank City", "Bank State", "Zip Code", "Phone", "Website" ON "Credit Card"
    WHEN new."Type Card" IS NOT old."Type Card" OR new."Card Number" IS NOT old."Card Number" OR
        new."Security Code" IS NOT old."Security Code" OR new."Month" IS NOT old."Month" OR
        new."Year" IS NOT old."Year" OR new."Bank Name" IS NOT old."Bank Name" OR
        new."Address" IS NOT old."Address" OR new."Bank City" IS NOT old."Bank City" OR
        new."Bank State" IS NOT old."Bank State" OR new."Zip Code" IS NOT old."Zip Code" OR
        new."Phone" IS NOT old."Phone" OR new."Website" IS NOT old."Website" BEGIN
    UPDATE "Credit Card" SET "_modified" = max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1) WHERE "_key" = new."_key"; END;
CREATE TRIGGER "Credit Card tombstone" AFTER DELETE ON "Credit Card" WHEN old."_id" IS NOT NULL BEGIN
    INSERT INTO "_tombstones" ("identity", "tableName", "deleted")
        VALUES (old."_id", 'Credit Card', max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1))
        ON CONFLICT ("identity") DO UPDATE SET "deleted" = max("deleted", excluded."deleted"); END;

ALTER TABLE "Personal" ADD COLUMN "_id" TEXT;
ALTER TABLE "Personal" ADD COLUMN "_modified" INTEGER;
ALTER TABLE "Personal" ADD COLUMN "_machine" TEXT;
CREATE UNIQUE INDEX "Personal identities" ON "Personal" ("_id");
CREATE TRIGGER "Personal identity given" AFTER INSERT ON "Personal"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "Personal" SET "_id" = coalesce(new."_id", lower(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' ||
        substr(hex(randomblob(2)), 2) || '-' || substr('89AB', 1 + abs(random() % 4), 1) ||
        substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)))),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
CREATE TRIGGER "Personal modified" AFTER UPDATE OF "Full Name", "Address", "Address1", "City", "State", "Zip",
    "Email" ON "Personal"
    WHEN new."Full Name" IS NOT old."Full Name" OR new."Address" IS NOT old."Address" OR
        new."Address1" IS NOT old."Address1" OR new."City" IS NOT old."City" OR new."State" IS NOT old."State" OR
        new."Zip" IS NOT old."Zip" OR new."Email" IS NOT old."Email" BEGIN
    UPDATE "Personal" SET "_modified" = max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1) WHERE "_key" = new."_key"; END;
CREATE TRIGGER "Personal tombstone" AFTER DELETE ON "Personal" WHEN old."_id" IS NOT NULL BEGIN
    INSERT INTO "_tombstones" ("identity", "tableName", "deleted")
        VALUES (old."_id", 'Personal', max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1))
        ON CONFLICT ("identity") DO UPDATE SET "deleted" = max("deleted", excluded."deleted"); END;

ALTER TABLE "Notes" ADD COLUMN "_id" TEXT;
ALTER TABLE "Notes" ADD COLUMN "_modified" INTEGER;
ALTER TABLE "Notes" ADD COLUMN "_machine" TEXT;
CREATE UNIQUE INDEX "Notes identities" ON "Notes" ("_id");
CREATE TRIGGER "Notes identity given" AFTER INSERT ON "Notes"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "Notes" SET "_id" = coalesce(new."_id", lower(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' ||
        substr(hex(randomblob(2)), 2) || '-' || substr('89AB', 1 + abs(random() % 4), 1) ||
        substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)))),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
CREATE TRIGGER "Notes modified" AFTER UPDATE OF "Title", "Note" ON "Notes"
    WHEN new."Title" IS NOT old."Title" OR new."Note" IS NOT old."Note" BEGIN
    UPDATE "Notes" SET "_modified" = max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1) WHERE "_key" = new."_key"; END;
CREATE TRIGGER "Notes tombstone" AFTER DELETE ON "Notes" WHEN old."_id" IS NOT NULL BEGIN
    INSERT INTO "_tombstones" ("identity", "tableName", "deleted")
        VALUES (old."_id", 'Notes', max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1))
        ON CONFLICT ("identity") DO UPDATE SET "deleted" = max("deleted", excluded."deleted"); END;

ALTER TABLE "Reminder" ADD COLUMN "_id" TEXT;
ALTER TABLE "Reminder" ADD COLUMN "_modified" INTEGER;
ALTER TABLE "Reminder" ADD COLUMN "_machine" TEXT;
CREATE UNIQUE INDEX "Reminder identities" ON "Reminder" ("_id");
CREATE TRIGGER "Reminder identity given" AFTER INSERT ON "Reminder"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "Reminder" SET "_id" = coalesce(new."_id", lower(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' ||
        substr(hex(randomblob(2)), 2) || '-' || substr('89AB', 1 + abs(random() % 4), 1) ||
        substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)))),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
CREATE TRIGGER "Reminder modified" AFTER UPDATE OF "Date", "Reminder" ON "Reminder"
    WHEN new."Date" IS NOT old."Date" OR new."Reminder" IS NOT old."Reminder" BEGIN
    UPDATE "Reminder" SET "_modified" = max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1) WHERE "_key" = new."_key"; END;
CREATE TRIGGER "Reminder tombstone" AFTER DELETE ON "Reminder" WHEN old."_id" IS NOT NULL BEGIN
    INSERT INTO "_tombstones" ("identity", "tableName", "deleted")
        VALUES (old."_id", 'Reminder', max(CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER),
        coalesce(old."_modified", 0) + 1))
        ON CONFLICT ("identity") DO UPDATE SET "deleted" = max("deleted", excluded."deleted"); END;

PRAGMA user_version = 2;

-- Version 3: a smaller search index.
-- The index keeps, for each three-letter piece, only which records hold it
-- ("detail = none"): not where in them. That is most of what it took on the disk.
-- A word of four or more letters is looked up as all of its pieces, and each
-- record so found is read to see that it holds the whole word. The indexes on
-- the beginnings of names go: a query of one or two characters reads the
-- records themselves, as it must to find them anywhere in a text. The triggers
-- stay as they are; they write to the new index under the same name.

DROP INDEX IF EXISTS "account name 1";
DROP INDEX IF EXISTS "account name 2";
DROP TABLE IF EXISTS "account search";
CREATE VIRTUAL TABLE "account search" USING fts5 ("Account", "Website", "User", "Notes",
    content = 'account', content_rowid = '_key', tokenize = 'trigram', columnsize = 0, detail = none);
INSERT INTO "account search" ("account search") VALUES ('rebuild');

DROP INDEX IF EXISTS "Credit Card name 1";
DROP INDEX IF EXISTS "Credit Card name 2";
DROP INDEX IF EXISTS "Credit Card bank 1";
DROP INDEX IF EXISTS "Credit Card bank 2";
DROP TABLE IF EXISTS "Credit Card search";
CREATE VIRTUAL TABLE "Credit Card search" USING fts5 ("Type Card", "Month", "Year", "Bank Name", "Address",
    "Bank City", "Bank State", "Zip Code", "Phone", "Website",
    content = 'Credit Card', content_rowid = '_key', tokenize = 'trigram', columnsize = 0, detail = none);
INSERT INTO "Credit Card search" ("Credit Card search") VALUES ('rebuild');

DROP INDEX IF EXISTS "Personal name 1";
DROP INDEX IF EXISTS "Personal name 2";
DROP TABLE IF EXISTS "Personal search";
CREATE VIRTUAL TABLE "Personal search" USING fts5 ("Full Name", "Address", "Address1", "City", "State", "Zip",
    "Email", content = 'Personal', content_rowid = '_key', tokenize = 'trigram', columnsize = 0, detail = none);
INSERT INTO "Personal search" ("Personal search") VALUES ('rebuild');

DROP INDEX IF EXISTS "Notes name 1";
DROP INDEX IF EXISTS "Notes name 2";
DROP TABLE IF EXISTS "Notes search";
CREATE VIRTUAL TABLE "Notes search" USING fts5 ("Title", "Note",
    content = 'Notes', content_rowid = '_key', tokenize = 'trigram', columnsize = 0, detail = none);
INSERT INTO "Notes search" ("Notes search") VALUES ('rebuild');

DROP INDEX IF EXISTS "Reminder name 1";
DROP INDEX IF EXISTS "Reminder name 2";
DROP TABLE IF EXISTS "Reminder search";
CREATE VIRTUAL TABLE "Reminder search" USING fts5 ("Date", "Reminder",
    content = 'Reminder', content_rowid = '_key', tokenize = 'trigram', columnsize = 0, detail = none);
INSERT INTO "Reminder search" ("Reminder search") VALUES ('rebuild');

PRAGMA user_version = 3;

-- Version 4: the browser extension.
-- The connections the user allowed (a name and the extension's identification
-- key, never a secret of the records), the user's remembered answers to a
-- site's first request for a record, and the identity the extension tells this
-- database by (made at the first connection).
CREATE TABLE IF NOT EXISTS "_browserConnections" ("name" TEXT PRIMARY KEY, "idKey" TEXT NOT NULL,
    "created" TEXT NOT NULL, "lastUsed" TEXT) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS "_browserDecisions" ("site" TEXT NOT NULL, "record" INTEGER NOT NULL,
    "allowed" INTEGER NOT NULL, "decided" TEXT NOT NULL, PRIMARY KEY ("site", "record")) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS "_browserIdentity" ("id" TEXT NOT NULL);
-- The host each account's website names, in lower case, without its scheme,
-- user, port, path or "www.": a page's logins are found through it in a few
-- rows, whatever the number of records. It only narrows the search: the
-- program checks scheme, host and port of every record found against the page.
CREATE TABLE IF NOT EXISTS "_accountSites" ("site" TEXT NOT NULL, "record" INTEGER NOT NULL,
    PRIMARY KEY ("site", "record")) WITHOUT ROWID;
CREATE INDEX "_accountSites records" ON "_accountSites" ("record");
CREATE VIEW IF NOT EXISTS "_accountSiteNames" AS
    SELECT "_key", CASE WHEN substr(h, 1, 4) = 'www.' THEN substr(h, 5) ELSE h END AS "site" FROM (
    SELECT "_key", rtrim(CASE WHEN instr(p, ':') > 0 THEN substr(p, 1, instr(p, ':') - 1) ELSE p END, '.') AS h FROM (
    SELECT "_key", CASE WHEN instr(u, '@') > 0 THEN substr(u, instr(u, '@') + 1) ELSE u END AS p FROM (
    SELECT "_key", substr(a, 1, min(instr(a || '/', '/'), instr(a || '?', '?'), instr(a || '#', '#')) - 1) AS u FROM (
    SELECT "_key", CASE WHEN instr(w, '://') > 0 THEN substr(w, instr(w, '://') + 3) ELSE w END AS a FROM (
    SELECT "_key", lower(trim("Website")) AS w FROM "account")))));
CREATE TRIGGER "account site added" AFTER INSERT ON "account" BEGIN
    INSERT OR IGNORE INTO "_accountSites" ("site", "record")
        SELECT "site", "_key" FROM "_accountSiteNames" WHERE "_key" = new."_key" AND "site" <> ''; END;
CREATE TRIGGER "account site removed" AFTER DELETE ON "account" BEGIN
    DELETE FROM "_accountSites" WHERE "record" = old."_key";
    DELETE FROM "_browserDecisions" WHERE "record" = old."_key"; END;
CREATE TRIGGER "account site changed" AFTER UPDATE OF "_key", "Website" ON "account" BEGIN
    DELETE FROM "_accountSites" WHERE "record" = old."_key";
    DELETE FROM "_browserDecisions" WHERE "record" = old."_key" AND old."Website" IS NOT new."Website";
    INSERT OR IGNORE INTO "_accountSites" ("site", "record")
        SELECT "site", "_key" FROM "_accountSiteNames" WHERE "_key" = new."_key" AND "site" <> ''; END;
INSERT OR IGNORE INTO "_accountSites" ("site", "record") SELECT "site", "_key" FROM "_accountSiteNames" WHERE "site" <> '';

PRAGMA user_version = 4;

-- Version 5: a smaller file.
-- Each record's identity is kept as the 16 bytes of its UUID (a blob) instead of
-- its 36 characters of text, and "_machine" as the number of the computer in
-- "_machines" instead of that computer's id: the two took as much room as the
-- text of a short record, once in the table and the identity again in its
-- index. The program turns the identities and computers already there into the
-- new forms after this part (see StoredIdentity); what it shows and takes stays
-- UUID text and computer ids. A new record's identity is still a random
-- version 4 UUID, now made as bytes.
-- The index on the keys goes: SQLite finds a key in the table itself, and a
-- walk over the keys reads the table's own tree. The index of the browser's
-- sites by record goes too: a record's site is found again from its website.
CREATE TABLE IF NOT EXISTS "_machines" ("number" INTEGER PRIMARY KEY, "machine" TEXT NOT NULL UNIQUE);
DROP INDEX IF EXISTS "account keys";
DROP TRIGGER IF EXISTS "account identity given";
CREATE TRIGGER "account identity given" AFTER INSERT ON "account"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "account" SET "_id" = coalesce(new."_id", CAST(randomblob(6) ||
        substr(x'404142434445464748494a4b4c4d4e4f', 1 + abs(random() % 16), 1) || randomblob(1) ||
        substr(x'8090a0b0', 1 + abs(random() % 4), 1) || randomblob(7) AS BLOB)),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
DROP INDEX IF EXISTS "Credit Card keys";
DROP TRIGGER IF EXISTS "Credit Card identity given";
CREATE TRIGGER "Credit Card identity given" AFTER INSERT ON "Credit Card"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "Credit Card" SET "_id" = coalesce(new."_id", CAST(randomblob(6) ||
        substr(x'404142434445464748494a4b4c4d4e4f', 1 + abs(random() % 16), 1) || randomblob(1) ||
        substr(x'8090a0b0', 1 + abs(random() % 4), 1) || randomblob(7) AS BLOB)),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
DROP INDEX IF EXISTS "Personal keys";
DROP TRIGGER IF EXISTS "Personal identity given";
CREATE TRIGGER "Personal identity given" AFTER INSERT ON "Personal"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "Personal" SET "_id" = coalesce(new."_id", CAST(randomblob(6) ||
        substr(x'404142434445464748494a4b4c4d4e4f', 1 + abs(random() % 16), 1) || randomblob(1) ||
        substr(x'8090a0b0', 1 + abs(random() % 4), 1) || randomblob(7) AS BLOB)),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
DROP INDEX IF EXISTS "Notes keys";
DROP TRIGGER IF EXISTS "Notes identity given";
CREATE TRIGGER "Notes identity given" AFTER INSERT ON "Notes"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "Notes" SET "_id" = coalesce(new."_id", CAST(randomblob(6) ||
        substr(x'404142434445464748494a4b4c4d4e4f', 1 + abs(random() % 16), 1) || randomblob(1) ||
        substr(x'8090a0b0', 1 + abs(random() % 4), 1) || randomblob(7) AS BLOB)),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
DROP INDEX IF EXISTS "Reminder keys";
DROP TRIGGER IF EXISTS "Reminder identity given";
CREATE TRIGGER "Reminder identity given" AFTER INSERT ON "Reminder"
    WHEN new."_id" IS NULL OR new."_modified" IS NULL BEGIN
    UPDATE "Reminder" SET "_id" = coalesce(new."_id", CAST(randomblob(6) ||
        substr(x'404142434445464748494a4b4c4d4e4f', 1 + abs(random() % 16), 1) || randomblob(1) ||
        substr(x'8090a0b0', 1 + abs(random() % 4), 1) || randomblob(7) AS BLOB)),
        "_modified" = coalesce(new."_modified", CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER))
        WHERE "_key" = new."_key"; END;
-- The site triggers find a record's site from its own website, old or new,
-- as "_accountSiteNames" does, each step computed once ("LIMIT 1" keeps SQLite
-- from writing the steps into one another, which made every statement that
-- changes a login take milliseconds to prepare).
DROP INDEX IF EXISTS "_accountSites records";
DROP TRIGGER IF EXISTS "account site added";
DROP TRIGGER IF EXISTS "account site removed";
DROP TRIGGER IF EXISTS "account site changed";
CREATE TRIGGER "account site added" AFTER INSERT ON "account" BEGIN
    INSERT OR IGNORE INTO "_accountSites" ("site", "record") SELECT "site", new."_key" FROM (
        SELECT CASE WHEN substr(h, 1, 4) = 'www.' THEN substr(h, 5) ELSE h END AS "site" FROM (
        SELECT rtrim(CASE WHEN instr(p, ':') > 0 THEN substr(p, 1, instr(p, ':') - 1) ELSE p END, '.') AS h FROM (
        SELECT CASE WHEN instr(u, '@') > 0 THEN substr(u, instr(u, '@') + 1) ELSE u END AS p FROM (
        SELECT substr(a, 1, min(instr(a || '/', '/'), instr(a || '?', '?'), instr(a || '#', '#')) - 1) AS u FROM (
        SELECT CASE WHEN instr(w, '://') > 0 THEN substr(w, instr(w, '://') + 3) ELSE w END AS a FROM (
        SELECT lower(trim(new."Website")) AS w LIMIT 1) LIMIT 1) LIMIT 1) LIMIT 1) LIMIT 1)) WHERE "site" <> ''; END;
CREATE TRIGGER "account site removed" AFTER DELETE ON "account" BEGIN
    DELETE FROM "_accountSites" WHERE "record" = old."_key" AND "site" = (
        SELECT CASE WHEN substr(h, 1, 4) = 'www.' THEN substr(h, 5) ELSE h END AS "site" FROM (
        SELECT rtrim(CASE WHEN instr(p, ':') > 0 THEN substr(p, 1, instr(p, ':') - 1) ELSE p END, '.') AS h FROM (
        SELECT CASE WHEN instr(u, '@') > 0 THEN substr(u, instr(u, '@') + 1) ELSE u END AS p FROM (
        SELECT substr(a, 1, min(instr(a || '/', '/'), instr(a || '?', '?'), instr(a || '#', '#')) - 1) AS u FROM (
        SELECT CASE WHEN instr(w, '://') > 0 THEN substr(w, instr(w, '://') + 3) ELSE w END AS a FROM (
        SELECT lower(trim(old."Website")) AS w LIMIT 1) LIMIT 1) LIMIT 1) LIMIT 1) LIMIT 1));
    DELETE FROM "_browserDecisions" WHERE "record" = old."_key"; END;
CREATE TRIGGER "account site changed" AFTER UPDATE OF "_key", "Website" ON "account" BEGIN
    DELETE FROM "_accountSites" WHERE "record" = old."_key" AND "site" = (
        SELECT CASE WHEN substr(h, 1, 4) = 'www.' THEN substr(h, 5) ELSE h END AS "site" FROM (
        SELECT rtrim(CASE WHEN instr(p, ':') > 0 THEN substr(p, 1, instr(p, ':') - 1) ELSE p END, '.') AS h FROM (
        SELECT CASE WHEN instr(u, '@') > 0 THEN substr(u, instr(u, '@') + 1) ELSE u END AS p FROM (
        SELECT substr(a, 1, min(instr(a || '/', '/'), instr(a || '?', '?'), instr(a || '#', '#')) - 1) AS u FROM (
        SELECT CASE WHEN instr(w, '://') > 0 THEN substr(w, instr(w, '://') + 3) ELSE w END AS a FROM (
        SELECT lower(trim(old."Website")) AS w LIMIT 1) LIMIT 1) LIMIT 1) LIMIT 1) LIMIT 1));
    DELETE FROM "_browserDecisions" WHERE "record" = old."_key" AND old."Website" IS NOT new."Website";
    INSERT OR IGNORE INTO "_accountSites" ("site", "record") SELECT "site", new."_key" FROM (
        SELECT CASE WHEN substr(h, 1, 4) = 'www.' THEN substr(h, 5) ELSE h END AS "site" FROM (
        SELECT rtrim(CASE WHEN instr(p, ':') > 0 THEN substr(p, 1, instr(p, ':') - 1) ELSE p END, '.') AS h FROM (
        SELECT CASE WHEN instr(u, '@') > 0 THEN substr(u, instr(u, '@') + 1) ELSE u END AS p FROM (
        SELECT substr(a, 1, min(instr(a || '/', '/'), instr(a || '?', '?'), instr(a || '#', '#')) - 1) AS u FROM (
        SELECT CASE WHEN instr(w, '://') > 0 THEN substr(w, instr(w, '://') + 3) ELSE w END AS a FROM (
        SELECT lower(trim(new."Website")) AS w LIMIT 1) LIMIT 1) LIMIT 1) LIMIT 1) LIMIT 1)) WHERE "site" <> ''; END;

PRAGMA user_version = 5;
