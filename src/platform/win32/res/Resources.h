// Identifiers of the program's resources, shared by liaison.rc and the code.
#pragma once

// The window icon (hammer and spanner), 16 x 16 and 32 x 32.
#define LIAISON_ICON 1
