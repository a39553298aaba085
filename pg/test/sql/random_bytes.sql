-- 10,000 records of random bytes (1 to 255) grouped in one query: half of
-- them wholly random with random lengths, half a groupable record with random
-- bytes written over a random span and cut at a random length. Every result
-- must keep the shape of a grouping result, and the backend must survive.
SELECT setseed(0.29);

CREATE TEMP TABLE fuzz AS
WITH base AS (
  SELECT rpad(overlay(overlay(overlay(overlay(repeat(' ', 1251)
           PLACING 'IRF-PAI   1' FROM 1) PLACING '19500310' FROM 657)
           PLACING '20200310' FROM 688) PLACING '  01.1' FROM 720), 1251) AS good
)
SELECT i,
       CASE WHEN i % 2 = 0 THEN
         (SELECT coalesce(string_agg(chr(1 + (random() * 254)::int), ''), '')
          FROM generate_series(1, (i * 7919) % 1500))
       ELSE
         left(overlay(overlay((SELECT good FROM base) PLACING '20200315' FROM 996)
                      PLACING (SELECT string_agg(chr(1 + (random() * 254)::int), '')
                               FROM generate_series(1, 1 + (i * 31) % 40))
                      FROM 1 + (random() * 1250)::int),
              1 + (random() * 1400)::int)
       END AS record
FROM generate_series(1, 10000) i;

SELECT count(*) AS records,
       count(*) FILTER (WHERE g.status IN (0, 1, 2, 3, 5, 6, 7, 9)) AS known_status,
       count(*) FILTER (WHERE g.status = 0) > 1000 AS many_grouped,
       count(*) FILTER (WHERE g.status <> 0) > 5000 AS many_rejected,
       bool_and((g.cmg IS NOT NULL) = (g.status = 0)) AS cmg_when_grouped,
       bool_and(g.cmg ~ '^[ABCD]([0-9]{4})?$') AS cmg_shape,
       bool_and((g.motor_score IS NOT NULL) = (g.status = 0)
                AND (g.cognitive_score IS NOT NULL) = (g.status = 0)) AS scores_when_grouped,
       bool_and((g.age IS NOT NULL) = (g.status IN (0, 7, 9))) AS age_when_computed,
       bool_and(g.table_version IN ('2.40', '2.50', '2.60', '2.70', '2.82', '2.90'))
         AS table_version_label,
       bool_and(g.grouper_version = '2.90') AS grouper_version
FROM fuzz f, LATERAL cmg290_group(f.record) g;

-- Still the same backend, still grouping.
SELECT (cmg290_group('IRF-PAI')).status;
