-- The users who signed in on this computer.
CREATE TABLE [User] (
    username TEXT COLLATE NOCASE,
    password TEXT COLLATE NOCASE,
    remember INTEGER NOT NULL DEFAULT 0,
    LastLogin INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX User_username ON [User] (username);
