-- cmg290_edits: the faults a record's status lets pass, as a jsonb array.
CREATE FUNCTION edited(record text, pos integer, value text) RETURNS text
LANGUAGE sql IMMUTABLE AS $$ SELECT overlay(rpad(record, 1251) PLACING value FROM pos) $$;
CREATE FUNCTION codes(edits jsonb) RETURNS text
LANGUAGE sql IMMUTABLE AS $$ SELECT string_agg(e->>'code', ';') FROM jsonb_array_elements(edits) e $$;

-- Grouped without an edit: 2.90, RIC 01, items blank, a pair of codes.
CREATE TEMP TABLE r AS
SELECT edited(edited(edited(edited(edited(edited('IRF-PAI', 657, '19500310'), 688, '20200310'),
                                   720, '  01.1'), 996, '20200315'), 754, 'B39.4^^^'),
              762, 'G02.^^^^') AS clean;
SELECT cmg290_cmg(clean) AS cmg, cmg290_edits(clean) AS edits FROM r;

-- An item of 08, and a code without its dot and filler that the list holds
-- written so: each edit in full, in the order the checks run.
SELECT jsonb_pretty(cmg290_edits(edited(edited(clean, 894, '08'), 770, 'J3801'))) AS edits FROM r;
-- The grouping is the same with and without asking for edits.
SELECT cmg290_group(edited(clean, 770, 'J3801')) AS grouped,
       codes(cmg290_edits(edited(clean, 770, 'J3801'))) AS codes,
       cmg290_group(edited(clean, 770, 'J3801')) AS grouped_again
FROM r;

-- Edits of the whole record have a null field; no CMG row for these
-- scores gives the tier letter alone.
SELECT e->>'code' AS code, e->'field' AS field, e->>'value' AS value, cmg290_cmg(rec) AS cmg
FROM r, edited(edited(edited(edited(edited(edited(edited(edited(edited(edited(edited(edited(
          clean, 882, '-9'), 888, '-9'), 894, '-9'), 900, '-9'), 906, '-9'), 912, '-9'),
          918, '-9'), 924, '-9'), 930, '-9'), 936, '-9'), 948, '-9'), 956, '-9') AS rec,
     jsonb_array_elements(cmg290_edits(rec)) e;
SELECT cmg290_edits(left(clean, 1200)) AS short_record FROM r;

-- Not grouped by design: no edits. A version date that is no date.
SELECT cmg290_edits(edited(clean, 1, 'IRF-PA')) AS not_irf_pai,
       codes(cmg290_edits(edited(clean, 996, '20230230'))) AS version_date
FROM r;

-- NULL gives NULL; bytes above 127 in this SQL_ASCII database come back as
-- they are; a backslash and a quote stay themselves.
SELECT cmg290_edits(NULL) IS NULL AS null_gives_null;
SELECT e->>'code' AS code, e->>'value' = E'I10.\x80' AS byte_kept, e->>'message' AS message
FROM r, jsonb_array_elements(cmg290_edits(edited(clean, 762, E'I10.\x80   '))) e;
SELECT e->>'field' AS field, e->>'value' AS value, e->>'message' AS message
FROM r, jsonb_array_elements(cmg290_edits(edited(clean, 894, E'\\"'))) e;

-- Edits per code over a table, in parallel workers too.
CREATE TABLE edits_sample AS
SELECT i AS id, CASE i % 4 WHEN 0 THEN clean
                           WHEN 1 THEN edited(clean, 894, '88')
                           WHEN 2 THEN edited(edited(clean, 770, 'J3801'), 970, '-1')
                           ELSE edited(clean, 778, 'B39.4^^^') END AS record
FROM r, generate_series(1, 400) i;
SET force_parallel_mode = on;
SELECT e->>'code' AS code, e->>'severity' AS severity, count(*) AS edits,
       count(DISTINCT s.id) AS records
FROM edits_sample s, jsonb_array_elements(cmg290_edits(s.record)) e
GROUP BY 1, 2 ORDER BY 1;
RESET force_parallel_mode;
DROP TABLE edits_sample;

-- Any bytes give an array of whole edits.
SELECT setseed(0.26);
WITH records AS (
  SELECT left(overlay((SELECT clean FROM r)
                      PLACING (SELECT string_agg(chr(1 + (random() * 254)::int), '')
                               FROM generate_series(1, 1 + (i * 31) % 40))
                      FROM 1 + (random() * 1250)::int),
              1 + (random() * 1400)::int) AS record
  FROM generate_series(1, 2000) i
)
SELECT count(*) AS records,
       count(*) FILTER (WHERE jsonb_typeof(cmg290_edits(record)) = 'array') AS arrays,
       count(*) FILTER (WHERE EXISTS (
         SELECT FROM jsonb_array_elements(cmg290_edits(record)) e
         WHERE NOT e ?& ARRAY['code', 'severity', 'field', 'value', 'message']
            OR e->>'code' IS NULL OR e->>'message' IS NULL)) AS incomplete
FROM records;

DROP FUNCTION codes(jsonb);
DROP FUNCTION edited(text, integer, text);
