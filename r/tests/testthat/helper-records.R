# The tests run on two grouping threads at most, as R CMD check asks of a
# package, whatever the machine: the default of workers is every core.
options(cmg290.workers = 2L)

# Records for the tests, built field by field.
grouped_record <- function(...) {
  fields <- list(
    record_id = "IRF-PAI", record_kind = "1", birth_date = "19500310",
    age_date = "20240105", impairment_group = "  01.2", version_date = "20240101",
    comorbid_code_1 = "I69.10", motor_item_1 = "04", motor_item_2 = "05",
    cognitive_item_1 = "05", cognitive_item_2 = "03"
  )
  given <- list(...)
  fields[names(given)] <- given
  do.call(build_record, fields)
}

# One of each outcome: grouped, every failing check, a short record.
mixed_records <- function() {
  c(
    grouped_record(),
    grouped_record(record_id = "IRF-PAX"),          # 1
    grouped_record(record_kind = "3"),              # 2
    grouped_record(version_date = "20090101"),      # 3
    grouped_record(birth_date = "2024    "),        # 5
    grouped_record(age_date = "19400101"),          # 6
    grouped_record(birth_date = "18500101"),        # 7
    grouped_record(impairment_group = "  99.9"),    # 9
    "IRF-PAI",
    ""
  )
}

# A record with an item "88" and a comorbid code without its dot and filler.
faulty_record <- function(...) grouped_record(motor_item_3 = "88", comorbid_code_1 = "J3801", ...)

# The codes of each record by edits(), joined as group() joins them.
codes_of <- function(records, tier_set = NULL) {
  vapply(records, function(r) paste(edits(r, tier_set = tier_set)$code, collapse = ";"), "",
         USE.NAMES = FALSE)
}

# A frame less the attribute naming the set that grouped it.
without_set <- function(frame) {
  attr(frame, "tier_set") <- NULL
  frame
}

# A frame of group(file =) without its first column, line: the frame of the
# same records given as strings.
without_line <- function(frame) {
  frame$line <- NULL
  frame
}
