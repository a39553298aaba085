-- Tier-table sets: cmg290.tier_tables names the directory of the tier lists
-- the functions group with. run_regress.sh wrote these sets under $SETS
-- (CMG290_TEST_SETS): compiled (the compiled-in lists exported), changed
-- (placeholder code A23.257 of 2.82 and 2.90 replaced by A23.256), deviating
-- (A33.23 no longer excludes RIC 01 in 2.90), faulty (an unknown tier on
-- line 5 of single-2.40.csv, secondary.csv missing), many (thirty malformed
-- codes in single-2.50.csv), unreadable. Errors are
-- shown with $SETS in place of the folder.
\getenv sets CMG290_TEST_SETS
SELECT set_config('test.sets', :'sets', false) AS ignored \gset
CREATE ROLE regress_cmg290_plain LOGIN;

-- A record of table version 2.90 (or the one of version_date), RIC 01 (or
-- that of impairment), the codes in comorbid cells 1 and 2.
CREATE FUNCTION coded(code text, code2 text DEFAULT '', version_date text DEFAULT '20200315',
                      impairment text DEFAULT '  01.1')
RETURNS text LANGUAGE sql IMMUTABLE AS $$
  SELECT overlay(overlay(overlay(overlay(overlay(overlay(rpad('IRF-PAI   1', 1251)
           PLACING '19500310' FROM 657) PLACING '20200310' FROM 688)
           PLACING rpad(impairment, 9) FROM 720) PLACING version_date FROM 996)
           PLACING rpad(code, 8) FROM 754) PLACING rpad(code2, 8) FROM 762)
$$;

-- Runs a statement; its first value, or its error with detail and hint.
CREATE FUNCTION attempt(statement text) RETURNS text LANGUAGE plpgsql AS $$
DECLARE
  result text;
  msg text;
  detail text;
  hint text;
BEGIN
  IF statement ILIKE 'SELECT %' THEN
    EXECUTE statement INTO result;
  ELSE
    EXECUTE statement;
    result := 'done';
  END IF;
  RETURN replace(result, current_setting('test.sets'), '$SETS');
EXCEPTION WHEN others THEN
  GET STACKED DIAGNOSTICS msg = MESSAGE_TEXT, detail = PG_EXCEPTION_DETAIL, hint = PG_EXCEPTION_HINT;
  RETURN replace(concat_ws(E'\n', 'ERROR:  ' || msg, 'DETAIL:  ' || nullif(detail, ''),
                           'HINT:  ' || nullif(hint, '')),
                 current_setting('test.sets'), '$SETS');
END $$;

-- Sets cmg290.tier_tables to $SETS/NAME (a name starting with "/" or
-- without $SETS as it is) for the session.
CREATE FUNCTION use_set(name text) RETURNS text LANGUAGE sql AS $$
  SELECT attempt(format('SELECT set_config(%L, %L, false)', 'cmg290.tier_tables',
                        CASE WHEN name = '' OR name LIKE '/%' OR name LIKE '.%' THEN name
                             ELSE current_setting('test.sets') || '/' || name END))
$$;

-- Before the module is loaded in a session, SET keeps any value as text. A
-- plain role's value is dropped when the module loads: the compiled-in
-- lists stay.
SET ROLE regress_cmg290_plain;
SELECT set_config('cmg290.tier_tables', current_setting('test.sets') || '/changed', false)
  IS NOT NULL AS kept_as_text;
RESET ROLE;
SELECT cmg290_tier_set()->>'name' AS name, cmg290_cmg(coded('A23.257^')) AS cmg;

-- A superuser's value of a set that does not load, taken before the module
-- is loaded (as from postgresql.conf): every call fails naming the problems,
-- rather than grouping with the compiled-in lists.
\c -
SELECT set_config('test.sets', :'sets', false) AS ignored \gset
SELECT set_config('cmg290.tier_tables', current_setting('test.sets') || '/faulty', false)
  IS NOT NULL AS kept_as_text;
SELECT attempt($$SELECT cmg290_cmg(coded('A23.257^'))$$) AS cmg;
SELECT attempt('SELECT cmg290_tier_set()') AS tier_set;
SELECT attempt($$SELECT cmg290_explain(coded('A23.257^'))->>'tier'$$) AS explained;
SELECT attempt($$SELECT cmg290_edits(coded('A23257'))$$) AS edits;
-- Once the module is loaded, SET checks the set and refuses it.
SELECT use_set('faulty');
SELECT use_set('');
SELECT cmg290_tier_set()->>'name' AS name, cmg290_cmg(coded('A23.257^')) AS cmg;

