-- The one-value functions give cmg290_group's columns, NULLs included: for a
-- record of every status, motor scores below zero and of many values (the
-- numeric of each value is made once and reused), and 5,000 random ones.
CREATE TEMP TABLE forms_records AS
SELECT r FROM (VALUES
  (test_record()), (test_record(record_id => 'IRF-PAJ')), (test_record(record_kind => '3')),
  (test_record(version_date => '20100630')), (test_record(birth_date => '2020  01')),
  (test_record(birth_date => '20200311')), (test_record(birth_date => '18700101')),
  (test_record(impairment => '  99.99')), (test_record(version_date => '20100931')),
  (test_record(motor => '0709' || repeat('-1', 4) || '08' || repeat('-1', 5))),
  (test_record(motor => repeat('99', 12), cognitive => repeat('99', 5)))
) AS v(r)
UNION ALL
SELECT test_record(motor => m, version_date => (ARRAY['20100801', '20120101', '20190101'])[1 + i % 3])
FROM (SELECT i, string_agg(lpad((floor(random() * 9))::int::text, 2, '0'), '') AS m
      FROM generate_series(1, 5000) i, generate_series(1, 12) k GROUP BY i) s;

SELECT count(*) AS records,
       count(*) FILTER (WHERE cmg290_status(r) IS DISTINCT FROM g.status) AS status_differs,
       count(*) FILTER (WHERE cmg290_cmg(r) IS DISTINCT FROM g.cmg) AS cmg_differs,
       count(*) FILTER (WHERE cmg290_motor_score(r) IS DISTINCT FROM g.motor_score) AS motor_differs,
       count(*) FILTER (WHERE cmg290_cognitive_score(r) IS DISTINCT FROM g.cognitive_score)
         AS cognitive_differs,
       count(*) FILTER (WHERE cmg290_age(r) IS DISTINCT FROM g.age) AS age_differs,
       count(*) FILTER (WHERE cmg290_table_version(r) IS DISTINCT FROM g.table_version)
         AS version_differs,
       count(DISTINCT g.motor_score) > 100 AS many_motor_scores
FROM forms_records, LATERAL cmg290_group(r) g;

-- Records that differ only in their last position, or only in their length,
-- one after the other: each is grouped on its own, not taken for the one
-- before it.
SELECT n, cmg290_cmg(r) AS cmg, (cmg290_group(r)).cmg AS composite, length(r) AS length
FROM (VALUES
  (1, overlay(test_record() PLACING 'J38.01^^' FROM 1244)),
  (2, overlay(test_record() PLACING 'J38.01^x' FROM 1244)),
  (3, overlay(test_record() PLACING 'J38.01^^' FROM 1244)),
  (4, overlay(test_record() PLACING 'J38.01^^' FROM 1244) || 'beyond'),
  (5, left(overlay(test_record() PLACING 'J38.01^^' FROM 1244), 1250)),
  (6, overlay(test_record() PLACING 'J38.01^^' FROM 1244))
) AS v(n, r)
ORDER BY n;

SELECT cmg290_cmg(NULL) IS NULL AS null_record;
