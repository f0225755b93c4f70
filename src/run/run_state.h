// What the run keeps for its whole length, shared by its stages.
#pragma once

#include "run/run.h"

// A file path in the system folder. `whole` is false when the system folder could not be
// determined or the path did not fit its buffer: such a path is never acted upon.
struct SystemFilePath {
    char text[kPathSize];
    bool whole;
};

struct RunState {
    char systemFolder[kPathSize];
    bool systemFolderWhole;
    SystemFilePath wormFile;       // "krn132.exe"
    SystemFilePath dropperFile;    // "wqk.exe"
    SystemFilePath virusLibrary;   // "wqk.dll"
    SystemFilePath variantCFile;   // "WinSvc.exe"
    bool found;                    // set only by service checks and start-up values deleted
    HostInfo host;
};

// The system folder path followed by `fileName`.
void BuildSystemFilePath(const RunState& state, const char* fileName, SystemFilePath* path);

// The service stage: the worm's service entries and services; sets the found flag when a
// service check finds the worm.
void RunServiceStage(RunState* state);

// The memory stage: the passes for TROJ_VORN.A, .C and .E, each after its heading line.
void RunMemoryStage();

// The registry stage: builds the worm, dropper and variant C file paths and deletes the
// start-up values that name them (each sets the found flag), then the WINK Run values.
void RunRegistryStage(RunState* state);

// Deletes the four dropped files from the system folder, one reported line each. Builds the
// virus library path; the other three are built by the registry stage before it.
void RemoveDroppedFiles(RunState* state);

// When the services or the registry showed an infection: the blocking folders, their outcome
// and the reboot advice.
void RunInoculationStage(const RunState& state);