-- The default: the compiled-in set.
\c -
SELECT set_config('test.sets', :'sets', false) AS ignored \gset
SELECT cmg290_tier_set() - 'sha256' AS tier_set, length(cmg290_tier_set()->>'sha256') AS digits;
SHOW cmg290.tier_tables;
SHOW cmg290.tier_tables_allow_deviations;
SHOW cmg290.tier_tables_sha256;
SELECT p.proname, p.provolatile, p.proparallel FROM pg_proc p WHERE p.proname = 'cmg290_tier_set';
CREATE TEMP TABLE compiled_in AS SELECT cmg290_tier_set() AS tier_set;

-- Records carrying every code of every list of the compiled-in lists, in
-- the table version of the list, for RIC 01 and 02.
CREATE TEMP TABLE listed AS
SELECT coded(split_part(line, ',', 1), CASE WHEN l.file = 'pair.csv' THEN split_part(line, ',', 2)
                                            ELSE '' END,
             l.version_date, i.impairment) AS record
FROM (VALUES ('single-2.40.csv', '20100815'), ('single-2.50.csv', '20101015'),
             ('single-2.60.csv', '20120101'), ('single-2.60.csv', '20150101'),
             ('single-2.82.csv', '20160101'), ('single-2.90.csv', '20200315'),
             ('pair.csv', '20160101'), ('pair.csv', '20200315'),
             ('secondary.csv', '20200315')) AS l(file, version_date),
     LATERAL regexp_split_to_table(
       pg_read_file(current_setting('test.sets') || '/compiled/' || l.file), E'\n') AS line,
     (VALUES ('  01.1'), ('  02.1')) AS i(impairment)
WHERE line LIKE '%,%' AND line NOT LIKE 'code%';
CREATE TEMP TABLE by_compiled_in AS
SELECT record, cmg290_group(record)::text AS grouped,
       cmg290_explain(record)->'result' AS explained, cmg290_explain(record)->'tier'->'row' AS tier_row
FROM listed;
SELECT count(*) > 10000 AS many, string_agg(DISTINCT split_part(grouped, ',', 1), ' ') AS statuses,
       string_agg(DISTINCT left(split_part(grouped, ',', 2), 1), ' ') AS letters
FROM by_compiled_in;

-- The compiled-in lists exported and loaded: the same results and
-- explanations; the set is not the compiled-in one, but has its name,
-- digest and placeholders.
SELECT use_set('compiled');
SELECT s - 'sha256' AS tier_set, s->'sha256' = c.tier_set->'sha256' AS same_digest
FROM cmg290_tier_set() s, compiled_in c;
SELECT count(*) AS records,
       count(*) FILTER (WHERE cmg290_group(record)::text <> grouped) AS other_results,
       count(*) FILTER (WHERE cmg290_explain(record)->'result' <> explained
                          OR cmg290_explain(record)->'tier'->'row' <> tier_row) AS other_explanations
FROM by_compiled_in;

