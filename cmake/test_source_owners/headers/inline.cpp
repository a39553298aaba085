int top() {
  return 3;
}
