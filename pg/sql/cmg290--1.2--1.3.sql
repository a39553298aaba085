\echo Use "ALTER EXTENSION cmg290 UPDATE TO '1.3'" to load this file. \quit

-- The edits of one record: the faults its status lets pass (a comorbid code
-- without its dot, an item "88", a date "20230230", ...), as a jsonb array
-- of {"code", "severity", "field", "value", "message"}, [] for none (see
-- docs/edits.md). Found with the grouping's result and the tier-table set in
-- use, as the grouping functions group: IMMUTABLE, as they are. Finding the
-- edits takes about as long again as the grouping, and the array is built
-- as jsonb.
CREATE FUNCTION cmg290_edits(record text)
RETURNS jsonb
AS 'MODULE_PATHNAME', 'cmg290_edits'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 200;

COMMENT ON FUNCTION cmg290_edits(text) IS
'the edits of one assessment record (faults its status lets pass): code, severity, field, value, message, as a jsonb array';
