-- Records are built from a blank line of 1251 characters with the fields set
-- by position: motor holds the twelve two-character motor items in a row,
-- cognitive the five cognitive items.
CREATE FUNCTION test_record(
    version_date text DEFAULT '20200315',
    birth_date text DEFAULT '19500310',
    age_date text DEFAULT '20200310',
    impairment text DEFAULT '  01.1',
    motor text DEFAULT repeat('04', 12),
    cognitive text DEFAULT repeat('04', 5),
    record_id text DEFAULT 'IRF-PAI',
    record_kind text DEFAULT '1')
RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  r text := repeat(' ', 1251);
  motor_start int[] := '{882,888,894,900,906,912,918,924,930,936,948,956}';
  cognitive_start int[] := '{962,970,978,984,990}';
BEGIN
  r := overlay(r PLACING rpad(record_id, 10) FROM 1);
  r := overlay(r PLACING record_kind FROM 11);
  r := overlay(r PLACING rpad(birth_date, 8) FROM 657);
  r := overlay(r PLACING rpad(age_date, 8) FROM 688);
  r := overlay(r PLACING rpad(impairment, 9) FROM 720);
  r := overlay(r PLACING rpad(version_date, 8) FROM 996);
  FOR k IN 1..12 LOOP
    r := overlay(r PLACING substr(motor, 2 * k - 1, 2) FROM motor_start[k]);
  END LOOP;
  FOR k IN 1..5 LOOP
    r := overlay(r PLACING substr(cognitive, 2 * k - 1, 2) FROM cognitive_start[k]);
  END LOOP;
  RETURN r;
END $$;

-- Declared for the planner: same result for the same record, no NULL input
-- reaches the module, runs in parallel workers.
SELECT p.proname, p.provolatile, p.proisstrict, p.proparallel,
       pg_get_function_result(p.oid) AS result
FROM pg_proc p JOIN pg_depend d ON d.objid = p.oid
JOIN pg_extension e ON e.oid = d.refobjid AND e.extname = 'cmg290'
ORDER BY p.proname;

-- One record per status code, with every output. Outputs the pass did not
-- reach are NULL; the table version is known from the start, the age from
-- the age check on.
SELECT c.name, g.*, cmg290_status_text(g.status)
FROM (VALUES
  ('grouped',            test_record()),
  ('not IRF-PAI',        test_record(record_id => 'IRF-PAJ')),
  ('record kind 3',      test_record(record_kind => '3')),
  ('version date early', test_record(version_date => '20100630')),
  ('birth date blank',   test_record(birth_date => '2020  01')),
  ('born after',         test_record(birth_date => '20200311')),
  ('age 150',            test_record(birth_date => '18700101')),
  ('unknown impairment', test_record(impairment => '  99.99')),
  ('between versions',   test_record(version_date => '20100931')),
  ('version 2.40',       test_record(version_date => '20100701')),
  ('version 2.82',       test_record(version_date => '20160930'))
) AS c(name, record), LATERAL cmg290_group(c.record) g;

-- Motor scores below one point and below zero: the grouper writes ".7" and
-- "-.7"; the lowest and highest two-character item values.
SELECT c.name, g.status, g.motor_score, g.cognitive_score, g.cmg
FROM (VALUES
  ('0.7',  test_record(motor => '-7-9' || repeat('01', 4) || '-8' || repeat('01', 5))),
  ('-0.7', test_record(motor => '0709' || repeat('-1', 4) || '08' || repeat('-1', 5))),
  ('0.0',  test_record(motor => '-983-1-1-1-1-1-1-1-1-1-1')),
  ('-9',   test_record(motor => repeat('-9', 12), cognitive => repeat('-9', 5))),
  ('99',   test_record(motor => repeat('99', 12), cognitive => repeat('99', 5)))
) AS c(name, record), LATERAL cmg290_group(c.record) g;

-- NULL in, NULL out.
SELECT cmg290_group(NULL) IS NULL AS null_record, cmg290_status_text(NULL) IS NULL AS null_status;

-- Short records read their missing positions as blanks: a record cut after
-- its last non-blank field, or stored as char(1251) (which drops trailing
-- blanks on the way to text), groups like the whole record.
SELECT length(rtrim(test_record())) AS used,
       cmg290_group(rtrim(test_record())) = cmg290_group(test_record()) AS rtrimmed,
       cmg290_group(test_record()::char(1251)) = cmg290_group(test_record()) AS char_column,
       cmg290_group(left(test_record(), 1251) || 'tail') = cmg290_group(test_record()) AS longer;
SELECT c.name, g.*
FROM (VALUES
  ('empty', ''),
  ('id only', 'IRF-PAI'),
  ('cut in version date', left(test_record(), 999))
) AS c(name, record), LATERAL cmg290_group(c.record) g;

-- Any byte but zero: high bytes and control characters in the fields read
-- as numbers count as the item's value 0; in the impairment group they make
-- an unknown code.
SELECT g.status, g.cmg, g.motor_score, g.cognitive_score, g.age
FROM cmg290_group(test_record(motor => chr(255) || chr(1) || repeat('04', 11),
                              cognitive => chr(128) || chr(200) || repeat('04', 4))) g;
SELECT g.status, g.age
FROM cmg290_group(test_record(impairment => '  01.1' || chr(233))) g;

-- Status descriptions, and one for codes the grouper never gives.
SELECT s AS status, cmg290_status_text(s)
FROM unnest(ARRAY[0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 2147483647]) s;

-- In parallel workers: the plan runs the grouping below Gather, and gives
-- what the leader alone gives.
CREATE TABLE records AS
SELECT i, test_record(version_date => (ARRAY['20100801', '20110101', '20120101', '20150101',
                                             '20160101', '20200101'])[1 + i % 6],
                      birth_date => (1900 + i % 120)::text || '0101',
                      motor => repeat(lpad((i % 8)::text, 2, '0'), 12)) AS record
FROM generate_series(1, 2000) i;
ANALYZE records;
CREATE TEMP TABLE serial AS
SELECT r.i, g.* FROM records r, LATERAL cmg290_group(r.record) g;
SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
SET min_parallel_table_scan_size = 0;
SET max_parallel_workers_per_gather = 2;
SET force_parallel_mode = on;
EXPLAIN (COSTS OFF)
SELECT count(*), sum(g.age) FROM records r, LATERAL cmg290_group(r.record) g;
SELECT count(*) AS records,
       count(*) FILTER (WHERE (s.*)::text IS DISTINCT FROM (p.*)::text) AS differing
FROM serial s
JOIN (SELECT r.i, g.* FROM records r, LATERAL cmg290_group(r.record) g) p USING (i);
RESET ALL;

-- The whole-row expansion evaluates the function once per column; the
-- LATERAL form once per record. Both give the same values.
SELECT count(*) AS same
FROM records r, LATERAL cmg290_group(r.record) g
WHERE ROW(g.*) IS NOT DISTINCT FROM ROW((cmg290_group(r.record)).*);
