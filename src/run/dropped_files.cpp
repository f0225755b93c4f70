#include "messages/messages.h"
#include "run/run_state.h"

#include <windows.h>

void BuildSystemFilePath(const RunState& state, const char* fileName, SystemFilePath* path)
{
    bool whole = state.systemFolderWhole;
    whole = CopyText(path->text, sizeof(path->text), state.systemFolder) && whole;
    whole = AppendText(path->text, sizeof(path->text), fileName) && whole;
    path->whole = whole;
}

namespace {

// Reports `File "<path>" ` followed by not found, deleted or delete failed.
void RemoveDroppedFile(const SystemFilePath& path)
{
    const char* outcome = kMsgDroppedNotFound;
    if (path.whole) {
        SetFileAttributesA(path.text, FILE_ATTRIBUTE_NORMAL);
        if (GetFileAttributesA(path.text) != INVALID_FILE_ATTRIBUTES) {
            outcome = DeleteFileA(path.text) ? kMsgDroppedDeleted : kMsgDroppedDeleteFailed;
        }
    }
    char message[kPathSize] = {};
    ComposeText(message, sizeof(message), kMsgDroppedFileHead, path.text, kMsgDroppedFileTail);
    AppendText(message, sizeof(message), outcome);
    Report(message);
}

}  // namespace

void RemoveDroppedFiles(RunState* state)
{
    Report(kMsgDroppedHeader);
    BuildSystemFilePath(*state, kDroppedFileNames[2], &state->virusLibrary);
    RemoveDroppedFile(state->wormFile);
    RemoveDroppedFile(state->dropperFile);
    RemoveDroppedFile(state->virusLibrary);
    RemoveDroppedFile(state->variantCFile);
}
