-- The sign-in password store. One record; the initial password is "wren".
CREATE TABLE "Pass" ("_key" INTEGER PRIMARY KEY AUTOINCREMENT, "Password" TEXT);
CREATE INDEX "Pass keys" ON "Pass" ("_key");
