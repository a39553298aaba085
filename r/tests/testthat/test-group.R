test_that("a result frame has the columns, types and NA rules of the Python module", {
  frame <- group(mixed_records())
  expect_s3_class(frame, "data.frame")
  expect_named(frame, c("status", "description", "cmg", "tier", "ric", "motor_score",
                        "cognitive_score", "age", "table_version", "grouper_version"))
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
  loaded <- group(records, tier_set = set, workers = 2L)
  expect_identical(without_set(loaded), without_set(group(records)))
  # Each frame names its set by the same identity as the other front ends.
  expect_identical(attr(loaded, "tier_set"),
                   list(name = set$name, sha256 = set$digest, compiled_in = FALSE,
                        placeholders = TRUE, deviations = character(0)))
  expect_identical(attr(group(records), "tier_set"),
                   list(name = "compiled-in", sha256 = set$digest, compiled_in = TRUE,
                        placeholders = TRUE, deviations = character(0)))
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
  # Pinned by its digest, in either case, the set loads with its deviations;
  # pinned to another, it is refused naming both digests.
  pinned <- load_tier_set(path, sha256 = toupper(set$digest))
  expect_identical(pinned[c("digest", "deviations", "identity")],
                   set[c("digest", "deviations", "identity")])
  compiled <- compiled_tier_set()$digest
  expect_error(load_tier_set(path, allow_deviations = TRUE, sha256 = compiled),
               paste0("its sha256 is ", set$digest, ", expected ", compiled), fixed = TRUE)
  for (bad in list("abc", "", paste0("sha256:", compiled), NA_character_, c(compiled, compiled),
                   1)) {
    expect_error(load_tier_set(path, sha256 = bad), "64 hex digits")
  }
  after <- group(record, tier_set = set)
  expect_identical(attr(after, "tier_set")$deviations, set$deviations)
  expect_equal(after$cmg, paste0("A", substr(before$cmg, 2, 5)))
  expect_equal(explain(record, tier_set = set)$result$cmg, after$cmg)
})

test_that("records to convert anywhere in a long vector give the rows of their bytes", {
  # Unmarked UTF-8 (R's strings in the session's encoding) is converted once
  # the threads have grouped the rest: at the start, across batches, at the end.
  latin1 <- grouped_record(comorbid_code_25 = "\u00e9")
  unmarked <- enc2utf8(latin1)
  Encoding(unmarked) <- "unknown"
  expect_equal(Encoding(unmarked), "unknown")
  records <- rep(mixed_records(), length.out = 60000)
  at <- c(1, 4096, 4097, 30000, 60000)
  expected <- records
  records[at] <- unmarked
  expected[at] <- latin1
  want <- group(expected)
  expect_identical(group(records, workers = 2L), want)
  expect_identical(group(records, workers = 1L), want)
  # A bad one among them is refused naming it, whatever the threads did.
  bad <- "\xff"
  records[59999] <- bad
  expect_error(group(records, workers = 2L), "records[59999]: text that is not valid UTF-8",
               fixed = TRUE)
})

test_that("every CMG text is the grouper's, across many batches and threads", {
  # Records whose items, impairments and ages give many different CMGs.
  set.seed(7)
  impairments <- c("  01.2", "  02.1", "  05.1", "  08.51", "  01.1", "  06.1")
  records <- vapply(seq_len(2000), function(i) {
    items <- as.list(sprintf("%02d", sample(0:7, 17, replace = TRUE)))
    names(items) <- c(paste0("motor_item_", 1:12), paste0("cognitive_item_", 1:5))
    do.call(grouped_record, c(items, list(impairment_group = sample(impairments, 1),
                                          age_date = sample(c("20240105", "19900101"), 1))))
  }, "")
  records <- rep(records, 20)
  frame <- group(records, workers = -1L)
  expect_gt(length(unique(frame$cmg)), 20)
  for (i in c(1, 2, 3, 777, 1999)) {
    expect_equal(frame$cmg[i], explain(records[i])$result$cmg)
  }
  expect_identical(frame[1:2000, ], group(records[1:2000]))
})

test_that("a set describes itself with the Python module's names", {
  path <- file.path(tempdir(), "tier-set-describe")
  on.exit(unlink(path, recursive = TRUE))
  compiled <- compiled_tier_set()
  write_tier_set(compiled, path)
  set <- load_tier_set(path)
  expect_true(compiled$compiled_in)
  expect_false(set$compiled_in)
  expect_null(compiled$path)
  expect_equal(set$path, normalizePath(path))
  expect_true(compiled$holds_placeholders)
  expect_equal(set$entries, compiled$entries)
  expect_equal(compiled$entries[["single-2.90.csv"]], 1156L)
  expect_length(compiled$entries, 7L)
  expect_output(print(compiled), "(compiled in)", fixed = TRUE)
  expect_output(print(set), paste("from", set$path), fixed = TRUE)
})

test_that("a record without a CMG row groups to its tier letter alone", {
  items <- setNames(as.list(rep("-9", 12)), paste0("motor_item_", 1:12))
  record <- do.call(grouped_record, items)
  expect_equal(explain(record)$result$cmg, "A")
  expect_equal(group(c(record, grouped_record()))$cmg[1], "A")
  expect_equal(group(record, edits = TRUE)$cmg, "A")
})
