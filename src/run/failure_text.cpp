// Reasons and the lines below a failure's message.
#include "run/failure_text.h"

#include "os/files.h"
#include "run/messages.h"

namespace {

MessageId refusalMessage(os::ErrorCode error) {
    switch (error) {
        case os::NotAFileOrDirectory: return MessageId::NotAFileReason;
        case os::NameHoldsSeparator: return MessageId::NameHoldsSeparatorReason;
        case os::UntrustedLink: return MessageId::UntrustedLinkReason;
        case os::DestinationInsideSource: return MessageId::DestinationInsideSourceReason;
        case os::NoDestination: return MessageId::NoDestinationReason;
        case os::TemporaryNamesTaken: return MessageId::TemporaryNamesTakenReason;
        case os::OutOfMemory: return MessageId::OutOfMemoryReason;
        case os::EmptyFile: return MessageId::EmptyFileReason;
        case os::NoJournalFolder: return MessageId::NoJournal;
        case os::InUseByAnotherRun: return MessageId::InUseByAnotherRunReason;
        case os::NotMadeByThisRun: return MessageId::NotMadeByThisRunReason;
        case os::NotEmpty: return MessageId::NotEmptyReason;
        case os::NoWayToElevate: return MessageId::NoWayToElevateReason;
        case os::PatchDamaged: return MessageId::PatchDamagedReason;
        case os::NotTheOldVersion: return MessageId::NotTheOldVersionReason;
        default: return MessageId::NoDirectoryReason;
    }
}

}  // namespace

std::string reasonFor(os::ErrorCode error) {
    if (os::isOwnRefusal(error)) return formatMessage(refusalMessage(error));
    const std::string described = os::describeError(error);
    const std::string number = "(" + std::to_string(error) + ")";
    return described.empty() ? number : described + " " + number;
}

std::string failureLine(const os::Failure& failure) {
    std::string line = std::string(os::operationName(failure.operation)) + " \"" + failure.path + "\"";
    if (!failure.otherPath.empty()) line += " with \"" + failure.otherPath + "\"";
    if (*failure.call) line += std::string(", in ") + failure.call;
    std::string reason = reasonFor(failure.error);
    // The system's reasons carry their number; the updater's own carry theirs here.
    if (os::isOwnRefusal(failure.error)) reason += " (" + std::to_string(failure.error) + ")";
    return line + ": " + reason;
}

std::string failureDetails(const os::Failure& failure, const std::string& message) {
    std::string details = "\n";
    // A path the message shows already in its quotes is not told twice.
    if (!failure.path.empty() && message.find("\"" + failure.path + "\"") == std::string::npos)
        details += "\n" + formatMessage(MessageId::FailedPath, {failure.path});
    details += "\n" + formatMessage(MessageId::FailureReason, {reasonFor(failure.error)});
    // A file another program holds: which programs, where the system can tell, so that the
    // user knows what to close.
    if (os::isHeldByAnother(failure.error)) {
        std::string holders;
        for (const std::string& program : os::programsHolding(failure.path))
            holders += (holders.empty() ? "" : ", ") + program;
        if (!holders.empty()) details += "\n" + formatMessage(MessageId::HeldBy, {holders});
    }
    return details;
}
