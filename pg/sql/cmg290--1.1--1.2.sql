\echo Use "ALTER EXTENSION cmg290 UPDATE TO '1.2'" to load this file. \quit

-- The comorbidity tier-table set the grouping functions use in this session,
-- chosen by the setting cmg290.tier_tables (empty: the lists compiled into
-- the module): its name, the SHA-256 of its contents, whether it is the
-- compiled-in set, whether it holds placeholder rows, and the deviations
-- from the documented contents that were allowed. STABLE: it follows the
-- setting.
CREATE FUNCTION cmg290_tier_set()
RETURNS jsonb
AS 'MODULE_PATHNAME', 'cmg290_tier_set'
LANGUAGE C STABLE PARALLEL SAFE;

COMMENT ON FUNCTION cmg290_tier_set() IS
'the comorbidity tier-table set in use (setting cmg290.tier_tables): name, sha256, compiled_in, placeholders, deviations';
