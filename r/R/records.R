read_records <- function(path) {
  .Call(cmg290_read_records, file_name(path, "path"))
}

# One file's name as the system takes it.
file_name <- function(path, what = "file") {
  if (!is.character(path) || length(path) != 1L || is.na(path)) {
    stop(what, " must be one file name", call. = FALSE)
  }
  enc2native(path.expand(path))
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
