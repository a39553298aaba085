-- Declares the case-mix grouper to an Oracle database as an external
-- procedure: the library object that names libcmg290.so, the PL/SQL
-- declaration of its entry callcmg290, and a PL/SQL function that calls it
-- with output buffers of known size.
--
-- Run in SQL*Plus (or SQLcl) as the schema that is to own the functions; it
-- needs the CREATE LIBRARY and CREATE PROCEDURE privileges. Give the path of
-- the installed library first:
--
--   SQL> DEFINE cmg290_library = /usr/local/lib/libcmg290.so
--   SQL> @cmg290.sql
--
-- The external-procedure agent loads only the libraries it is allowed to:
-- the same path must be listed in its EXTPROC_DLLS setting.
--
-- Calling it:
--
--   DECLARE
--     cmg VARCHAR2(8); motor VARCHAR2(8); table_version VARCHAR2(8);
--     grouper_version VARCHAR2(8); status BINARY_INTEGER;
--     cognitive BINARY_INTEGER; age BINARY_INTEGER; rc BINARY_INTEGER;
--   BEGIN
--     rc := cmg290_group(:record, cmg, status, motor, cognitive, age,
--                        table_version, grouper_version);
--   END;
--
-- rc is the grouper's status code (0 grouped, otherwise the number of the
-- first check that failed). When the database context cannot be set up the
-- call raises ORA-20000 with the reason.

CREATE OR REPLACE LIBRARY cmg290_lib AS '&cmg290_library';
/

-- The entry itself: the agent's context first, then the record and the seven
-- outputs, each passed by address, and the status code as the integer result.
-- The text outputs are written with their terminator: the actual parameters
-- need room for 6 (cmg_result), 7 (motor_score) and 5 bytes (the versions).
CREATE OR REPLACE FUNCTION cmg290_call (
  record          IN  VARCHAR2,
  cmg_result      OUT VARCHAR2,
  status          OUT BINARY_INTEGER,
  motor_score     OUT VARCHAR2,
  cognitive_score OUT BINARY_INTEGER,
  age             OUT BINARY_INTEGER,
  table_version   OUT VARCHAR2,
  grouper_version OUT VARCHAR2
) RETURN BINARY_INTEGER
AS LANGUAGE C
  LIBRARY cmg290_lib
  NAME "callcmg290"
  WITH CONTEXT
  PARAMETERS (
    CONTEXT,
    record          STRING,
    cmg_result      STRING,
    status          BY REFERENCE INT,
    motor_score     STRING,
    cognitive_score BY REFERENCE INT,
    age             BY REFERENCE INT,
    table_version   STRING,
    grouper_version STRING,
    RETURN          INT
  );
/

-- The function to call from PL/SQL: it hands cmg290_call buffers
-- wide enough for every text the grouper writes, whatever the caller
-- declared, and passes the results on. A caller's variable that is too small
-- for a result raises VALUE_ERROR here instead of being overrun.
CREATE OR REPLACE FUNCTION cmg290_group (
  record          IN  VARCHAR2,
  cmg_result      OUT VARCHAR2,
  status          OUT BINARY_INTEGER,
  motor_score     OUT VARCHAR2,
  cognitive_score OUT BINARY_INTEGER,
  age             OUT BINARY_INTEGER,
  table_version   OUT VARCHAR2,
  grouper_version OUT VARCHAR2
) RETURN BINARY_INTEGER
AS
  l_cmg_result      VARCHAR2(8);
  l_motor_score     VARCHAR2(8);
  l_table_version   VARCHAR2(8);
  l_grouper_version VARCHAR2(8);
  l_status          BINARY_INTEGER;
  l_cognitive_score BINARY_INTEGER;
  l_age             BINARY_INTEGER;
  l_result          BINARY_INTEGER;
BEGIN
  l_result := cmg290_call(record, l_cmg_result, l_status, l_motor_score,
                          l_cognitive_score, l_age, l_table_version,
                          l_grouper_version);
  cmg_result      := l_cmg_result;
  status          := l_status;
  motor_score     := l_motor_score;
  cognitive_score := l_cognitive_score;
  age             := l_age;
  table_version   := l_table_version;
  grouper_version := l_grouper_version;
  RETURN l_result;
END cmg290_group;
/
