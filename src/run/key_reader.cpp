// The key readers of every loader: raw read, report of a missing key, expansion.
#include "run/key_reader.h"

#include "run/messages.h"
#include "run/process_values.h"
#include "run/script_file.h"
#include "text/symbols.h"

bool readKey(const char* section, const char* key, Text& out) {
    if (!readProfileString(scriptPath.c_str(), section, key, out)) {
        showError(MessageId::KeyMissing, {section, key});
        return false;
    }
    expandValue(out);
    return true;
}

bool readIntKey(const char* section, const char* key, int& out) {
    if (!readProfileInt(scriptPath.c_str(), section, key, out)) {
        showError(MessageId::KeyMissing, {section, key});
        return false;
    }
    return true;
}
