-- cmg290_explain: the explanation as jsonb, its result equal to cmg290_group.
CREATE FUNCTION put(record text, pos integer, value text) RETURNS text
LANGUAGE sql IMMUTABLE AS $$ SELECT overlay(rpad(record, 1251) PLACING value FROM pos) $$;

-- Grouped, RIC 01, items blank, 2.90, a pair of codes in cells 1 and 2.
CREATE TEMP TABLE r AS
SELECT put(put(put(put(put(put('IRF-PAI', 657, '19500310'), 688, '20200310'), 720, '  01.1'),
               996, '20200315'), 754, 'B39.4^^^'), 762, 'G02.^^^^') AS good;

SELECT e->'result' AS result, e->'impairment' AS impairment FROM r, cmg290_explain(good) e;
SELECT e->'cmg_row' AS cmg_row, e->'motor'->'sum' AS motor_sum, e->'motor'->'items'->9 AS item_10
FROM r, cmg290_explain(good) e;
SELECT e->'tier'->>'letter' AS letter, e->'tier'->>'list' AS list, e->'tier'->'row' AS row,
       e->'tier'->'codes' AS codes, e->'tier'->'cells' AS cells
FROM r, cmg290_explain(good) e;

-- RIC 03: the pair is excluded and bars secondary rows 1 and 31.
SELECT e->'tier'->'excluded_pairs' AS excluded_pairs, e->'tier'->'skipped' AS skipped,
       e->'result'->>'cmg' AS cmg
FROM r, cmg290_explain(put(good, 720, '  02.1')) e;

-- Not grouped: what the pass did not reach is null.
SELECT e->'result'->>'status' AS status, e->'checks'->0->>'outcome' AS first_check,
       e->'checks'->1->>'outcome' AS second_check, e->'tier' AS tier, e->'cmg_row' AS cmg_row
FROM r, cmg290_explain(put(good, 1, 'IRF-PA    ')) e;

-- Short records read as blanks; NULL gives NULL; bytes above 127 in this
-- SQL_ASCII database come back as they are.
SELECT cmg290_explain('IRF-PAI')->'result' AS short_record;
SELECT cmg290_explain(NULL) IS NULL AS null_gives_null;
SELECT e->'fields'->>'record_id' = E'IRF-PAI\xe9\xff ' AS bytes_kept
FROM r, cmg290_explain(put(good, 8, E'\xe9\xff')) e;

-- The result of every one of 2,000 random byte strings equals cmg290_group's.
SELECT setseed(0.11);
WITH records AS (
  SELECT CASE WHEN i % 2 = 0 THEN
           (SELECT coalesce(string_agg(chr(1 + (random() * 254)::int), ''), '')
            FROM generate_series(1, (i * 7919) % 1300))
         ELSE
           left(overlay((SELECT good FROM r)
                        PLACING (SELECT string_agg(chr(1 + (random() * 254)::int), '')
                                 FROM generate_series(1, 1 + (i * 31) % 40))
                        FROM 1 + (random() * 1250)::int),
                1 + (random() * 1400)::int)
         END AS record
  FROM generate_series(1, 2000) i
)
SELECT count(*) AS records,
       count(*) FILTER (WHERE (e->'result'->>'status')::int = g.status
                          AND e->'result'->>'cmg' IS NOT DISTINCT FROM g.cmg
                          AND (e->'result'->>'motor_score')::numeric IS NOT DISTINCT FROM g.motor_score
                          AND (e->'result'->>'cognitive_score')::int IS NOT DISTINCT FROM g.cognitive_score
                          AND (e->'result'->>'age')::int IS NOT DISTINCT FROM g.age
                          AND e->'result'->>'table_version' IS NOT DISTINCT FROM g.table_version)
         AS same_as_group
FROM records, cmg290_explain(record) e, cmg290_group(record) g;
