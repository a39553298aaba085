test_that("a result frame has the columns, types and NA rules of the Python module", {
  frame <- group(mixed_records())
  expect_s3_class(frame, "data.frame")
  expect_named(frame, c("status", "description", "cmg", "motor_score", "cognitive_score",
                        "age", "table_version", "grouper_version"))
  expect_type(frame$status, "integer")
  expect_type(frame$motor_score, "double")
  expect_type(frame$cognitive_score, "integer")
  expect_type(frame$age, "integer")
  expect_equal(frame$status, c(0L, 1L, 2L, 3L, 5L, 6L, 7L, 9L, 3L, 1L))
  expect_equal(frame$description, status_text(frame$status))
  grouped <- frame$status == 0L
  expect_false(anyNA(frame[grouped, ]))
  expect_true(all(is.na(frame$cmg[!grouped])))
  expect_true(all(is.na(frame$motor_score[!grouped])))
  expect_true(all(is.na(frame$cognitive_score[!grouped])))
  # The age is reached by status 0, 7 and 9 only.
  expect_equal(!is.na(frame$age), frame$status %in% c(0L, 7L, 9L))
  expect_equal(frame$age[frame$status == 7L], 174L)
  # No table version for a version date before the first table's.
  expect_true(is.na(frame$table_version[frame$status == 3L][1]))
  expect_equal(frame$table_version[1], "2.90")
  expect_equal(frame$grouper_version, rep("2.90", 10))
  expect_match(frame$cmg[1], "^[A-D][0-9]{4}$")
})

test_that("each row equals explain's result for its record, with or without threads", {
  records <- rep(mixed_records(), 5000)
  one <- group(records)
  expect_identical(group(records, workers = 2L), one)
  expect_identical(group(records, workers = -1L), one)
  expect_identical(group(records, workers = 64), one)
  for (i in seq_along(mixed_records())) {
    r <- explain(records[i])$result
    expect_equal(one$status[i], r$status)
    expect_equal(one$cmg[i], if (is.null(r$cmg)) NA_character_ else r$cmg)
    expect_equal(one$motor_score[i], if (is.null(r$motor_score)) NA_real_ else r$motor_score)
    expect_equal(one$age[i], if (is.null(r$age)) NA_integer_ else r$age)
  }
})

test_that("short records read as blank-filled, positions past 1251 are not read", {
  record <- grouped_record()
  short <- sub(" +$", "", record)
  expect_lt(nchar(short), 1251)
  expect_identical(group(short), group(record))
  expect_identical(group(paste0(record, strrep("x", 500))), group(record))
  expect_identical(group(substr(record, 1, 1251)), group(record))
})

test_that("the same bytes give the same row however R holds them", {
  # Built with a character past ASCII: Latin-1, one byte per position.
  latin1 <- grouped_record(comorbid_code_25 = "\u00e9")
  utf8 <- enc2utf8(latin1)
  bytes <- latin1
  Encoding(bytes) <- "bytes"
  expect_equal(Encoding(c(latin1, utf8)), c("latin1", "UTF-8"))
  expect_equal(nchar(latin1), 1251)
  expect_equal(nchar(bytes, type = "bytes"), 1251)
  expect_identical(group(c(latin1, utf8, bytes)), group(rep(latin1, 3)))
  expect_identical(explain(utf8), explain(latin1))
  expect_equal(explain(utf8)$fields$comorbid_code_25, "\u00e9       ")
})

test_that("an empty vector gives a frame of no rows with the same column types", {
  empty <- group(character(0))
  expect_equal(nrow(empty), 0L)
  expect_identical(lapply(empty, typeof), lapply(group(grouped_record()), typeof))
})

test_that("a tier-table set groups as the compiled-in lists when it holds them", {
  path <- file.path(tempdir(), "tier-set-group")
  on.exit(unlink(path, recursive = TRUE))
  write_tier_set(compiled_tier_set(), path)
  set <- load_tier_set(path)
  expect_s3_class(set, "cmg290_tier_set")
  expect_equal(set$digest, compiled_tier_set()$digest)
  expect_match(set$identity, paste0("sha256:", set$digest))
  expect_output(print(set), set$identity, fixed = TRUE)
  records <- rep(mixed_records(), 100)
  expect_identical(group(records, tier_set = set, workers = 2L), group(records))
  expect_identical(explain(records[1], tier_set = set)$result, explain(records[1])$result)
})

test_that("a tier-table set with a changed tier gives that tier", {
  path <- file.path(tempdir(), "tier-set-changed")
  on.exit(unlink(path, recursive = TRUE))
  write_tier_set(compiled_tier_set(), path)
  # A code of tier C for every RIC in the 2.90 list.
  file <- file.path(path, "single-2.90.csv")
  rows <- read.csv(file, colClasses = "character", na.strings = character(0))
  code <- rows$code[rows$tier == "C" & rows$excluded_rics == ""][1]
  record <- grouped_record(comorbid_code_1 = code)
  before <- group(record)
  expect_equal(substr(before$cmg, 1, 1), "C")
  writeLines(readLines(file)[-(which(rows$code == code) + 1)], file)
  expect_error(load_tier_set(path), "not loaded")
  set <- load_tier_set(path, allow_deviations = TRUE)
  expect_match(set$identity, "deviating")
  expect_gt(length(set$deviations), 0)
  after <- group(record, tier_set = set)
  expect_equal(after$cmg, paste0("A", substr(before$cmg, 2, 5)))
  expect_equal(explain(record, tier_set = set)$result$cmg, after$cmg)
})
