#pragma once

// Registers the program's compiled-in resources (icons, data files). They
// live in a static library, so nothing would pull them into the program
// unless some code names them.
void loadProgramResources();
