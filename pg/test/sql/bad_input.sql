-- Records no caller should send, and calls no caller should make. Records
-- are a groupable record with one field overwritten at its position.
CREATE FUNCTION bad_input_put(record text, at int, value text)
RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT overlay(record PLACING value FROM at) $$;

CREATE TEMP TABLE good AS
SELECT bad_input_put(bad_input_put(bad_input_put(bad_input_put(bad_input_put(
         repeat(' ', 1251), 1, 'IRF-PAI   1'), 657, '19500310'), 688, '20200310'),
         720, '  01.1'), 996, '20200315') AS record;
SELECT g.* FROM good, LATERAL cmg290_group(good.record) g;

-- Impossible dates are taken as the numbers they are: month 13 and day 32
-- count as such; a version date of zeros is too early, a birth in year 0
-- too long ago, an age date of zeros before the birth.
SELECT c.name, g.status, g.cmg, g.age, g.table_version
FROM good, (VALUES
  ('birth month 13, day 32', 657, '19501332'),
  ('age date month 13',      688, '20201331'),
  ('version month 13',       996, '20201399'),
  ('version date zeros',     996, '00000000'),
  ('birth date zeros',       657, '00000000'),
  ('age date zeros',         688, '00000000')
) AS c(name, pos, value), LATERAL cmg290_group(bad_input_put(good.record, c.pos, c.value)) g;

-- Megabytes: only the first 1251 bytes are read.
SELECT length(record || repeat('7', 10000000)) AS bytes,
       cmg290_group(record || repeat('7', 10000000)) = cmg290_group(record) AS same_result
FROM good;

-- Line ends left on a record: after position 1251 they are not read. Inside
-- the record a carriage return is a character: white space before the
-- digits of a number, a character of the record identifier.
SELECT cmg290_group(record || E'\r') = cmg290_group(record) AS cr_after,
       cmg290_group(record || E'\r\n') = cmg290_group(record) AS crlf_after,
       (cmg290_group(bad_input_put(record, 882, E'\r7'))).motor_score
         = (cmg290_group(bad_input_put(record, 882, ' 7'))).motor_score AS cr_before_item,
       (cmg290_group(bad_input_put(record, 1, E'IRF-PAI\r'))).status AS cr_in_identifier
FROM good;

-- Positions count bytes, not characters: a character of two bytes (as
-- UTF-8 stores "é") moves every later field by one, and the version date
-- read at its position is then too early.
SELECT (cmg290_group(overlay(record PLACING 'e' FROM 12 FOR 1))).status AS one_byte,
       (cmg290_group(overlay(record PLACING chr(195) || chr(169) FROM 12 FOR 1))).status
         AS two_bytes
FROM good;

-- Blanks only.
SELECT g.* FROM cmg290_group(repeat(' ', 1251)) g;

-- A zero byte cannot be part of a text value: the server refuses it before
-- the function is called.
SELECT cmg290_group(E'IRF-PAI\000');
SELECT cmg290_group(convert_from('\x4952462d50414900'::bytea, 'SQL_ASCII'));

-- Wrong arguments are refused by the server.
SELECT cmg290_group(1251);
SELECT cmg290_group();
SELECT cmg290_group('a', 'b');
SELECT cmg290_status_text('x');

-- The session goes on grouping.
SELECT g.status, g.cmg FROM good, LATERAL cmg290_group(good.record) g;

DROP FUNCTION bad_input_put(text, int, text);
