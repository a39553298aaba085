read_records <- function(path) {
  if (!is.character(path) || length(path) != 1L || is.na(path)) {
    stop("path must be one file name", call. = FALSE)
  }
  .Call(cmg290_read_records, enc2native(path.expand(path)))
}

explain <- function(record, tier_set = NULL) {
  why <- .Call(cmg290_explain, record, tier_set_pointer(tier_set))
  # The edits of the explanation, in the form edits() gives them.
  if ("edits" %in% names(why)) why["edits"] <- list(edit_frame(why$edits))
  why
}

build_record <- function(...) {
  .Call(cmg290_build_record, list(...))
}
