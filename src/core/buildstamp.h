#pragma once
#include <QString>

// The build stamp: the compile date text ("Nov 21 2022", day padded with a blank) and
// time text ("20:43:13") read as numbers.
namespace BuildStamp {

struct Stamp {
    int date = 0;   // yyyymmdd
    int time = 0;   // seconds since midnight
};

// Pure parsing of the two compile texts; question marks give 1 January 1900.
int dateNumber(const QString& dateText);
int timeNumber(const QString& timeText);
Stamp fromTexts(const QString& dateText, const QString& timeText);

// The texts of the running program; main() sets them from its compile texts.
void setCompileTexts(const QString& dateText, const QString& timeText);
Stamp current();

}
