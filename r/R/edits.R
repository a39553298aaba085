edits <- function(record, tier_set = NULL) {
  .Call(cmg290_edits, record, tier_set_pointer(tier_set))
}

# The edits of an explanation (a list of lists from its JSON) as the data
# frame edits() gives.
edit_frame <- function(items) {
  member <- function(name) {
    vapply(items, function(e) if (is.null(e[[name]])) NA_character_ else e[[name]], "")
  }
  data.frame(code = member("code"), severity = member("severity"), field = member("field"),
             value = member("value"), message = member("message"), stringsAsFactors = FALSE)
}
