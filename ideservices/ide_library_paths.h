// The pieces behind an installation's library paths and output folders that need no installation: platform
// names, path lists (folders separated by ";"), folder equality, the IDE's variable lists (Name=Value pairs, names
// without regard to case) with their $(Name) expansion, and the reader of the IDE's bin\rsvars.bat.
//
// The installation classes (ide_installation.h) use these for GetLibrarySearchPath, AddToLibrarySearchPath,
// SubstitutePath, EnvironmentVariables and the rest of that family.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ideservices/ide_installation.h"
#include "ideservices/ide_msbuild_properties.h"

namespace tarvix {

// The name of a platform as the IDE uses it for registry subkeys ("Library\Win32") and for the MSBuild global
// property "Platform": "Win32" (also for bpWin32c, the C++ Win32 compiler's platform), "Win64", "Win64x",
// "OSX32", "OSX64", "Android32", "Android64", "iOSDevice32", "iOSDevice64", "iOSSimulator", "Linux64". Any other
// value raises EIdeBorRADException "This installation cannot generate binaries for an unknown platform".
std::string PlatformName(TIdeBDSPlatform APlatform);

// The personalities an installation needs to build for a platform (any one of them suffices).
TIdeBorPersonalities RequiredPersonalities(TIdeBDSPlatform APlatform);

// --- Path lists ---------------------------------------------------------------------------------------------------

// Splits a path list at ";". Empty elements are kept ("a;;b" has three), so that JoinPathList gives the text back
// unchanged; the empty text has no elements.
std::vector<std::string> SplitPathList(std::string_view Path);
std::string JoinPathList(const std::vector<std::string>& Paths);

// The form in which two folder names are compared: the long form of a name that exists (GetLongPathNameW through
// the current system's files), else the name itself; without one trailing backslash, so that a folder written
// with and without it is one folder.
std::string FolderCompareForm(std::string_view Folder);
// Whether two folder names mean the same folder: their compare forms are equal without regard to case (Unicode
// upper case, the way Windows compares file names).
bool SameFolder(std::string_view A, std::string_view B);

// Current with every folder of Path appended that it does not hold yet (SameFolder): nothing of Current is
// removed, reordered or de-duplicated, a folder repeated in Path is appended once, and empty elements of Path,
// which name no folder, are skipped.
std::string MergePathList(std::string_view Current, std::string_view Path);

// The folder of the 64-bit C++ compiler's platform for a Win64 folder: its first path component named "Win64"
// (ignoring case) becomes "win64x" ("C:\Comps\Win64\Release" → "C:\Comps\win64x\Release"). A folder without such
// a component is returned unchanged, so one that names Win64x already is left alone.
std::string AdjustPathForWin64X(std::string_view Folder);

// --- Variable lists -----------------------------------------------------------------------------------------------

// Index of the first entry named Name (ignoring case); -1 when there is none.
int IndexOfVariable(const TIdeNameValueList& List, std::string_view Name);
// The value of the first entry named Name; empty when there is none.
std::string VariableValue(const TIdeNameValueList& List, std::string_view Name);
// Sets Name the way a string list's Values[] does: an existing entry changes in place, a new one is appended, and
// an empty value deletes the entry.
void SetVariable(TIdeNameValueList& List, std::string_view Name, std::string_view Value);
// Like SetVariable, but an empty value is stored as an entry "Name=" instead of deleting.
void PutVariable(TIdeNameValueList& List, std::string_view Name, std::string_view Value);

// Expands $(Name) references against List: repeatedly the last closed "$(...)" of the text (nested parentheses
// counted, none inside a quoted run) is looked up, and when List has a non-empty value for the name every
// occurrence of the whole reference (ignoring case) is replaced by it. Stops at the first name without a value,
// which the text keeps, or when no reference is left. A value that brings its own reference back (X = "$(X)\a")
// would never end: the expansion then stops at the limit of every expansion (ide_reference_expansion.h) and
// returns the text it has.
std::string ExpandVariables(std::string_view Text, const TIdeNameValueList& List);

// Every $(Name) of a variable of List (in list order, ignoring case) replaced by its value, when Path holds
// "$(" at all; then every doubled backslash collapsed into one, so that "$(BDS)\bin" with BDS = "C:\IDE\" gives
// "C:\IDE\bin". A network path keeps the two backslashes it starts with ("\\server\share"). Like ExpandVariables
// it stops at the limit of every expansion with the text it has.
std::string SubstituteVariables(std::string_view Path, const TIdeNameValueList& List);

// --- rsvars.bat ---------------------------------------------------------------------------------------------------

// Reads the variables that the lines of an rsvars.bat text set into List. A line counts when, after its leading
// blanks, control characters and "@" signs, its first word is "set" (any case) and the rest, after blanks, holds
// "=" with a non-empty name before it; other lines ("REM set X=1", "echo", "set X") set nothing. Each %NAME% of a
// value is replaced by the value of NAME read so far (empty when unknown; a "%" without its closing "%" takes the
// rest of the line as the name). Names are matched without regard to case, so a later line replaces an earlier
// one; an empty value is kept as "NAME=".
void ParseRADStudioVars(std::string_view Text, TIdeNameValueList& List);
// The same for the file FileName (in the system's ANSI code page; UTF-8 with a byte-order mark is recognised). A
// missing file sets nothing.
void GetRADStudioVars(const std::string& FileName, TIdeNameValueList& List);

} // namespace tarvix
