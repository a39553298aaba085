# R tests, filled in below
