-- QuizNewt database schema (Firebird 3, UTF8).
-- Statements are separated by semicolons at line ends; SET TERM, as in isql,
-- changes the separator around a trigger whose body holds semicolons.
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

-- Category names differ in more than case: the room finds a category ignoring
-- case, so two such names would be one category there. A trigger rather
-- than a unique index, since databases made before this rule may hold such
-- names and must go on working; a rename that changes only the case passes.
-- Databases made before it get these two statements when the program opens
-- them (Database::upgrade), so both are CREATE OR ALTER and name category_exists.
CREATE OR ALTER EXCEPTION category_exists 'There is already a category named "@1"';

SET TERM ^ ;
CREATE OR ALTER TRIGGER category_unique_name FOR category BEFORE INSERT OR UPDATE AS
DECLARE taken VARCHAR(255) CHARACTER SET UTF8;
BEGIN
    IF (INSERTING OR UPPER(NEW.catName) IS DISTINCT FROM UPPER(OLD.catName)) THEN
    BEGIN
        SELECT FIRST 1 catName FROM category
            WHERE UPPER(catName) = UPPER(NEW.catName) AND catID <> NEW.catID INTO :taken;
        IF (ROW_COUNT > 0) THEN
            EXCEPTION category_exists USING (taken);
    END
END^
SET TERM ; ^
