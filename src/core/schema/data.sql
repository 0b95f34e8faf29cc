-- Template of every user's database. Each user's file starts as a byte copy of this one.
-- Types follow the engine's conventions: AutoNumber keys never reuse an id, text compares
-- case-insensitively, Yes/No is 0/1, dates are 'yyyy-mm-dd hh:mm:ss' texts.

CREATE TABLE config (
    [key] TEXT COLLATE NOCASE,
    value TEXT COLLATE NOCASE
);
-- One row per setting name; the program looks settings up by name and adds a missing one.
CREATE UNIQUE INDEX config_key ON config ([key]);

CREATE TABLE ContactCategory (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    CategoryName TEXT COLLATE NOCASE,
    ParentId INTEGER DEFAULT 0
);

CREATE TABLE ContactList (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    Selected INTEGER DEFAULT 0,
    Name TEXT COLLATE NOCASE,
    MobilePhone TEXT COLLATE NOCASE,
    Sex TEXT COLLATE NOCASE,
    Birthday TEXT,
    CatID INTEGER DEFAULT 0,
    Marriage TEXT COLLATE NOCASE,
    IdCardNum TEXT COLLATE NOCASE,
    Vocation TEXT COLLATE NOCASE,
    Job TEXT COLLATE NOCASE,
    Favorite TEXT COLLATE NOCASE,
    EMail TEXT COLLATE NOCASE,
    Address TEXT COLLATE NOCASE,
    Remark TEXT COLLATE NOCASE
);
CREATE INDEX ContactList_MobilePhone ON ContactList (MobilePhone);
CREATE INDEX ContactList_CatID ON ContactList (CatID);

CREATE TABLE MsgCategory (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    CategoryName TEXT COLLATE NOCASE,
    ParentId INTEGER DEFAULT 0
);

CREATE TABLE DestineMsg (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    CatID INTEGER DEFAULT 0,
    Message TEXT COLLATE NOCASE
);
CREATE INDEX DestineMsg_CatID ON DestineMsg (CatID);

CREATE TABLE DraftBox (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    IsSelect INTEGER DEFAULT 0,
    MobilePhone TEXT COLLATE NOCASE,
    A TEXT COLLATE NOCASE,
    B TEXT COLLATE NOCASE,
    C TEXT COLLATE NOCASE,
    D TEXT COLLATE NOCASE,
    E TEXT COLLATE NOCASE,
    IsRepeat INTEGER NOT NULL DEFAULT 0,
    Preference INTEGER DEFAULT 0
);
-- Every typed or imported number is looked up here before its insert.
CREATE INDEX DraftBox_MobilePhone ON DraftBox (MobilePhone);

CREATE TABLE Preference (
    MobilePhone TEXT COLLATE NOCASE,
    isUpload INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX Preference_MobilePhone ON Preference (MobilePhone);

CREATE TABLE Messages (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    Message TEXT COLLATE NOCASE,
    SubmitTime TEXT,
    FinishTime TEXT,
    Amount INTEGER DEFAULT 0,
    FailNum INTEGER DEFAULT 0
);
CREATE INDEX Messages_SubmitTime ON Messages (SubmitTime);

CREATE TABLE Finish (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    PhoneNumber TEXT COLLATE NOCASE,
    MsgId INTEGER DEFAULT 0,
    State TEXT COLLATE NOCASE
);
CREATE INDEX Finish_MsgId ON Finish (MsgId);

-- Requests of a send run whose outcome is not recorded yet: marked ones (Queued 0) may have
-- reached the platform, queued ones (Queued 1) have certainly not gone out.
CREATE TABLE SendMarks (
    id INTEGER PRIMARY KEY,
    MsgId INTEGER DEFAULT 0,
    SubmitTime TEXT,
    Message TEXT,
    Numbers TEXT,
    DraftIds TEXT,
    Queued INTEGER DEFAULT 0
);

INSERT INTO config ([key], value) VALUES ('Verson', '1.0.0');
INSERT INTO config ([key], value) VALUES ('EmpSign', '');
