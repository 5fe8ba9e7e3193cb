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

-- [play] What play teaches about each question: further accepted answers,
-- lines that nearly matched, counts, players' reports and retired questions.
-- Databases made before these tables get this whole section when the program
-- or the setup tool opens them (Database::upgrade).
CREATE TABLE content_answer (
    contentID INTEGER NOT NULL,
    answer VARCHAR(1000) NOT NULL
);
CREATE INDEX content_answer_content ON content_answer (contentID);

CREATE TABLE question_stat (
    contentID INTEGER NOT NULL PRIMARY KEY,
    asked INTEGER DEFAULT 0 NOT NULL,
    answered INTEGER DEFAULT 0 NOT NULL,
    timed_out INTEGER DEFAULT 0 NOT NULL,
    total_ms BIGINT DEFAULT 0 NOT NULL,
    fastest_ms INTEGER,
    last_asked TIMESTAMP
);

CREATE TABLE near_miss (
    contentID INTEGER NOT NULL,
    answer VARCHAR(1000) NOT NULL,
    times INTEGER DEFAULT 1 NOT NULL,
    last_by VARCHAR(255),
    last_at TIMESTAMP
);
CREATE INDEX near_miss_content ON near_miss (contentID);

CREATE TABLE question_report (
    contentID INTEGER NOT NULL,
    reporter VARCHAR(255) NOT NULL,
    reported_at TIMESTAMP NOT NULL,
    note VARCHAR(1000)
);
CREATE INDEX question_report_content ON question_report (contentID);
CREATE INDEX question_report_reporter ON question_report COMPUTED BY (UPPER(reporter));

-- A retired question stays in its category but is never drawn.
CREATE TABLE content_retired (
    contentID INTEGER NOT NULL PRIMARY KEY,
    retired_at TIMESTAMP
);

-- Two accepted answers of a question differ in more than case; the answer
-- itself is not repeated among them.
CREATE OR ALTER EXCEPTION answer_exists 'The question already accepts "@1"';

SET TERM ^ ;
CREATE OR ALTER TRIGGER content_answer_unique FOR content_answer BEFORE INSERT OR UPDATE AS
DECLARE taken VARCHAR(1000) CHARACTER SET UTF8;
BEGIN
    IF (INSERTING OR UPPER(NEW.answer) IS DISTINCT FROM UPPER(OLD.answer)) THEN
    BEGIN
        SELECT FIRST 1 answer FROM content WHERE contentID = NEW.contentID AND UPPER(answer) = UPPER(NEW.answer)
            INTO :taken;
        IF (taken IS NULL) THEN
            SELECT FIRST 1 answer FROM content_answer
                WHERE contentID = NEW.contentID AND UPPER(answer) = UPPER(NEW.answer) INTO :taken;
        IF (taken IS NOT NULL) THEN
            EXCEPTION answer_exists USING (taken);
    END
END^

-- What play kept about a question goes with it.
CREATE OR ALTER TRIGGER content_play_data_go FOR content AFTER DELETE AS
BEGIN
    DELETE FROM content_answer WHERE contentID = OLD.contentID;
    DELETE FROM question_stat WHERE contentID = OLD.contentID;
    DELETE FROM near_miss WHERE contentID = OLD.contentID;
    DELETE FROM question_report WHERE contentID = OLD.contentID;
    DELETE FROM content_retired WHERE contentID = OLD.contentID;
END^
SET TERM ; ^

-- Every point given, with its question, room and time: the history behind
-- the boards by period. users.score stays the score; this is not summed
-- into it, so editing or resetting scores leaves the history alone.
CREATE TABLE score_event (
    username VARCHAR(255) NOT NULL,
    contentID INTEGER,
    network VARCHAR(255),
    channel VARCHAR(255),
    scored_at TIMESTAMP NOT NULL
);
CREATE INDEX score_event_at ON score_event (scored_at);
CREATE INDEX score_event_upper_name ON score_event COMPUTED BY (UPPER(username));

-- One row per room a QuizNewt plays in, kept up to date at each step of its
-- game, for whoever watches from outside. Never the open question's answer.
-- roomKey is network and channel joined by a blank.
CREATE TABLE room_state (
    roomKey VARCHAR(255) NOT NULL PRIMARY KEY,
    network VARCHAR(255),
    channel VARCHAR(255),
    category VARCHAR(255),
    state VARCHAR(16),
    asked_at TIMESTAMP,
    answer_seconds INTEGER,
    question_number INTEGER,
    updated_at TIMESTAMP
);

-- A big category is drawn from by sampling keys between its lowest and
-- highest: these find both ends without reading the category.
CREATE INDEX category_content_keys ON category_content (catID, contentID);
CREATE DESCENDING INDEX category_content_keys_desc ON category_content (catID, contentID);
