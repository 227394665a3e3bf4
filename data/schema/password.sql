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
