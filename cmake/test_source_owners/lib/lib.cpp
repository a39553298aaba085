int lib() {
  return 1;
}
