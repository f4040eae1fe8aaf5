// The main of every test program.
//
// ctest runs one test per process and, told by gtest's "[  SKIPPED ]" line, would
// count a test as skipped even when the program failed: a suite whose set-up failed
// prints that line for each of its tests. The program's exit code says it instead:
// 1 for any failure, 77 for a test that skipped, 0 otherwise.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  if (RUN_ALL_TESTS() != 0) return 1;
  const testing::UnitTest& run = *testing::UnitTest::GetInstance();
  return run.skipped_test_count() > 0 && run.successful_test_count() == 0 ? 77 : 0;
}
