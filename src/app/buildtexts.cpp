// Compiled anew whenever the program changed (cmake/BuildStamp.cmake), so these are
// the date and time of the build that made this program.
extern const char* const kBuildDateText = __DATE__;
extern const char* const kBuildTimeText = __TIME__;
