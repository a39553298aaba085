test_that("read_records follows the command's line rules", {
  path <- tempfile()
  on.exit(unlink(path))
  record <- grouped_record()
  long <- paste0(record, "tail")
  con <- file(path, "wb")
  writeBin(charToRaw(paste0(record, "\r\n", "\n", "IRF-PAI\n", long, "\n", record)), con)
  close(con)
  records <- read_records(path)
  expect_length(records, 4)
  # A short line keeps its length, so that it raises short-record.
  expect_equal(nchar(records), c(1251L, 7L, 1251L, 1251L))
  expect_equal(records[c(1, 3, 4)], rep(record, 3))
  expect_equal(records[2], "IRF-PAI")
  expect_match(group(records, edits = TRUE)$edits[2], "short-record")
})

test_that("read_records gives every record of a long file whole", {
  # Its block is given back as the strings are made: no record may lose
  # bytes at the edges of what is given back.
  path <- tempfile()
  on.exit(unlink(path))
  record <- grouped_record()
  lines <- vapply(seq_len(70000), function(i) {
    tag <- sprintf("%07d", i)
    paste0(substr(record, 1, 1251 - 14), tag, tag)
  }, "")
  writeLines(lines, path)
  expect_identical(read_records(path), lines)
})

test_that("group(file =) gives the frame of the file's lines as the command reads them", {
  path <- tempfile()
  on.exit(unlink(path))
  record <- grouped_record()
  short <- substr(grouped_record(motor_item_3 = "88"), 1, 1200)
  con <- file(path, "wb")
  writeBin(c(charToRaw(paste0(record, "\r\n\n\r\n", short, "\n", record, "tail\n", "IRF-PAI")),
             as.raw(0xE9), charToRaw("\n\n")), con)
  close(con)
  for (workers in c(1L, 2L)) {
    frame <- group(file = path, workers = workers, edits = TRUE)
    expect_identical(without_line(frame), group(read_records(path), workers = workers, edits = TRUE))
  }
  # First, each record's line as the command numbers them: empty lines too.
  expect_identical(names(frame)[1], "line")
  expect_identical(frame$line, c(1L, 4L, 5L, 6L))
  expect_equal(nrow(frame), 4)
  expect_equal(frame$status[1:3], c(0L, 0L, 0L))
  expect_match(frame$edits[2], "short-record")
  expect_match(frame$edits[2], "item-value")
  expect_false(grepl("short-record", frame$edits[3]))
  tiers <- group(file = path, tier_set = compiled_tier_set())
  expect_identical(attr(tiers, "tier_set"), attr(frame, "tier_set"))

  # A zero byte is part of its line, as for the command; R strings could not
  # hold it.
  con <- file(path, "wb")
  writeBin(c(charToRaw("IRF-PAI"), as.raw(0), charToRaw("\n"), charToRaw(record)), con)
  close(con)
  zero <- group(file = path)
  expect_equal(nrow(zero), 2)
  expect_equal(zero$status[2], 0L)
})

test_that("group(file =) names a file it cannot read and wants records or a file", {
  expect_error(group(file = file.path(tempdir(), "no-such-file")),
               "cannot read .*no-such-file: No such file or directory")
  expect_error(group(file = tempdir()), "cannot read .*: Is a directory")
  expect_error(group(file = c("a", "b")), "file must be one file name")
  expect_error(group(file = NA_character_), "file must be one file name")
  expect_error(group("IRF-PAI", file = "x"), "records or file, not both")
  expect_error(group(), "give records")
  path <- tempfile()
  on.exit(unlink(path))
  file.create(path)
  expect_identical(without_line(group(file = path)), group(character(0)))
})

test_that("a gzip file is read as its plain bytes, and a damaged one names itself", {
  path <- tempfile()
  zipped <- tempfile()
  on.exit(unlink(c(path, zipped)))
  record <- grouped_record()
  lines <- c(record, "", "IRF-PAI", substr(record, 1, 1200), record)
  writeLines(lines, path)
  # Two members, as `cat a.gz b.gz` makes them; the name does not tell.
  for (k in 1:2) {
    con <- gzfile(zipped, if (k == 1) "wb" else "ab")
    writeLines(if (k == 1) lines[1:2] else lines[3:5], con)
    close(con)
  }
  plain <- group(file = path, edits = TRUE)
  expect_identical(group(file = zipped, workers = 2L, edits = TRUE), plain)
  expect_identical(plain$line, c(1L, 3L, 4L, 5L))
  expect_identical(read_records(zipped), read_records(path))
  # No records at all.
  con <- gzfile(zipped, "wb")
  writeLines(c("", ""), con)
  close(con)
  expect_equal(nrow(group(file = zipped)), 0)
  expect_length(read_records(zipped), 0)
  # Cut short: an error naming the file, and no frame.
  con <- gzfile(zipped, "wb")
  writeLines(rep(record, 50), con)
  close(con)
  bytes <- readBin(zipped, "raw", file.size(zipped))
  writeBin(bytes[seq_len(length(bytes) - 12)], zipped)
  expect_error(group(file = zipped), "cannot read .*: damaged gzip data: .*truncated")
  expect_error(read_records(zipped), "cannot read .*: damaged gzip data: .*truncated")
})

test_that("read_records keeps bytes past ASCII as Latin-1 and refuses zero bytes", {
  path <- tempfile()
  on.exit(unlink(path))
  con <- file(path, "wb")
  writeBin(c(charToRaw("IRF-PAI"), as.raw(0xE9), charToRaw("\n")), con)
  close(con)
  records <- read_records(path)
  expect_equal(Encoding(records), "latin1")
  expect_equal(substr(records, 8, 8), "\u00e9")
  expect_identical(group(records), group(enc2utf8(records)))
  con <- file(path, "wb")
  writeBin(c(charToRaw("IRF-PAI\nab"), as.raw(0), charToRaw("c\n")), con)
  close(con)
  expect_error(read_records(path), "line 2 holds a zero byte")
})

test_that("read_records names a file it cannot read", {
  expect_error(read_records(file.path(tempdir(), "no-such-file")), "no-such-file")
  expect_error(read_records(tempdir()), "cannot read")
  expect_error(read_records(NA_character_), "path must be one file name")
  path <- tempfile()
  on.exit(unlink(path))
  file.create(path)
  expect_identical(read_records(path), character(0))
})

test_that("explain, record_layout and status_text describe what group does", {
  record <- grouped_record()
  why <- explain(record)
  expect_equal(names(why)[1:2], c("result", "fields"))
  expect_equal(why$result$status, 0L)
  expect_equal(why$result$cmg, group(record)$cmg)
  expect_equal(nrow(record_layout), 48L)
  expect_equal(record_layout$end, record_layout$start + record_layout$length - 1L)
  expect_equal(max(record_layout$end), 1251L)
  field <- record_layout[record_layout$name == "birth_date", ]
  expect_equal(substr(record, field$start, field$end), "19500310")
  expect_equal(status_text(c(0, 4, NA)), c("grouped", "unknown status", NA))
  expect_error(status_text("0"), "numeric")
})
