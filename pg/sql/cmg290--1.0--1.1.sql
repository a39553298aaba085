\echo Use "ALTER EXTENSION cmg290 UPDATE TO '1.1'" to load this file. \quit

-- Why a record got its CMG: every check, score, row and tier decision of the
-- grouping, as the JSON documented in docs/explain.md. Its "result" member
-- holds what cmg290_group returns. Explaining takes some tens of
-- microseconds a record, about a hundred times the grouping.
CREATE FUNCTION cmg290_explain(record text)
RETURNS jsonb
AS 'MODULE_PATHNAME', 'cmg290_explain'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1000;

COMMENT ON FUNCTION cmg290_explain(text) IS
'explains the grouping of one assessment record: checks, scores, CMG row and comorbidity tier search, as jsonb';

-- One output of cmg290_group each, for a question that needs only that one:
-- no composite row is built. A call with the same record as the call before
-- it takes that call's result, so several of them over one record group it
-- once. NULL where cmg290_group's column is NULL.
CREATE FUNCTION cmg290_status(record text) RETURNS integer
AS 'MODULE_PATHNAME', 'cmg290_status' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 100;
CREATE FUNCTION cmg290_cmg(record text) RETURNS text
AS 'MODULE_PATHNAME', 'cmg290_cmg' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 100;
CREATE FUNCTION cmg290_motor_score(record text) RETURNS numeric
AS 'MODULE_PATHNAME', 'cmg290_motor_score' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 100;
CREATE FUNCTION cmg290_cognitive_score(record text) RETURNS integer
AS 'MODULE_PATHNAME', 'cmg290_cognitive_score' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 100;
CREATE FUNCTION cmg290_age(record text) RETURNS integer
AS 'MODULE_PATHNAME', 'cmg290_age' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 100;
CREATE FUNCTION cmg290_table_version(record text) RETURNS text
AS 'MODULE_PATHNAME', 'cmg290_table_version' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 100;

COMMENT ON FUNCTION cmg290_cmg(text) IS
'tier letter and CMG of one assessment record (cmg290_group(record).cmg)';
