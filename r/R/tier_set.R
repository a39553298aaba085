load_tier_set <- function(path, allow_deviations = FALSE, sha256 = NULL) {
  if (!is.character(path) || length(path) != 1L || is.na(path)) {
    stop("path must be one directory name", call. = FALSE)
  }
  if (!is.logical(allow_deviations) || length(allow_deviations) != 1L ||
      is.na(allow_deviations)) {
    stop("allow_deviations must be TRUE or FALSE", call. = FALSE)
  }
  if (!is.null(sha256) &&
      (!is.character(sha256) || length(sha256) != 1L || is.na(sha256) || sha256 == "")) {
    stop("sha256 must be NULL or one string of 64 hex digits", call. = FALSE)
  }
  set <- .Call(cmg290_load_tier_set, enc2native(path.expand(path)), allow_deviations,
               if (is.null(sha256)) "" else sha256)
  set["path"] <- list(normalizePath(path, mustWork = FALSE))
  set
}

compiled_tier_set <- function() {
  .Call(cmg290_compiled_tier_set)
}

write_tier_set <- function(tier_set, path) {
  if (is.null(tier_set)) stop("tier_set must be a set", call. = FALSE)
  if (!is.character(path) || length(path) != 1L || is.na(path)) {
    stop("path must be one directory name", call. = FALSE)
  }
  .Call(cmg290_write_tier_set, tier_set_pointer(tier_set), enc2native(path.expand(path)))
  invisible(path)
}

print.cmg290_tier_set <- function(x, ...) {
  where <- if (isTRUE(x$compiled_in)) " (compiled in)" else paste0(" from ", x$path)
  cat("<cmg290 tier-table set> ", x$identity, where, "\n", sep = "")
  invisible(x)
}

# The identity a frame names its set by: the members of the library's
# tier_set_json (name, sha256, compiled_in, placeholders, deviations), as
# JSON Lines rows, the server's answers and Python's attrs["tier_set"] do.
tier_set_identity <- function(tier_set) {
  if (is.null(tier_set)) tier_set <- compiled_tier_set()
  list(name = tier_set$name, sha256 = tier_set$digest, compiled_in = tier_set$compiled_in,
       placeholders = tier_set$holds_placeholders, deviations = tier_set$deviations)
}

# The external pointer of a tier_set argument; NULL for the compiled-in lists.
tier_set_pointer <- function(tier_set) {
  if (is.null(tier_set)) return(NULL)
  if (!inherits(tier_set, "cmg290_tier_set")) {
    stop("tier_set must be NULL or a set from load_tier_set()", call. = FALSE)
  }
  tier_set$pointer
}
