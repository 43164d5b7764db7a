// A plain shared library.
extern "C" int lumrik_test_answer() { return 42; }
