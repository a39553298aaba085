edits_frame <- function(records, workers = getOption("cmg290.workers", -1L), tier_set = NULL,
                        id = NULL) {
  workers <- check_workers(workers)
  id <- check_id(id)
  .Call(cmg290_edits_frame, records, workers, tier_set_pointer(tier_set), id)
}

fields <- function(records, names) {
  if (!is.character(names) || anyNA(names)) {
    stop("names must be a character vector of field names, as in record_layout", call. = FALSE)
  }
  .Call(cmg290_fields, records, names)
}
