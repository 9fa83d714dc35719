// The expansion fuzz target answers the system's questions without one.
#pragma once
