library(testthat)
library(cmg290)

test_check("cmg290")
