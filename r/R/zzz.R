# record_layout: the fields the grouper reads, and edit_catalogue: every
# edit, made from the library's own lists when the package is loaded.
record_layout <- NULL
edit_catalogue <- NULL

.onLoad <- function(libname, pkgname) {
  namespace <- parent.env(environment())
  assign("record_layout", .Call(cmg290_record_layout), envir = namespace)
  assign("edit_catalogue", .Call(cmg290_edit_catalogue), envir = namespace)
}
