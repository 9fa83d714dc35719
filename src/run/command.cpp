// Key reading shared by every loader.
#include "run/command.h"

#include "run/key_reader.h"

bool readCommandKeys(Command& record, std::initializer_list<KeyField> keys) {
    if (!readKey(record.section.c_str(), "MODE", record.mode)) return false;
    for (const KeyField& k : keys)
        if (!readKey(record.section.c_str(), k.key, *k.field)) return false;
    return true;
}
