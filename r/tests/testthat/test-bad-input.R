test_that("records that are not a character vector are refused naming their type", {
  expect_error(group(factor("IRF-PAI")), "records must be a character vector, not a factor")
  expect_error(group(1), "not double")
  expect_error(group(1L), "not integer")
  expect_error(group(list("IRF-PAI")), "not list")
  expect_error(group(NULL), "not NULL")
  expect_error(group(TRUE), "not logical")
})

test_that("a bad element is refused naming its position, before anything is grouped", {
  records <- c(grouped_record(), NA, "x")
  expect_error(group(records), "records[2] is NA", fixed = TRUE)
  expect_error(group(c("a", "b", "\u0100")),
               "records[3]: character U+0100 at position 1 is above U+00FF", fixed = TRUE)
  expect_error(group(c("a", "ab\u20ac")), "records[2]: character U+20AC at position 3",
               fixed = TRUE)
  # unmarked bytes that are not UTF-8
  bad <- "ab\xff"
  expect_error(group(c("a", bad)), "records[2]: text that is not valid UTF-8 at character 3",
               fixed = TRUE)
  # the same bytes marked as what they are
  Encoding(bad) <- "latin1"
  expect_equal(group(bad)$status, 1L)
  expect_error(explain(NA_character_), "record is NA")
  expect_error(explain(c("a", "b")), "record must be one string, not 2 strings")
  expect_error(explain(1), "record must be one string, not double")
  expect_error(explain("\u0100"), "above U+00FF", fixed = TRUE)
})

test_that("workers must be -1 or a positive whole number, checked first", {
  expect_error(group("x", workers = 0), "got 0")
  expect_error(group("x", workers = -2L), "got -2")
  for (bad in list(1.5, NA, NA_integer_, "2", c(1, 2), integer(0), TRUE, NULL, Inf)) {
    expect_error(group("x", workers = bad), "workers must be one whole number")
  }
  expect_error(group(factor("x"), workers = 0), "workers")
  expect_equal(group("x", workers = 2)$status, 1L)
  expect_equal(group("x", workers = 1e12)$status, 1L)
})

test_that("a tier_set that is not a set is refused", {
  expect_error(group("x", tier_set = list()), "tier_set must be NULL or a set")
  expect_error(explain("x", tier_set = "dir"), "tier_set must be NULL or a set")
  set <- compiled_tier_set()
  path <- tempfile(fileext = ".rds")
  on.exit(unlink(path))
  saveRDS(set, path)
  restored <- readRDS(path)
  expect_error(group("x", tier_set = restored), "no longer holds its set")
})

test_that("a set with faults is not loaded, and the error names them", {
  path <- file.path(tempdir(), "tier-set-faulty")
  on.exit(unlink(path, recursive = TRUE))
  expect_error(load_tier_set(path), "not loaded")
  write_tier_set(compiled_tier_set(), path)
  file <- file.path(path, "pair.csv")
  writeLines(c(readLines(file), "J3801,,B,"), file)
  expect_error(load_tier_set(path), "pair.csv:[0-9]+")
  expect_error(load_tier_set(c("a", "b")), "path must be one directory name")
  expect_error(load_tier_set(path, allow_deviations = NA), "TRUE or FALSE")
})

test_that("build_record refuses unknown, repeated, too long and unnamed fields", {
  expect_error(build_record(no_such_field = "1"), "no_such_field")
  expect_error(build_record(record_kind = "1", record_kind = "2"), "record_kind")
  expect_error(build_record(record_kind = "12"), "record_kind")
  expect_error(build_record("IRF-PAI"), "every field must be named")
  expect_error(build_record(record_kind = 1), "record_kind must be one string")
  expect_error(build_record(record_kind = NA_character_), "record_kind is NA")
  expect_equal(nchar(build_record()), 1251)
})
