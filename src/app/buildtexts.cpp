// Compiled anew on every build (the build copies and touches it), so these are the
// date and time of the build.
extern const char* const kBuildDateText = __DATE__;
extern const char* const kBuildTimeText = __TIME__;
