// A library named like an add-on that is none: it lacks the add-on entry point.
#ifdef _WIN32
#define TAV_EXPORT __declspec(dllexport)
#else
#define TAV_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TAV_EXPORT int tav_not_an_addon(void) { return 42; }
