// The table of command kinds, in the order in which a MODE value is compared with them.
// A kind without a loader is not built into this program and is refused like an unknown one.
#include "commands/command_kinds.h"

#include "commands/file/attr_command.h"
#include "commands/file/copy_command.h"
#include "commands/file/delete_command.h"
#include "commands/file/exist_command.h"
#include "commands/file/make_dir_command.h"
#include "commands/file/move_command.h"
#include "commands/system/patch_command.h"
#include "commands/system/app_exist_command.h"
#include "commands/system/crc_command.h"
#include "commands/system/date_command.h"
#include "commands/system/hash_command.h"
#include "commands/system/launch_command.h"
#include "commands/system/os_version_command.h"
#include "commands/system/shortcut_command.h"
#include "commands/system/wait_app_command.h"
#include "run/msgbox_command.h"
#include "run/switch_command.h"

namespace {
const CommandKind kinds[] = {
    {"EXIST", "EXIST_INFO", loadExistCommand, executeExistCommand, {"MODE", "FILE"}, {}, {}},
    {"DATE", "DATE_INFO", loadDateCommand, executeDateCommand, {"MODE", "FILE", "DATE"}, {}, {}},
    {"SWITCH", "DATE_INFO", loadSwitchCommand, executeSwitchCommand, {"MODE", "PROC", "0", "1"}, {}, {"0", "1"}},
    {"MSGBOX", "MSGBOX_INFO", loadMsgBoxCommand, executeMsgBoxCommand,
     {"MODE", "FLAG", "TYPE", "TEXT", "ISABORT"}, {}, {}},
    {"COPY", "COPY_INFO", loadCopyCommand, executeCopyCommand, {"MODE", "FROM", "TO"}, {"TO"}, {}},
    {"LAUNCH", "LAUNCH_INFO", loadLaunchCommand, executeLaunchCommand, {"MODE", "FILE", "PARAM", "ISWAIT"}, {}, {}},
    {"DELETE", "DELETE_INFO", loadDeleteCommand, executeDeleteCommand, {"MODE", "FILE"}, {"FILE"}, {}},
    {"LINK", "SHORTCUT_INFO", loadShortcutCommand, executeShortcutCommand,
     {"MODE", "SRC", "PARAM", "SHOWCMD", "DST"}, {"DST"}, {}},
    {"OSVER", "OSVER_INFO", loadOsVersionCommand, executeOsVersionCommand, {"MODE"}, {}, {}},
    {"MAKEDIR", "MAKEDIR_INFO", loadMakeDirCommand, executeMakeDirCommand, {"MODE", "DIR"}, {"DIR"}, {}},
    {"ATTR", "ATTR_INFO", loadAttrCommand, executeAttrCommand, {"MODE", "FILE", "ARG"}, {"FILE"}, {}},
    {"CRC", "CRC_INFO", loadCrcCommand, executeCrcCommand, {"MODE", "FILE", "TYPE", "CRC"}, {}, {}},
    {"MOVE", "MOVE_INFO", loadMoveCommand, executeMoveCommand, {"MODE", "FROM", "TO"}, {"FROM", "TO"}, {}},
    {"WAITAPP", "WAITAPP_INFO", loadWaitAppCommand, executeWaitAppCommand, {"MODE", "APP", "TICK"}, {}, {}},
    {"APPEXIST", "WAITAPP_INFO", loadAppExistCommand, executeAppExistCommand, {"MODE", "APP"}, {}, {}},
    {"HASH", "HASH_INFO", loadHashCommand, executeHashCommand, {"MODE", "FILE", "TYPE", "HASH"}, {}, {}},
    {"PATCH", "PATCH_INFO", loadPatchCommand, executePatchCommand, {"MODE", "FILE", "DIFF"}, {"FILE"}, {}},
};
}  // namespace

std::span<const CommandKind> commandKinds() { return kinds; }
