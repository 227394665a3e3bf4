-- The sign-in password store. One record; the initial password is "wren".
INSERT INTO "Pass" ("Password") VALUES ('wren');
