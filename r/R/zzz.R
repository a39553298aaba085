# record_layout: the fields the grouper reads, made from the library's own
# layout when the package is loaded.
record_layout <- NULL

.onLoad <- function(libname, pkgname) {
  assign("record_layout", .Call(cmg290_record_layout), envir = parent.env(environment()))
}
