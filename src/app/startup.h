// startup.h -- process start: the program's folder and the start script.
//
// Provides: startTextLimit, startScriptName, inlineChunk, startFolder,
// StartOptions, startOptions, readStartOptions, applyStartOptions,
// joinArgumentText, chooseStartScript, argumentIgnoredLine, exitCodeAfterStop, enterProgramFolder,
// locateStartScript, prepareStart, chooseSceneFolderFromEnvironment,
// runStartScript.
// The program's own folder (of the running executable, /proc/self/exe)
// becomes the current directory, so the scene files and init.lua beside the
// program are found from any working directory. The argument text is the
// program's arguments joined by single blanks (at most 999 characters),
// after the leading options below: if it contains ".lua" and names a file
// (where a start script is looked up) it is that file; otherwise if it
// contains ";" it is a script chunk; otherwise if it contains ".lua" it is
// still taken as a file name (and fails to run); otherwise "init.lua" runs,
// and a text that was not empty is reported ignored on standard error (all
// tests case-sensitive). A start script named by a relative path is looked
// up in the program's folder first, then in the folder the program was
// started from; messages name it as given.
// Leading options (before the argument text, in any order):
//   --batch      nothing waits for a click (platformSetBatchMode); also
//                when MORVISTA_BATCH is 1
//   --headless   no display needed (platformSetHeadless); implies --batch
//   --quiet      the diagnostic lines are not printed (quietDiagnostics)
//   --verbose    they are, also in batch and headless runs (which are
//                quiet otherwise)
// Exit code: 0 when the start script ran to its end, 1 when it could not be
// run or stopped with an error ("Sorry could not run %s.\n" on standard
// output and standard error for a file), 1 for an argument text that is too
// long or a MORVISTA_SCENE folder that does not exist (nothing runs).
// MORVISTA_SCENE, when set and not empty, names the scene folder (relative
// to the folder the program was started from); a script's setSceneFolder
// replaces it.
// The globals below are written only here, on the main thread, before any
// script runs.
#pragma once

#include <string>

struct ScriptHost;

constexpr int startTextLimit = 1000;  // 999 characters + terminator

extern char startScriptName[startTextLimit];  // a file name or a chunk; "init.lua" by default
extern int inlineChunk;                       // 1: startScriptName is a chunk
extern std::string startFolder;               // current directory before start-up, "" if unknown

struct StartOptions {
    bool batch = false;
    bool headless = false;
    bool quiet = false;
    bool verbose = false;
};
extern StartOptions startOptions;  // as read by prepareStart

// Reads the leading options of argv[1 ..] (and MORVISTA_BATCH) into
// options; returns the index of the first argument that is not one.
int readStartOptions(int argc, char** argv, StartOptions& options);
// Hands the options to the platform and the output.
void applyStartOptions(const StartOptions& options);

// Joins argv[1 .. argc-1] with single blanks into text (startTextLimit
// characters). false, and an empty text, when the result would be longer
// than 999 characters.
bool joinArgumentText(int argc, char** argv, char* text);

// Sets startScriptName and inlineChunk from the argument text (a name
// with ".lua" is looked for as locateStartScript does).
void chooseStartScript(const char* argumentText);
// The standard error line for an argument text that is neither a script
// nor a chunk; "" when the text is used (or empty).
std::string argumentIgnoredLine(const char* argumentText);

// Records startFolder, then makes the running program's folder the current
// directory; when that fails the current directory stays as it was.
void enterProgramFolder();

// The path to run for start script name: as given when it is absolute or
// exists in the current (program) folder, else under startFolder when it
// exists there, else as given.
std::string locateStartScript(const char* name);

// Steps before the script host exists: folder, argument text, start
// script, scene folder. false (after printing why) when the argument text
// is too long or the MORVISTA_SCENE folder does not exist.
bool prepareStart(int argc, char** argv);

// Sets the scene folder from MORVISTA_SCENE when it is set and not empty;
// false (after printing why) when that folder does not exist.
bool chooseSceneFolderFromEnvironment();

// The exit code after the start script was stopped (scriptStop.h): 128 +
// the signal's number for a signal; for the stop key, the viewer's main
// loop runs on when a window is open (its code is returned), otherwise, and
// in batch runs, 1.
int exitCodeAfterStop(int stop);

// Runs the start script in host and returns the process exit code.
int runStartScript(ScriptHost* host);
