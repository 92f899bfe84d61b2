// Compiles the window tests' precompiled headers once for every test program.
