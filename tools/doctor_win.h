// adminprefs doctor: reads what the checks of tools/doctor_checks.h decide on
// (the registry, the files the registration names, the type library, an
// activation of the server, the stored values) and prints one line per check.
#pragma once

namespace ci {

// Returns 0 when no check found a problem, 1 otherwise.
int RunDoctor(bool json);

}  // namespace ci
