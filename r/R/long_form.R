edits_frame <- function(records, workers = 1L, tier_set = NULL) {
  workers <- check_workers(workers)
  .Call(cmg290_edits_frame, records, workers, tier_set_pointer(tier_set))
}

fields <- function(records, names) {
  if (!is.character(names) || anyNA(names)) {
    stop("names must be a character vector of field names, as in record_layout", call. = FALSE)
  }
  .Call(cmg290_fields, records, names)
}
