-- QuizNewt database schema (Firebird 3, UTF8).
-- Statements are separated by semicolons at line ends; no procedures, so no SET TERM.
-- No foreign keys: a question or category is deleted before its links are read
-- or removed, and links left behind simply drop out of every join.

CREATE SEQUENCE AUTO_INC;

CREATE TABLE content (
    contentID INTEGER NOT NULL PRIMARY KEY,
    question VARCHAR(4000),
    answer VARCHAR(1000)
);

CREATE TABLE category (
    catID INTEGER NOT NULL PRIMARY KEY,
    catName VARCHAR(255)
);

CREATE TABLE category_content (
    catID INTEGER NOT NULL,
    contentID INTEGER NOT NULL
);

CREATE TABLE users (
    userID INTEGER NOT NULL PRIMARY KEY,
    username VARCHAR(255),
    score INTEGER DEFAULT 0,
    hasControl INTEGER DEFAULT 0,
    hasAdmin INTEGER DEFAULT 0
);

-- The game looks names up without regard to case, everything else exactly.
CREATE INDEX category_upper_name ON category COMPUTED BY (UPPER(catName));
CREATE INDEX category_name ON category (catName);
CREATE INDEX users_upper_name ON users COMPUTED BY (UPPER(username));
CREATE INDEX users_name ON users (username);
CREATE INDEX category_content_cat ON category_content (catID);
CREATE INDEX category_content_content ON category_content (contentID);
