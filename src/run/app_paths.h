// The two lookups that give script values their machine-specific paths: special folders by
// number, and the App Paths registration of an application. Neither shows a message.
#pragma once

#include "text/text.h"

// The directory of special folder `folder` (a shell folder number), asked without an owner
// window. False when the folder is unknown (out unchanged) or has no directory (out empty).
bool specialFolderPath(Text& out, int folder);

// The registered full path of `program` (fullPath) or its registered search path, the value
// "PATH" (!fullPath), as stored. False when either is missing or empty.
bool appPathLookup(const char* program, Text& out, bool fullPath);
