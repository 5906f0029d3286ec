// The configuration profile library.
