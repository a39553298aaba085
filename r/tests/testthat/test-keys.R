# The columns an analysis groups by: each record's id (id =), the CMG's tier
# letter and RIC; the default number of threads; the set a frame names.

ids_of <- function(records, start, length) {
  # Positions past a record's end read as blanks, as the command writes them.
  formatC(substr(records, start, start + length - 1), width = length, flag = "-")
}

test_that("id gives a first column cut from each record, from a vector and from a file", {
  records <- c(mixed_records(), substr(grouped_record(), 1, 13), "IRF")
  frame <- group(records, id = c(12, 10))
  expect_named(frame, c("id", names(group(records))))
  expect_type(frame$id, "character")
  expect_identical(frame$id, ids_of(records, 12, 10))
  expect_identical(without_set(frame[-1]), without_set(group(records)))
  expect_identical(group(records, workers = 1L, id = c(12L, 10L)), frame)
  path <- tempfile()
  on.exit(unlink(path))
  writeLines(records, path)
  from_file <- group(file = path, id = c(12, 10), edits = TRUE)
  lines <- records[records != ""]  # an empty line is no record
  expect_identical(from_file$id, ids_of(lines, 12, 10))
  # As the command's columns: the line, then the id.
  expect_identical(names(from_file)[c(1, 2, ncol(from_file))], c("line", "id", "edits"))
  expect_identical(group(c(paste0(strrep("x", 1250), "Z"), "x"), id = c(1251, 1))$id, c("Z", " "))
})

test_that("a bad id is refused before anything is grouped", {
  for (bad in list("12:10", 12, c(1, 2, 3), c(1.5, 2), c(NA, 2), TRUE, c(TRUE, TRUE),
                   factor(c(1, 2)), c(Inf, 1))) {
    expect_error(group(NA_character_, id = bad), "id must be NULL or c\\(start, length\\)")
    expect_error(edits_frame(NA_character_, id = bad), "id must be NULL")
  }
  for (bad in list(c(0, 5), c(1, 0), c(-1, 2))) {
    expect_error(group(NA_character_, id = bad), "both 1 or more")
  }
  for (bad in list(c(1250, 3), c(1252, 1), c(1e12, 1))) {
    expect_error(group(NA_character_, id = bad), "end no later than position 1251")
    expect_error(group(file = tempfile(), id = bad), "end no later than position 1251")
  }
})

test_that("edits_frame names each record by its id when given one", {
  records <- rep(c(mixed_records(), faulty_record()), 3)
  by_position <- edits_frame(records)
  # From the record's id to its first comorbid code: the records differ there.
  by_id <- edits_frame(records, id = c(1, 760))
  expect_type(by_id$record, "character")
  expect_gt(length(unique(by_id$record)), 5)
  expect_identical(by_id$record, ids_of(records, 1, 760)[by_position$record])
  expect_identical(by_id[-1], by_position[-1])
})

test_that("tier and ric are the CMG's letter and its two first digits, NA where not grouped", {
  frame <- group(mixed_records())
  grouped <- !is.na(frame$cmg)
  expect_true(any(grouped) && !all(grouped))
  expect_identical(frame$tier[grouped], substr(frame$cmg[grouped], 1, 1))
  expect_identical(frame$ric[grouped], substr(frame$cmg[grouped], 2, 3))
  expect_true(all(is.na(frame$tier[!grouped]) & is.na(frame$ric[!grouped])))
  expect_type(frame$tier, "character")
  # A tier letter alone (item values outside 0 to 7: no CMG row fits) has
  # no RIC.
  alone <- group(grouped_record(motor_item_1 = "99", motor_item_2 = "99"))
  expect_identical(c(alone$cmg, alone$tier, alone$ric), c("A", "A", NA))
})

test_that("workers is every core by default, limited by the option cmg290.workers", {
  expect_identical(formals(group)$workers, quote(getOption("cmg290.workers", -1L)))
  expect_identical(formals(edits_frame)$workers, formals(group)$workers)
  old <- options(cmg290.workers = 0L)
  on.exit(options(old))
  expect_error(group("x"), "got 0")
  expect_error(edits_frame("x"), "got 0")
  options(cmg290.workers = NULL)
  expect_identical(group(mixed_records()), group(mixed_records(), workers = 1L))
})

test_that("a frame's set is named with the fields and values Python's to_dict gives", {
  # TierSet.to_dict: name, sha256, compiled_in, placeholders, deviations, as
  # the command's JSON Lines rows write them.
  fields <- c("name", "sha256", "compiled_in", "placeholders", "deviations")
  expect_named(attr(group("x"), "tier_set"), fields)
  command <- Sys.getenv("CMG290")
  skip_if(command == "", "CMG290 does not name the command")
  dir <- tempfile()
  dir.create(dir)
  on.exit(unlink(dir, recursive = TRUE))
  write_tier_set(compiled_tier_set(), file.path(dir, "set"))
  set <- load_tier_set(file.path(dir, "set"))
  records <- file.path(dir, "records.txt")
  writeLines(grouped_record(), records)
  json <- function(x) {
    text <- function(s) if (length(s) == 0L) "" else paste0("\"", s, "\"")
    paste0("{\"name\":", text(x$name), ",\"sha256\":", text(x$sha256), ",\"compiled_in\":",
           tolower(x$compiled_in), ",\"placeholders\":", tolower(x$placeholders),
           ",\"deviations\":[", paste(text(x$deviations), collapse = ","), "]}")
  }
  for (given in list(NULL, set)) {
    args <- c("group", "-q", "-f", "jsonl",
              if (!is.null(given)) c("--tier-tables", file.path(dir, "set")), records)
    row <- system2(command, args, stdout = TRUE)
    member <- sub(".*\"tier_set\":(\\{[^}]*\\}).*", "\\1", row)
    expect_identical(json(attr(group(grouped_record(), tier_set = given), "tier_set")), member)
  }
})
