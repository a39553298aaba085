\echo Use "ALTER EXTENSION cmg290 UPDATE TO '1.1'" to load this file. \quit

-- Why a record got its CMG: every check, score, row and tier decision of the
-- grouping, as the JSON documented in docs/explain.md. Its "result" member
-- holds what cmg290_group returns. Explaining takes some microseconds a
-- record, some ten times the grouping.
CREATE FUNCTION cmg290_explain(record text)
RETURNS jsonb
AS 'MODULE_PATHNAME', 'cmg290_explain'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1000;

COMMENT ON FUNCTION cmg290_explain(text) IS
'explains the grouping of one assessment record: checks, scores, CMG row and comorbidity tier search, as jsonb';
