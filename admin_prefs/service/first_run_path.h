// Where the first-run program of the installed version is. The path is built from
// two machine values that the elevated server must not trust blindly: a relative
// install directory or a version that is not one folder name would start a program
// from wherever the current directory or the text leads.
#pragma once

#include "ci/base/wide_string.h"

namespace ci {

// True for "X:\..." or "X:/..." with a drive letter, and for "\\server\share..."
// (including "\\?\" forms). Rooted paths without a drive ("\dir"), drive-relative
// paths ("C:dir") and relative paths are not absolute.
bool IsAbsoluteWindowsPath(const WString& path);

// True when `name` names exactly one folder below: not empty, not only dots
// ("." or ".."), and holding no "\", "/" or ":".
bool IsSingleFolderName(const WString& name);

// `install_dir` + "\" + `version` + "\vufirstboot.exe", joined as plain text (a
// trailing backslash in `install_dir` gives a doubled one). False, with `path`
// unchanged, when `install_dir` is not absolute or `version` is not a single
// folder name: then there is no program to start.
bool MakeFirstRunProgramPath(const WString& install_dir, const WString& version, WString* path);

}  // namespace ci
