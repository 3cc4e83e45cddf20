// The minidump file: its place in the temporary directory and its creation by an
// elevated process in a directory that the (non-elevated) user can write.
#pragma once

#include <windows.h>

#include "ci/base/wide_string.h"
#include "ci/base/win_handles.h"

namespace ci {

// "<temporary directory><executable file name>__.dmp"; empty when it cannot be
// built (an allocation failed). Never throws.
WString DumpFilePath();

// Creates the dump file at `path` for reading and writing, unshared, so that no
// link planted at that name, or a directory link on the way to it, is followed:
// an existing entry is removed only when it sits at `path` itself (a symbolic or
// hard link is removed as a name, its target left alone), the file is created
// new, and the open file must be a plain file with one name at `path`. The file
// admits Administrators and SYSTEM only. Returns no handle otherwise. Allocates
// nothing, so it never throws.
// `create` makes the new file (a seam: the descriptor it is given can be looked
// at where the platform keeps none of its own).
using CreateFileFn = HANDLE(WINAPI*)(LPCWSTR name, DWORD access, DWORD share,
                                     LPSECURITY_ATTRIBUTES attributes, DWORD disposition,
                                     DWORD flags, HANDLE template_file);
UniqueFileHandle CreateDumpFile(const WString& path, CreateFileFn create = &::CreateFileW);

}  // namespace ci
