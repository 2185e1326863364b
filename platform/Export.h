#pragma once

// Marks a class or function that the executable exports in its dynamic symbol table.
// Everything else is built with hidden visibility.
#define NIGHTLUX_EXPORT __attribute__((visibility("default")))
