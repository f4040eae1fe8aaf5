// The test Winamp DSP library (dsp_engine_test.dll): what its modules do and
// what they report to the test that drives them.
//
// Modules, by index:
//   0 "Keep"      returns the block unchanged
//   1 "Halve"     halves every sample (arithmetic shift) and keeps the count
//   2 "Bad count" answers a negative count and a far too large one in turn
//   3 "Fault"     writes through a null pointer
//   4 "Sleep"     sleeps report->sleepMs in every call
//   5 "Ask host"  sends its parent window WM_USER (query 105 from Init, query
//                 126 from every ModifySamples, after sleeping
//                 report->sleepMs) and keeps the answers
//
// Built a second time as a library of another name and description
// (TAV_DSP_TEST_SECOND_LIBRARY) for the tests that list a folder.
//
// The library exports TestDspAttach(report) besides winampDSPGetHeader2: the
// report lives in the test's memory, so it can be read after the library has
// been freed.
#pragma once

#include <atomic>

inline constexpr int kTestModuleCount = 6;
inline constexpr int kBadCountTooLarge = 1 << 30;
inline constexpr int kBadCountNegative = -100;
inline constexpr int kQueryReinit = 105;
inline constexpr int kQuerySampleRate = 126;

struct TTestDspReport {
  std::atomic<int> sleepMs{0};
  // Every module.
  std::atomic<int> initCalls{0};
  std::atomic<int> quitCalls{0};
  std::atomic<int> configCalls{0};
  std::atomic<int> modifyCalls{0};
  std::atomic<int> lastFrames{0};
  std::atomic<int> lastBps{0};
  std::atomic<int> lastChannels{0};
  std::atomic<int> lastRate{0};
  std::atomic<void*> parentSeen{nullptr};     // hwndParent at Init
  std::atomic<void*> instanceSeen{nullptr};   // hDllInstance at Init
  // ModifySamples calls running now, and the most that ever ran at once;
  // Quit notes when it finds one running.
  std::atomic<int> inside{0};
  std::atomic<int> mostInside{0};
  std::atomic<int> quitWhileInside{0};
  // "Bad count": how many calls answered the too large count.
  std::atomic<int> tooLargeAnswers{0};
  // "Ask host": a query is being sent now; answers received.
  std::atomic<int> sending{0};
  std::atomic<int> reinitAnswer{-1};
  std::atomic<int> rateAnswer{-1};
  std::atomic<int> rateQueries{0};
};

using TTestDspAttach = void (*)(TTestDspReport* report);
