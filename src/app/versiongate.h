#pragma once
#include "core/buildstamp.h"

#include <QString>

class DataModule;

// The build-version gate on the database side: the newest build that has run is kept in
// accounts_dep.ver. A newer build raises the stored stamp; an older one learns that it
// is outdated. Equal stamps are neither raised nor rejected.
struct GateResult {
    bool outdated = false;
    QString delim;                 // accounts_dep.ver.delim
    BuildStamp::Stamp stored;      // the stamp stored after the gate
};

GateResult VersionGate(DataModule& dm, const BuildStamp::Stamp& build);

// Compares stamps on the date number first and on the time number only for equal dates.
bool isNewer(const BuildStamp::Stamp& a, const BuildStamp::Stamp& b);
