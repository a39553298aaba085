test_that("edits names each fault of a record with its field, value and message", {
  found <- edits(faulty_record())
  expect_named(found, c("code", "severity", "field", "value", "message"))
  expect_true(all(vapply(found, is.character, TRUE)))
  form <- found[found$code == "comorbid-code-form", ]
  expect_equal(nrow(form), 1L)
  expect_equal(c(form$severity, form$field, form$value), c("error", "comorbid_code_1", "J3801"))
  expect_match(form$message, "compares \"J38.01^^\"", fixed = TRUE)
  item <- found[found$code == "item-value", ]
  expect_equal(c(item$severity, item$field, item$value), c("error", "motor_item_3", "88"))
  expect_match(item$message, "it counts as 88", fixed = TRUE)
  # An edit of the record as a whole names no field.
  expect_true(is.na(edits(substr(grouped_record(), 1, 1200))$field[1]))
  # The nearby record without the faults raises neither.
  clean <- edits(grouped_record(comorbid_code_1 = "J38.01^^"))
  expect_false(any(c("comorbid-code-form", "item-value") %in% clean$code))
  none <- edits(grouped_record(age_date = "20231201"))
  expect_equal(nrow(none), 0L)
  expect_named(none, names(found))
  # Every code is one of the catalogue's.
  expect_true(all(found$code %in% edit_catalogue$code))
})

test_that("group with edits adds the codes as a last column and changes no result", {
  records <- rep(c(mixed_records(), faulty_record(), faulty_record(version_date = "20230230")),
                 length.out = 30000)
  plain <- group(records, workers = 2L)
  with <- group(records, workers = 2L, edits = TRUE)
  expect_named(with, c(names(plain), "edits"))
  expect_type(with$edits, "character")
  expect_identical(with[names(plain)], without_set(plain))
  expect_identical(group(records, edits = TRUE), with)
  first <- seq_len(12)
  expect_identical(with$edits[first], codes_of(records[first]))
  expect_true("" %in% with$edits)
  expect_match(with$edits[11], "comorbid-code-form", fixed = TRUE)
  expect_identical(names(group(records[1:3], edits = FALSE)), names(plain))
  expect_named(group(character(0), edits = TRUE), names(with))
})

test_that("a record with more edits than a key holds gets them all", {
  items <- as.list(rep("88", 17))
  names(items) <- c(paste0("motor_item_", 1:12), paste0("cognitive_item_", 1:5))
  many <- do.call(faulty_record, items[-3])
  expect_gt(nrow(edits(many)), 16)
  records <- rep(c(grouped_record(), many), 10000)
  frame <- group(records, workers = 2L, edits = TRUE)
  expect_identical(frame$edits[1:2], codes_of(records[1:2]))
  expect_identical(unique(frame$edits), frame$edits[1:2])
})

test_that("edits are found with the tier_set that groups", {
  path <- file.path(tempdir(), "tier-set-edits")
  on.exit(unlink(path, recursive = TRUE))
  write_tier_set(compiled_tier_set(), path)
  file <- file.path(path, "single-2.90.csv")
  rows <- read.csv(file, colClasses = "character", na.strings = character(0))
  code <- rows$code[rows$tier == "C" & rows$excluded_rics == ""][1]
  # Without its dot and filler the code raises comorbid-code-form while a
  # list holds it; the set without it has no entry to match.
  written <- gsub("[.^]", "", code)
  record <- grouped_record(comorbid_code_1 = written)
  writeLines(readLines(file)[-(which(rows$code == code) + 1)], file)
  set <- load_tier_set(path, allow_deviations = TRUE)
  expect_true("comorbid-code-form" %in% edits(record)$code)
  expect_false("comorbid-code-form" %in% edits(record, tier_set = set)$code)
  records <- rep(c(record, faulty_record()), 20000)
  frame <- group(records, workers = 2L, tier_set = set, edits = TRUE)
  expect_identical(unique(frame$edits), codes_of(records[1:2], tier_set = set))
})

test_that("records converted on R's thread get the edits of their bytes", {
  latin1 <- faulty_record(comorbid_code_25 = "\u00e9")
  unmarked <- enc2utf8(latin1)
  Encoding(unmarked) <- "unknown"
  byte <- edits(latin1)
  expect_true("unreadable-byte" %in% byte$code)
  expect_equal(byte$value[which(byte$field == "comorbid_code_25")], "\u00e9")
  records <- rep(mixed_records(), length.out = 20000)
  at <- c(1, 4097, 20000)
  expected <- records
  records[at] <- unmarked
  expected[at] <- latin1
  expect_identical(group(records, workers = 2L, edits = TRUE), group(expected, edits = TRUE))
  expect_identical(edits(unmarked), byte)
})

test_that("an edits argument that is not TRUE or FALSE is refused", {
  for (bad in list(NA, "yes", c(TRUE, FALSE), 1, NULL, logical(0))) {
    expect_error(group(grouped_record(), edits = bad), "edits must be TRUE or FALSE")
  }
  expect_error(edits(c("a", "b")), "record must be one string, not 2 strings")
  expect_error(edits(NA_character_), "record is NA")
  expect_error(edits("x", tier_set = "dir"), "tier_set must be NULL or a set")
})

test_that("explain lists the record's edits as edits() does", {
  why <- explain(faulty_record())
  expect_true("edits" %in% names(why))
  expect_identical(why$edits, edits(faulty_record()))
  expect_identical(explain(grouped_record(age_date = "20231201"))$edits,
                   edits(grouped_record(age_date = "20231201")))
})