-- The changed set gives what its lists say, for the record grouped last
-- before the switch too (the backend's kept result is not taken).
SELECT use_set('');
SELECT cmg290_cmg(coded('A23.257^')) AS compiled_257, cmg290_cmg(coded('A23.256^')) AS compiled_256;
SELECT use_set('changed');
SELECT cmg290_cmg(coded('A23.256^')) AS changed_256, cmg290_cmg(coded('A23.257^')) AS changed_257,
       (cmg290_group(coded('A23.256^', version_date => '20160101'))).cmg AS changed_256_in_282,
       cmg290_cmg(coded('478.34', version_date => '20100815')) AS unchanged_240;
SELECT s - 'sha256' AS tier_set, s->'sha256' <> c.tier_set->'sha256' AS other_digest
FROM cmg290_tier_set() s, compiled_in c;
SELECT e->'result'->>'cmg' AS cmg, e->'tier'->>'list' AS list, e->'tier'->'row' AS row,
       e->'tier'->'lists'->0->>'name' AS file
FROM cmg290_explain(coded('A23.256^')) e;
SELECT count(*) FILTER (WHERE cmg290_group(record)::text <> grouped) AS other_results
FROM by_compiled_in;
-- Edits look a code up in the set in use: written without dot and filler,
-- A23.256^ is a form edit of the changed set's tier, A23.257^ no longer is.
SELECT cmg290_edits(coded('A23256'))->0->>'message' AS changed_256,
       cmg290_edits(coded('A23257')) AS changed_257;
SELECT use_set('');
SELECT cmg290_edits(coded('A23256')) AS compiled_256,
       cmg290_edits(coded('A23257'))->0->>'message' AS compiled_257;
SELECT use_set('changed');

-- A set that does not load is refused with its problems (the first 20, and
-- how many more; bytes outside printable ASCII as \xNN, a line cut after
-- 300 bytes), and the set in use stays; so are a relative path, a missing
-- or unreadable directory.
SELECT use_set('faulty');
SELECT regexp_replace(use_set('many'), 'W{20,}', 'W...W') AS refused;
SELECT max(length(line)) + length(current_setting('test.sets')) - length('$SETS') AS longest_line
FROM regexp_split_to_table(use_set('many'), E'\n') AS line;
-- The escapes and the cut are the setting's own: a path with byte 0xe9 and
-- lines of problems longer than 300 bytes.
SELECT regexp_replace(substr(r, strpos(r, 'DETAIL:')), '[L/]{20,}', 'L...L', 'g') AS refused,
       (SELECT max(octet_length(line)) FROM regexp_split_to_table(r, E'\n') AS line
        WHERE line NOT LIKE 'ERROR:%') + length(current_setting('test.sets')) - length('$SETS')
         AS longest_line
FROM use_set(E'\xe9/' || repeat('L', 200) || '/' || repeat('L', 200)) AS r;
SELECT use_set('missing');
SELECT use_set('unreadable');
SELECT use_set('./compiled');
SELECT current_setting('cmg290.tier_tables') = current_setting('test.sets') || '/changed'
  AS setting_kept, cmg290_tier_set()->>'name' AS name, cmg290_cmg(coded('A23.256^')) AS cmg;

-- A transaction's SET LOCAL, and a SET in a transaction rolled back, end
-- with it.
BEGIN;
SELECT attempt(format('SELECT set_config(%L, %L, true)', 'cmg290.tier_tables',
                      current_setting('test.sets') || '/compiled')) IS NOT NULL AS set_local;
SELECT cmg290_tier_set()->>'name' AS name, cmg290_cmg(coded('A23.256^')) AS cmg;
COMMIT;
SELECT cmg290_tier_set()->>'name' AS name, cmg290_cmg(coded('A23.256^')) AS cmg;
BEGIN;
SELECT use_set('') AS compiled_in;
SELECT cmg290_tier_set()->>'name' AS name;
ROLLBACK;
SELECT cmg290_tier_set()->>'name' AS name, cmg290_cmg(coded('A23.256^')) AS cmg;

-- A deviating set needs deviations allowed first; they are part of its
-- identity. Allowed no longer, the set is not used.
SELECT cmg290_cmg(coded('A33.23^^')) AS cmg;
SELECT use_set('deviating');
SET cmg290.tier_tables_allow_deviations = on;
SELECT use_set('deviating');
SELECT s->'name' AS name, s->'compiled_in' AS compiled_in, jsonb_array_length(s->'deviations') AS deviations,
       replace(s->>'deviations', current_setting('test.sets'), '$SETS') AS texts
FROM cmg290_tier_set() s;
SELECT cmg290_cmg(coded('A33.23^^')) AS cmg, cmg290_cmg(coded('A33.23^^', version_date => '20160101')) AS cmg_282;
-- A parallel worker groups with the leader's set, deviations allowed too.
CREATE TABLE tier_sets_parallel AS SELECT coded('A33.23^^') AS record;
SET force_parallel_mode = on;
EXPLAIN (COSTS OFF) SELECT cmg290_cmg(record) FROM tier_sets_parallel;
SELECT cmg290_cmg(record) AS in_worker FROM tier_sets_parallel;
RESET force_parallel_mode;
DROP TABLE tier_sets_parallel;
SET cmg290.tier_tables_allow_deviations = off;
SELECT attempt($$SELECT cmg290_cmg(coded('A33.23^^'))$$) AS cmg;
SELECT attempt('SELECT cmg290_tier_set()') AS tier_set;
RESET cmg290.tier_tables;
SELECT cmg290_tier_set()->>'name' AS name, cmg290_cmg(coded('A33.23^^')) AS cmg;

-- Only a superuser changes the set: a plain role can neither SET nor RESET
-- it, and groups with the set the session has.
SELECT use_set('changed');
SET ROLE regress_cmg290_plain;
SELECT use_set('compiled');
SELECT use_set('');
SELECT attempt('SELECT set_config(''cmg290.tier_tables_allow_deviations'', ''on'', false)');
RESET cmg290.tier_tables;
SELECT cmg290_tier_set()->>'name' AS name, cmg290_cmg(coded('A23.256^')) AS cmg;
RESET ROLE;

-- ALTER ROLE ... SET checks the set; the role's sessions take it.
SELECT attempt(format('ALTER ROLE regress_cmg290_plain SET cmg290.tier_tables = %L',
                      current_setting('test.sets') || '/faulty'));
SELECT attempt(format('ALTER ROLE regress_cmg290_plain SET cmg290.tier_tables = %L',
                      current_setting('test.sets') || '/changed'));
\c - regress_cmg290_plain
SELECT cmg290_tier_set()->>'name' AS name, cmg290_cmg(coded('A23.256^')) AS cmg;
\c - cmg290
SELECT cmg290_tier_set()->>'name' AS name;
ALTER ROLE regress_cmg290_plain RESET cmg290.tier_tables;

-- ALTER ROLE ... SET of a deviating set is refused as SET is, by this
-- session's settings: a pin of its digest (or deviations allowed) lets it.
SELECT set_config('test.sets', :'sets', false) AS ignored \gset
SELECT cmg290_tier_set()->>'sha256' AS compiled_sha256 \gset
SELECT attempt(format('ALTER ROLE regress_cmg290_plain SET cmg290.tier_tables = %L',
                      current_setting('test.sets') || '/deviating'));

-- Pinning a set by its digest (cmg290.tier_tables_sha256): the set with
-- that digest is taken with its deviations, any other refused naming both.
SET cmg290.tier_tables_allow_deviations = on;
SELECT use_set('deviating');
SELECT cmg290_tier_set()->>'sha256' AS deviating_sha256 \gset
RESET cmg290.tier_tables;
RESET cmg290.tier_tables_allow_deviations;
SELECT attempt('SET cmg290.tier_tables_sha256 = ''abc''') AS too_short;
SELECT attempt(format('SET cmg290.tier_tables_sha256 = %L', 'sha256:' || :'deviating_sha256'))
  AS prefixed;
SELECT attempt(format('SET cmg290.tier_tables_sha256 = %L', upper(:'deviating_sha256')));
SELECT current_setting('cmg290.tier_tables_sha256') = :'deviating_sha256' AS lower_case;
SELECT use_set('deviating');
SELECT cmg290_tier_set()->>'name' AS name,
       jsonb_array_length(cmg290_tier_set()->'deviations') AS deviations,
       cmg290_cmg(coded('A33.23^^')) AS cmg;
SELECT regexp_replace(use_set('changed'), '[0-9a-f]{64}', '<sha256>', 'g') AS other_set;
SELECT attempt(format('ALTER ROLE regress_cmg290_plain SET cmg290.tier_tables = %L',
                      current_setting('test.sets') || '/deviating')) AS pinned_role;
ALTER ROLE regress_cmg290_plain RESET cmg290.tier_tables;
-- Pinned to another digest while the set is in use: every call fails.
SELECT attempt(format('SET cmg290.tier_tables_sha256 = %L', :'compiled_sha256'));
SELECT regexp_replace(attempt($$SELECT cmg290_cmg(coded('A33.23^^'))$$), '[0-9a-f]{64}',
                      '<sha256>', 'g') AS cmg;
RESET cmg290.tier_tables;
SELECT cmg290_tier_set()->>'name' AS name;
-- A plain role can not change the pin.
SET ROLE regress_cmg290_plain;
SELECT attempt('SET cmg290.tier_tables_sha256 = ''''') AS plain_role;
RESET ROLE;
RESET cmg290.tier_tables_sha256;
-- A pin that is no digest, given before the module was loaded (as from
-- postgresql.conf), fails every call.
\c -
SELECT set_config('test.sets', :'sets', false) AS ignored \gset
SELECT set_config('cmg290.tier_tables_sha256', 'not a digest', false) IS NOT NULL AS kept_as_text;
SELECT attempt($$SELECT cmg290_cmg(coded('A23.257^'))$$) AS cmg;
RESET cmg290.tier_tables_sha256;
SELECT cmg290_cmg(coded('A23.257^')) AS cmg;

-- Names outside the module's settings are refused once it is loaded.
SET cmg290.tier_table = '/tmp';

DROP FUNCTION use_set(text);
DROP FUNCTION attempt(text);
DROP FUNCTION coded(text, text, text, text);
DROP ROLE regress_cmg290_plain;
