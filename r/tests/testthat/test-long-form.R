# edits_frame(): every edit one row each; fields(): fields by layout name.

long_columns <- c("record", "code", "severity", "field", "value", "message")

# edits() of each record, stacked with its 1-based position.
stacked_edits <- function(records, tier_set = NULL) {
  parts <- lapply(seq_along(records), function(i) {
    e <- edits(records[[i]], tier_set = tier_set)
    if (nrow(e) == 0L) return(NULL)
    cbind(record = rep(i, nrow(e)), e)
  })
  none <- edits(grouped_record(age_date = "20231201"))
  out <- do.call(rbind, c(list(data.frame(record = integer(0), none)), parts))
  rownames(out) <- NULL
  out
}

test_that("edits_frame gives each record's edits in order, as edits() does, on any thread count", {
  records <- rep(c(mixed_records(), faulty_record(), faulty_record(version_date = "20230230"),
                   grouped_record(comorbid_code_2 = "I10.\u00e9")), length.out = 9000)
  records[seq(5, 9000, by = 97)] <- substr(records[seq(5, 9000, by = 97)], 1, 1100)
  expected <- stacked_edits(records)
  expect_gt(length(unique(expected$code)), 4)
  expect_true(anyNA(expected$field))
  for (workers in c(1L, 3L)) {
    frame <- edits_frame(records, workers = workers)
    expect_named(frame, long_columns)
    expect_identical(frame, expected)
  }
})

test_that("edits_frame agrees with cmg290 group --edits on sample records", {
  command <- Sys.getenv("CMG290")
  skip_if(command == "", "CMG290 does not name the command")
  path <- tempfile()
  on.exit(unlink(path))
  expect_equal(system2(command, c("sample", "--count", 3000, "--seed", 36, "-o", path)), 0)
  records <- readLines(path)
  # Junk over a stretch of fields in some, to raise many kinds of edit.
  junk <- seq(2, 3000, by = 5)
  substr(records[junk], 700, 760) <- strrep("X8", 31)
  frame <- edits_frame(records, workers = 2L)
  expect_identical(frame, stacked_edits(records))
  expect_gt(length(unique(frame$code)), 3)
  # The codes joined per record are the command's edits column.
  joined <- vapply(split(frame$code, factor(frame$record, levels = seq_along(records))),
                   paste, "", collapse = ";", USE.NAMES = FALSE)
  input <- tempfile()
  results <- tempfile()
  on.exit(unlink(c(input, results)), add = TRUE)
  writeLines(records, input)
  expect_equal(system2(command, c("group", "--edits", "-q", "-o", results, input)), 0)
  expect_identical(joined, read.csv(results, colClasses = "character",
                                    na.strings = character(0))$edits)
})

test_that("edits_frame has its columns and types without rows, and takes group's arguments", {
  for (records in list(character(0), c(grouped_record(age_date = "20231201")))) {
    frame <- edits_frame(records)
    expect_named(frame, long_columns)
    expect_equal(nrow(frame), 0L)
    expect_type(frame$record, "integer")
    for (column in long_columns[-1]) expect_type(frame[[column]], "character")
  }
  expect_error(edits_frame(c(grouped_record(), NA)), "records\\[2\\]")
  expect_error(edits_frame(1:3), "records")
  expect_error(edits_frame(grouped_record(), workers = 0), "workers")
  expect_error(edits_frame(grouped_record(), tier_set = "x"))
  # A record in UTF-8 that holds a Latin-1 character is read as its bytes.
  accented <- enc2utf8(grouped_record(comorbid_code_2 = "I10.\u00e9"))
  frame <- edits_frame(c(grouped_record(), accented))
  expect_identical(frame, stacked_edits(c(grouped_record(), accented)))
  expect_true(any(frame$value == "I10.\u00e9"))
  # Unmarked (the session's encoding, taken as UTF-8): converted on R's
  # thread once the grouping threads have stopped, and put in its place.
  native <- accented
  Encoding(native) <- "unknown"
  records <- rep(c(faulty_record(), native, grouped_record()), length.out = 9000)
  expect_identical(edits_frame(records, workers = 2L),
                   stacked_edits(rep(c(faulty_record(), accented, grouped_record()),
                                     length.out = 9000)))
  expect_identical(fields(native, "comorbid_code_2")$comorbid_code_2, "I10.\u00e9   ")
})

test_that("fields gives the layout's fields as they stand, and what short records hold", {
  r <- grouped_record(comorbid_code_5 = "I10.", impairment_group = "05.1\u00e9")
  records <- c(r, substr(r, 1, 690), substr(r, 1, 687))
  names <- c("age_date", "comorbid_code_5", "impairment_group", "record_kind")
  frame <- fields(records, names)
  expect_named(frame, names)
  expect_equal(nrow(frame), 3L)
  layout <- record_layout
  for (name in names) {
    row <- layout[layout$name == name, ]
    expect_identical(frame[[name]], substr(records, row$start, row$start + row$length - 1L))
  }
  expect_identical(frame$age_date, c("20240105", "202", ""))
  expect_identical(frame$comorbid_code_5[1], "I10.    ")
  expect_identical(frame$impairment_group[1], "05.1\u00e9    ")
  expect_identical(dim(fields(records, character(0))), c(3L, 0L))
  expect_named(fields(character(0), "age_date"), "age_date")
  expect_error(fields(records, c("record_id", "age_dat")), "\"age_dat\" is not a field")
  expect_error(fields(records, c("age_date", "age_date")), "named twice")
  expect_error(fields(records, NA_character_), "names")
  expect_error(fields(records, 1), "names")
  expect_error(fields(c(r, NA), "age_date"), "records\\[2\\]")
})
