\echo Use "CREATE EXTENSION cmg290" to load this file. \quit

-- Groups one fixed-position assessment record. Outputs the grouping did not
-- reach are NULL: cmg and both scores unless status is 0, the age while the
-- status is 1, 2, 3, 5 or 6, table_version when the version date selects
-- no table version. One call takes a fraction of a microsecond (0.1 to 0.3
-- microseconds), some hundred times a simple operator: COST tells the planner so.
CREATE FUNCTION cmg290_group(
    record text,
    OUT status integer,
    OUT cmg text,
    OUT motor_score numeric,
    OUT cognitive_score integer,
    OUT age integer,
    OUT table_version text,
    OUT grouper_version text)
RETURNS record
AS 'MODULE_PATHNAME', 'cmg290_group'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 100;

COMMENT ON FUNCTION cmg290_group(text) IS
'groups one assessment record: status, tier letter and CMG, motor and cognitive score, age, table version, grouper version';

CREATE FUNCTION cmg290_status_text(status integer)
RETURNS text
AS 'MODULE_PATHNAME', 'cmg290_status_text'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION cmg290_status_text(integer) IS
'short description of a cmg290_group status code';
