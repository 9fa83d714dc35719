// The names of the operations a failure can name, as reports show them.
#include "os/result.h"

namespace os {

const char* operationName(Operation operation) {
    switch (operation) {
        case Operation::Look: return "look";
        case Operation::List: return "list";
        case Operation::Open: return "open";
        case Operation::Read: return "read";
        case Operation::Write: return "write";
        case Operation::Create: return "create";
        case Operation::Copy: return "copy";
        case Operation::Move: return "move";
        case Operation::Replace: return "replace";
        case Operation::Delete: return "delete";
        case Operation::CreateDirectory: return "create directory";
        case Operation::RemoveDirectory: return "remove directory";
        case Operation::SetAttributes: return "set attributes";
        case Operation::Start: return "start";
        case Operation::Wait: return "wait";
        case Operation::SaveShortcut: return "save shortcut";
    }
    return "?";
}

}  // namespace os
