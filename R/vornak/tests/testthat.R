library(testthat)
library(vornak)
test_check("vornak")
