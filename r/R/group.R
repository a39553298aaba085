group <- function(records, workers = getOption("cmg290.workers", -1L), tier_set = NULL,
                  edits = FALSE, file = NULL, id = NULL) {
  workers <- check_workers(workers)
  check_flag(edits, "edits")
  id <- check_id(id)
  if (!is.null(file)) {
    if (!missing(records)) stop("give records or file, not both", call. = FALSE)
    both <- .Call(cmg290_group_file, file_name(file), workers, tier_set_pointer(tier_set), edits,
                  id)
    frame <- both[[1L]]
    frame$line <- both[[2L]]  # each record's line in the file, from 1: the first column
    frame <- frame[c(ncol(frame), seq_len(ncol(frame) - 1L))]
  } else {
    if (missing(records)) stop("give records, or a file of them as file =", call. = FALSE)
    frame <- .Call(cmg290_group, records, workers, tier_set_pointer(tier_set), edits, id)
  }
  attr(frame, "tier_set") <- tier_set_identity(tier_set)
  frame
}

# A TRUE or FALSE argument; anything else (NA, "yes", 1, c(TRUE, FALSE)) is
# refused.
check_flag <- function(value, name) {
  if (!is.logical(value) || length(value) != 1L || is.na(value)) {
    stop(name, " must be TRUE or FALSE", call. = FALSE)
  }
  invisible(value)
}

# A workers argument as an integer: a count of threads, or -1 for every core.
check_workers <- function(workers) {
  if (!is.numeric(workers) || is.factor(workers) || length(workers) != 1L ||
      !is.finite(workers) || workers != trunc(workers)) {
    stop("workers must be one whole number: a count of threads, or -1 for all cores",
         call. = FALSE)
  }
  if (workers == 0 || workers < -1) {
    stop("workers must be a positive number of threads, or -1 for all cores; got ",
         format(workers), call. = FALSE)
  }
  as.integer(min(workers, .Machine$integer.max))
}

# An id argument: NULL, or c(start, length), two whole numbers, as integers;
# the native code checks the range by the rule of `cmg290 group --id`.
check_id <- function(id) {
  if (is.null(id)) return(NULL)
  if (!is.numeric(id) || is.factor(id) || length(id) != 2L || anyNA(id) || any(!is.finite(id)) ||
      any(id != trunc(id))) {
    stop("id must be NULL or c(start, length), two whole numbers", call. = FALSE)
  }
  if (any(id < 1)) {
    stop("id must be c(start, length), both 1 or more; got c(", format(id[1]), ", ",
         format(id[2]), ")", call. = FALSE)
  }
  as.integer(pmin(id, .Machine$integer.max))
}

status_text <- function(status) {
  if (!is.numeric(status) || is.factor(status)) {
    stop("status must be numeric", call. = FALSE)
  }
  .Call(cmg290_status_text, as.integer(status))
}
