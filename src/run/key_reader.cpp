// The key readers of every loader: raw read, report of a missing key, expansion.
#include "run/key_reader.h"

#include "run/run_context.h"

bool readKey(RunContext& run, const char* section, const char* key, Text& out) {
    if (!run.script.readString(section, key, out)) {
        run.showError(MessageId::KeyMissing, {section, key});
        return false;
    }
    expandValue(run.symbols, out);
    return true;
}

bool readIntKey(RunContext& run, const char* section, const char* key, int& out) {
    if (!run.script.readInt(section, key, out)) {
        run.showError(MessageId::KeyMissing, {section, key});
        return false;
    }
    return true;
}
